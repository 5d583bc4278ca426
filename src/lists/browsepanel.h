#pragma once

#include "lists/volumes.h"
#include "preview/previewbox.h"

#include <QGroupBox>
#include <QStringList>

class FileListModel;
class QComboBox;
class QFileSystemWatcher;
class QFileSystemModel;
class QLabel;
class QListView;
class QTreeView;

// The left frame: drive list Drive1, type filter Combo1, folder list Dir1, browse list LV1 and
// the preview box Picture2. LV1 always lists the folder that folder() names: a folder that
// cannot be listed leaves both as they were.
class BrowsePanel : public QGroupBox
{
    Q_OBJECT
public:
    explicit BrowsePanel(QWidget* parent = nullptr);

    QComboBox* drives() const { return m_drive1; }
    QComboBox* typeFilter() const { return m_combo1; }
    QTreeView* folders() const { return m_dir1; }
    QListView* files() const { return m_lv1; }
    PreviewBox* previewBox() const { return m_picture2; }
    // Hidden Label6: the list of the last preview.
    QLabel* previewSource() const { return m_label6; }

    // The browse list LV1 is 105 px high with the preview box below it, or 265 px high
    // covering the preview box's place.
    void setPreviewShown(bool shown);

    // Room the window has beyond its start size: the lists take it (see applySizes()).
    void setGrowth(QSize growth);

    static constexpr int folderListHeight = 96;
    static constexpr int listHeightWithPreview = 105;
    static constexpr int listHeightWithoutPreview = 265;
    static constexpr QSize previewBoxSize{209, 153};

    // The folder LV1 lists, ending with '/'; empty before the first listing.
    const QString& folder() const { return m_folder; }
    const QStringList& names() const;
    // Selected names of LV1 in list order.
    QStringList selectedNames() const;

    // Offers `volumes` in Drive1; `startupRoot` is where a volume change falls back to.
    void setVolumes(const QList<lists::Volume>& volumes, const QString& startupRoot);
    // Start-up: the real mounted volumes, Dir1 at the root of the volume of the working folder.
    void goToStartupVolume();

    // Folder change: lists `folder` and shows it in Dir1 and LV1. When it cannot be listed,
    // listingFailed() is emitted and Dir1 and LV1 stay on the folder they showed.
    bool setFolder(const QString& folder);
    // Goes to `folder` on whichever volume holds it (start-up arguments, the last folder):
    // Drive1 follows. A folder that cannot be listed is reported and nothing moves.
    bool openFolder(const QString& folder);
    // Drive change to the volume at `root` (see lists::chooseVolume); silent on failure.
    void chooseVolume(const QString& root);
    // Fills Combo1 with the seven filter entries and shows entry 0 (start-up).
    void fillTypeFilter();
    // Filter choice: lists the current folder with filter `index`; silent on failure.
    void chooseFilter(int index);
    // Reads the current folder again and refills LV1 (after files changed on disk).
    bool rempliLV1();
    // Selects every entry of LV1.
    void selectAll();

protected:
    void showEvent(QShowEvent* event) override;

Q_SIGNALS:
    // A folder could not be listed: the system's description.
    void listingFailed(const QString& description);

private:
    bool goTo(const QString& folder, bool reportFailure);
    void showListing(const QString& folder, QStringList names);
    // The folder LV1 lists and its ancestors are watched: when it disappears (deleted, moved,
    // its volume unmounted), the panel moves to its nearest existing ancestor.
    void watchFolder();
    void followVanishedFolder();
    void revealCurrentFolder();
    void showFolderInTree(const QString& folder);
    void selectVolumeEntry(const QString& root);
    int currentFilter() const;
    void applySizes();

    QComboBox* m_drive1;
    QComboBox* m_combo1;
    QTreeView* m_dir1;
    QListView* m_lv1;
    PreviewBox* m_picture2;
    QLabel* m_label6;
    QFileSystemModel* m_folderModel;
    FileListModel* m_fileModel;
    QFileSystemWatcher* m_watcher;
    QString m_folder;
    QString m_volumeRoot;
    QString m_startupRoot;
    QSize m_growth{0, 0};
    bool m_previewShown = true;
    // Dir1 keeps the current folder in sight while its neighbours are read.
    bool m_revealPending = false;
};
