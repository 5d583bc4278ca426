#include "preview/enlargedview.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>

EnlargedView::EnlargedView(QWidget* parent) : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint)
{
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(QStringLiteral("Visualisation Picture Vue"));
    setAttribute(Qt::WA_DeleteOnClose, false);
    resize(designSize);
    setAutoFillBackground(true);
    setFocusPolicy(Qt::StrongFocus);
}

void EnlargedView::open()
{
    m_image = QImage();
    m_target = QRectF();
    if (!isVisible()) {
        setWindowState(windowState() & ~Qt::WindowFullScreen);
        resize(designSize);
        const QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
        if (screen)
            move(screen->availableGeometry().center() - rect().center());
    }
    show();
    raise();
    activateWindow();
    update();
}

void EnlargedView::toggleFullScreen()
{
    setWindowState(windowState() ^ Qt::WindowFullScreen);
}

void EnlargedView::showPicture(QImage image, const QRectF& target)
{
    m_image = std::move(image);
    m_target = target;
    update();
}

void EnlargedView::paintEvent(QPaintEvent*)
{
    if (m_image.isNull())
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(m_target, m_image);
}

void EnlargedView::mousePressEvent(QMouseEvent* event)
{
    event->accept();
    close();
}

void EnlargedView::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        close();
    } else if (event->key() == Qt::Key_F11) {
        event->accept();
        toggleFullScreen();
    } else {
        QWidget::keyPressEvent(event);
    }
}

void EnlargedView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    if (isVisible() && !m_image.isNull())
        Q_EMIT areaChanged();
}
