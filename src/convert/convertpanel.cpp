#include "convert/convertpanel.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QPixmap>
#include <QScrollBar>

ConvertPanel::ConvertPanel(QWidget* parent)
    : QGroupBox(QStringLiteral("Conversion"), parent), m_combo3(new QComboBox(this)),
      m_img1(new QLabel(this)), m_hScrollTaille(new QScrollBar(Qt::Horizontal, this)),
      m_sizeText(new QLabel(this)), m_label8(new QLabel(this))
{
    setObjectName(QStringLiteral("Frame5"));
    m_combo3->setObjectName(QStringLiteral("Combo3"));
    m_combo3->setAccessibleName(QStringLiteral("Format de sortie"));
    m_img1->setObjectName(QStringLiteral("Img1"));
    m_img1->setAccessibleName(QStringLiteral("Aperçu de la conversion"));
    m_img1->setFixedSize(previewBoxSize);
    m_img1->setAlignment(Qt::AlignCenter);
    m_img1->setScaledContents(true);
    m_hScrollTaille->setObjectName(QStringLiteral("HScrollTaille"));
    m_hScrollTaille->setAccessibleName(QStringLiteral("Largeur de sortie"));
    m_hScrollTaille->setRange(1, maximumOutputWidth);
    m_hScrollTaille->setSingleStep(1);
    m_hScrollTaille->setPageStep(100);
    m_sizeText->setObjectName(QStringLiteral("LabelTaille"));
    m_sizeText->setAccessibleName(QStringLiteral("Taille de sortie"));
    m_label8->setObjectName(QStringLiteral("Label8"));
    m_label8->setAccessibleName(QStringLiteral("Fichier de sortie"));
    m_label8->setWordWrap(true);
    m_label8->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* caption = new QLabel(QStringLiteral("Format de sortie :"), this);
    caption->setBuddy(m_combo3);

    auto* layout = new QGridLayout(this);
    layout->addWidget(caption, 0, 0);
    layout->addWidget(m_combo3, 0, 1);
    layout->addWidget(m_img1, 1, 0, 1, 2, Qt::AlignCenter);
    layout->addWidget(m_hScrollTaille, 2, 0, 1, 2);
    layout->addWidget(m_sizeText, 3, 0, 1, 2);
    layout->addWidget(m_label8, 4, 0, 1, 2);
    layout->setColumnStretch(1, 1);
    layout->setRowStretch(5, 1);
}

void ConvertPanel::showPreview(const QImage& picture, QSize shown)
{
    if (picture.isNull()) {
        m_img1->clear();
        return;
    }
    m_img1->setFixedSize(shown);
    m_img1->setPixmap(
        QPixmap::fromImage(picture.scaled(shown, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)));
}

void ConvertPanel::showOutputSize(QSize size)
{
    m_sizeText->setText(QStringLiteral("%1 x %2 pixels").arg(size.width()).arg(size.height()));
}
