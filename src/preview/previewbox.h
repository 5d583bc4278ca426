#pragma once

#include <QFrame>
#include <QImage>
#include <QRectF>

class QLabel;

// Picture2: the preview box under the browse list. Draws one picture at the place the
// fit-and-draw rule gave; its label Label9 says when a file cannot be previewed.
class PreviewBox : public QFrame
{
    Q_OBJECT
public:
    explicit PreviewBox(QWidget* parent = nullptr);

    // Inner drawing area, in pixels.
    QSize area() const { return contentsRect().size(); }

    void showPicture(QImage image, const QRectF& target);
    // Removes the picture and the "Lecture non disponible" text.
    void clearPicture();
    void showNotAvailable();

    bool hasPicture() const { return !m_image.isNull(); }
    const QImage& picture() const { return m_image; }
    const QRectF& target() const { return m_target; }
    QLabel* notAvailableLabel() const { return m_label9; }

Q_SIGNALS:
    void clicked();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QLabel* m_label9;
    QImage m_image;
    QRectF m_target;
};
