#include "preview/enlargedview.h"

#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>

EnlargedView::EnlargedView(QWidget* parent) : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint)
{
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(QStringLiteral("Visualisation Picture Vue"));
    setAttribute(Qt::WA_DeleteOnClose, false);
    setFixedSize(designSize);
    setAutoFillBackground(true);
}

void EnlargedView::open()
{
    m_image = QImage();
    m_target = QRectF();
    if (!isVisible()) {
        resize(designSize);
        const QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
        if (screen)
            move(screen->availableGeometry().center() - rect().center());
    }
    show();
    raise();
    update();
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
