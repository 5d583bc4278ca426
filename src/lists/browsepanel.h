#pragma once

#include <QGroupBox>

class QComboBox;
class QLabel;
class QListView;
class QTreeView;

// The left frame: drive list, type filter, folder list, browse list and preview box.
class BrowsePanel : public QGroupBox
{
    Q_OBJECT
public:
    explicit BrowsePanel(QWidget* parent = nullptr);

    QComboBox* drives() const { return m_drive1; }
    QComboBox* typeFilter() const { return m_combo1; }
    QTreeView* folders() const { return m_dir1; }
    QListView* files() const { return m_lv1; }
    QLabel* previewBox() const { return m_picture2; }

    // The browse list is 105 px high with the preview box below it, or 265 px high
    // covering the preview box's place.
    void setPreviewShown(bool shown);

    static constexpr int listHeightWithPreview = 105;
    static constexpr int listHeightWithoutPreview = 265;
    static constexpr QSize previewBoxSize{209, 153};

private:
    QComboBox* m_drive1;
    QComboBox* m_combo1;
    QTreeView* m_dir1;
    QListView* m_lv1;
    QLabel* m_picture2;
};
