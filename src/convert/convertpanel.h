#pragma once

#include <QGroupBox>

class QComboBox;
class QLabel;

// The frame "Conversion": the output format list and the single conversion's controls.
class ConvertPanel : public QGroupBox
{
    Q_OBJECT
public:
    explicit ConvertPanel(QWidget* parent = nullptr);

    QComboBox* outputFormats() const { return m_combo3; }
    QLabel* preview() const { return m_img1; }

    // Design size of the preview Img1: the bounds of the single conversion's preview.
    static constexpr QSize previewBoxSize{200, 150};

private:
    QComboBox* m_combo3;
    QLabel* m_img1;
};
