#pragma once

#include <QImage>
#include <QRectF>
#include <QWidget>

// Form2: a borderless window, kept out of the taskbar, showing one picture large. A click
// anywhere or Escape closes it; F11 switches it to full screen and back. One instance is
// reused for every opening, always at its design size.
class EnlargedView : public QWidget
{
    Q_OBJECT
public:
    explicit EnlargedView(QWidget* parent = nullptr);

    static constexpr QSize designSize{395, 298};

    QSize area() const { return size(); }
    // Shows the window at its design size, centred on the screen, and clears its picture.
    void open();
    void showPicture(QImage image, const QRectF& target);
    void toggleFullScreen();

    bool hasPicture() const { return !m_image.isNull(); }
    const QImage& picture() const { return m_image; }
    const QRectF& target() const { return m_target; }

Q_SIGNALS:
    // The drawing area changed size while shown: the picture is to be fitted again.
    void areaChanged();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QImage m_image;
    QRectF m_target;
};
