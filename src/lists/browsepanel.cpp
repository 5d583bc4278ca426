#include "lists/browsepanel.h"

#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QListView>
#include <QTreeView>
#include <QVBoxLayout>

BrowsePanel::BrowsePanel(QWidget* parent)
    : QGroupBox(QStringLiteral("Selection des fichiers à renomer"), parent),
      m_drive1(new QComboBox(this)), m_combo1(new QComboBox(this)), m_dir1(new QTreeView(this)),
      m_lv1(new QListView(this)), m_picture2(new QLabel(this))
{
    setObjectName(QStringLiteral("Frame1"));
    m_drive1->setObjectName(QStringLiteral("Drive1"));
    m_drive1->setAccessibleName(QStringLiteral("Lecteur"));
    m_combo1->setObjectName(QStringLiteral("Combo1"));
    m_combo1->setAccessibleName(QStringLiteral("Type de fichiers"));
    m_dir1->setObjectName(QStringLiteral("Dir1"));
    m_dir1->setAccessibleName(QStringLiteral("Dossiers"));
    m_dir1->setHeaderHidden(true);
    m_dir1->setFixedHeight(96);
    m_lv1->setObjectName(QStringLiteral("LV1"));
    m_lv1->setAccessibleName(title());
    m_lv1->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_lv1->setViewMode(QListView::ListMode);
    m_lv1->setUniformItemSizes(true);
    m_picture2->setObjectName(QStringLiteral("Picture2"));
    m_picture2->setAccessibleName(QStringLiteral("Aperçu"));
    m_picture2->setToolTip(QStringLiteral("Cliquer pour agrandir"));
    m_picture2->setFixedSize(previewBoxSize);
    m_picture2->setFrameShape(QFrame::StyledPanel);
    m_picture2->setFrameShadow(QFrame::Sunken);
    m_picture2->setAlignment(Qt::AlignCenter);

    auto* layout = new QVBoxLayout(this);
    layout->setSpacing(7); // 105 + 7 + 153 = 265: the long list covers the box exactly
    layout->addWidget(m_drive1);
    layout->addWidget(m_combo1);
    layout->addWidget(m_dir1);
    layout->addWidget(m_lv1);
    layout->addWidget(m_picture2);
    layout->addStretch(1);
    setFixedWidth(previewBoxSize.width() + 20);
    setPreviewShown(true);
}

void BrowsePanel::setPreviewShown(bool shown)
{
    m_lv1->setFixedHeight(shown ? listHeightWithPreview : listHeightWithoutPreview);
    m_picture2->setVisible(shown);
}
