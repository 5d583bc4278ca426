#include "preview/previewbox.h"

#include <QLabel>
#include <QMouseEvent>
#include <QPainter>

PreviewBox::PreviewBox(QWidget* parent) : QFrame(parent), m_label9(new QLabel(this))
{
    setObjectName(QStringLiteral("Picture2"));
    setAccessibleName(QStringLiteral("Aperçu"));
    setToolTip(QStringLiteral("Cliquer pour agrandir"));
    // A 2-pixel sunken border whatever the style: the inner area is 205 x 149.
    setFrameShape(QFrame::Panel);
    setFrameShadow(QFrame::Sunken);
    setLineWidth(2);
    setAutoFillBackground(true);
    m_label9->setObjectName(QStringLiteral("Label9"));
    m_label9->setText(QStringLiteral("Lecture non disponible"));
    m_label9->setAlignment(Qt::AlignCenter);
    m_label9->hide();
}

void PreviewBox::showPicture(QImage image, const QRectF& target)
{
    m_label9->hide();
    m_image = std::move(image);
    m_target = target;
    update();
}

void PreviewBox::clearPicture()
{
    m_label9->hide();
    m_image = QImage();
    m_target = QRectF();
    update();
}

void PreviewBox::showNotAvailable()
{
    clearPicture();
    m_label9->show();
}

void PreviewBox::paintEvent(QPaintEvent* event)
{
    QFrame::paintEvent(event);
    if (m_image.isNull())
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.setClipRect(contentsRect());
    painter.drawImage(m_target.translated(contentsRect().topLeft()), m_image);
}

void PreviewBox::mouseReleaseEvent(QMouseEvent* event)
{
    QFrame::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        Q_EMIT clicked();
}

void PreviewBox::resizeEvent(QResizeEvent* event)
{
    QFrame::resizeEvent(event);
    // A line across the full width at about half the height.
    const QRect inner = contentsRect();
    const int lineHeight = m_label9->sizeHint().height();
    m_label9->setGeometry(inner.left(), inner.top() + (inner.height() - lineHeight) / 2,
                          inner.width(), lineHeight);
}
