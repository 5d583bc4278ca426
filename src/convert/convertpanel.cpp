#include "convert/convertpanel.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>

ConvertPanel::ConvertPanel(QWidget* parent)
    : QGroupBox(QStringLiteral("Conversion"), parent), m_combo3(new QComboBox(this)),
      m_img1(new QLabel(this))
{
    setObjectName(QStringLiteral("Frame5"));
    m_combo3->setObjectName(QStringLiteral("Combo3"));
    m_combo3->setAccessibleName(QStringLiteral("Format de sortie"));
    m_img1->setObjectName(QStringLiteral("Img1"));
    m_img1->setAccessibleName(QStringLiteral("Aperçu de la conversion"));
    m_img1->setFixedSize(previewBoxSize);
    m_img1->setAlignment(Qt::AlignCenter);
    auto* caption = new QLabel(QStringLiteral("Format de sortie :"), this);
    caption->setBuddy(m_combo3);

    auto* layout = new QGridLayout(this);
    layout->addWidget(caption, 0, 0);
    layout->addWidget(m_combo3, 0, 1);
    layout->addWidget(m_img1, 1, 0, 1, 2, Qt::AlignCenter);
    layout->setColumnStretch(1, 1);
    layout->setRowStretch(2, 1);
}
