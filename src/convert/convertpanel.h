#pragma once

#include <QGroupBox>

class QComboBox;
class QLabel;
class QScrollBar;

// The frame "Conversion": the output format list and the single conversion's controls: the
// preview Img1, the size control HScrollTaille with the output size beside it, and Label8,
// the output path.
class ConvertPanel : public QGroupBox
{
    Q_OBJECT
public:
    explicit ConvertPanel(QWidget* parent = nullptr);

    QComboBox* outputFormats() const { return m_combo3; }
    QLabel* preview() const { return m_img1; }
    QScrollBar* sizeControl() const { return m_hScrollTaille; }
    QLabel* outputSizeText() const { return m_sizeText; }
    QLabel* outputPath() const { return m_label8; }

    // Shows `picture` in Img1, which takes the size `shown`; a null picture empties it.
    void showPreview(const QImage& picture, QSize shown);
    // Shows the output size beside the size control.
    void showOutputSize(QSize size);

    // Design size of the preview Img1: the bounds of the single conversion's preview.
    static constexpr QSize previewBoxSize{200, 150};
    // The size control's ceiling; once a picture is loaded its maximum is the picture's own
    // width, so an output is never scaled up past its source.
    static constexpr int maximumOutputWidth = 1 << 28;

private:
    QComboBox* m_combo3;
    QLabel* m_img1;
    QScrollBar* m_hScrollTaille;
    QLabel* m_sizeText;
    QLabel* m_label8;
};
