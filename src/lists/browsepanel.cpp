#include "lists/browsepanel.h"

#include "fileops/fileops.h"
#include "lists/filelistmodel.h"
#include "lists/folderwalk.h"
#include "preview/previewbox.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QFileSystemWatcher>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QListView>
#include <QScrollBar>
#include <QStyle>
#include <QTreeView>
#include <QVBoxLayout>

BrowsePanel::BrowsePanel(QWidget* parent)
    : QGroupBox(QStringLiteral("Selection des fichiers à renomer"), parent),
      m_drive1(new QComboBox(this)), m_combo1(new QComboBox(this)), m_dir1(new QTreeView(this)),
      m_lv1(new QListView(this)), m_picture2(new PreviewBox(this)), m_label6(new QLabel(this)),
      m_folderModel(new QFileSystemModel(this)), m_fileModel(new FileListModel(this)),
      m_watcher(new QFileSystemWatcher(this))
{
    setObjectName(QStringLiteral("Frame1"));
    m_drive1->setObjectName(QStringLiteral("Drive1"));
    m_drive1->setAccessibleName(QStringLiteral("Lecteur"));
    m_combo1->setObjectName(QStringLiteral("Combo1"));
    m_combo1->setAccessibleName(QStringLiteral("Type de fichiers"));
    m_combo1->setEditable(false);

    // Folders only, hidden ones left out; the model watches the disk by itself.
    m_folderModel->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot);
    m_folderModel->setReadOnly(true);
    m_dir1->setObjectName(QStringLiteral("Dir1"));
    m_dir1->setAccessibleName(QStringLiteral("Dossiers"));
    m_dir1->setModel(m_folderModel);
    for (int column = 1; column < m_folderModel->columnCount(); ++column)
        m_dir1->hideColumn(column);
    m_dir1->setHeaderHidden(true);
    m_dir1->setFixedHeight(folderListHeight);
    m_dir1->setExpandsOnDoubleClick(false);
    m_dir1->setSelectionMode(QAbstractItemView::SingleSelection);

    m_fileModel->setFileIcon(style()->standardIcon(QStyle::SP_FileIcon));
    m_lv1->setObjectName(QStringLiteral("LV1"));
    m_lv1->setAccessibleName(title());
    m_lv1->setModel(m_fileModel);
    m_lv1->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_lv1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_lv1->setViewMode(QListView::ListMode);
    m_lv1->setUniformItemSizes(true);
    m_lv1->setIconSize(QSize(16, 16));

    m_picture2->setFixedSize(previewBoxSize);
    m_label6->setObjectName(QStringLiteral("Label6"));
    m_label6->setText(QStringLiteral("Label6"));
    m_label6->hide();

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->setSpacing(7); // 105 + 7 + 153 = 265: the long list covers the box exactly
    layout->addWidget(m_drive1);
    layout->addWidget(m_combo1);
    layout->addWidget(m_dir1);
    layout->addWidget(m_lv1);
    layout->addWidget(m_picture2);
    layout->addStretch(1);
    setPreviewShown(true);

    connect(m_drive1, &QComboBox::activated, this,
            [this](int index) { chooseVolume(m_drive1->itemData(index).toString()); });
    connect(m_combo1, &QComboBox::activated, this, &BrowsePanel::chooseFilter);
    // Opening a folder (double click, or Enter) makes it the current folder; a single click
    // only clears the preview.
    connect(m_dir1, &QTreeView::activated, this,
            [this](const QModelIndex& index) { setFolder(m_folderModel->filePath(index)); });
    connect(m_dir1, &QTreeView::clicked, m_picture2, &PreviewBox::clearPicture);
    connect(m_watcher, &QFileSystemWatcher::directoryChanged, this,
            &BrowsePanel::followVanishedFolder);
    // A folder opened from code deep in a volume (start-up arguments, the last folder): its
    // neighbours are read in the background and push it out of sight; it is kept in sight
    // until the user takes the tree in hand.
    const auto reveal = [this] {
        if (m_revealPending)
            revealCurrentFolder();
    };
    connect(m_folderModel, &QAbstractItemModel::rowsInserted, this, reveal);
    connect(m_folderModel, &QAbstractItemModel::layoutChanged, this, reveal);
    const auto userTakesOver = [this] { m_revealPending = false; };
    connect(m_dir1, &QTreeView::clicked, this, userTakesOver);
    connect(m_dir1, &QTreeView::activated, this, userTakesOver);
    connect(m_dir1, &QTreeView::collapsed, this, userTakesOver);
    connect(m_dir1->verticalScrollBar(), &QScrollBar::actionTriggered, this, userTakesOver);
}

void BrowsePanel::showEvent(QShowEvent* event)
{
    QGroupBox::showEvent(event);
    revealCurrentFolder();
}

void BrowsePanel::revealCurrentFolder()
{
    if (m_dir1->currentIndex().isValid())
        m_dir1->scrollTo(m_dir1->currentIndex(), QAbstractItemView::PositionAtCenter);
}

void BrowsePanel::setPreviewShown(bool shown)
{
    m_previewShown = shown;
    m_picture2->setVisible(shown);
    applySizes();
}

void BrowsePanel::setGrowth(QSize growth)
{
    m_growth = growth.expandedTo(QSize(0, 0));
    applySizes();
}

void BrowsePanel::applySizes()
{
    // At the start size: wide enough for the preview box inside the frame's margins, the
    // lists taking the same width. Room beyond it goes a quarter to the width, and half each
    // to the folder list and the browse list.
    const QMargins margins = layout()->contentsMargins();
    setFixedWidth(previewBoxSize.width() + margins.left() + margins.right() + 4 +
                  m_growth.width() / 4);
    const int extra = m_growth.height() / 2;
    m_dir1->setFixedHeight(folderListHeight + extra);
    m_lv1->setFixedHeight((m_previewShown ? listHeightWithPreview : listHeightWithoutPreview) +
                          m_growth.height() - extra);
}

const QStringList& BrowsePanel::names() const
{
    return m_fileModel->names();
}

QStringList BrowsePanel::selectedNames() const
{
    QModelIndexList rows = m_lv1->selectionModel()->selectedRows();
    std::sort(rows.begin(), rows.end(),
              [](const QModelIndex& a, const QModelIndex& b) { return a.row() < b.row(); });
    QStringList result;
    result.reserve(rows.size());
    for (const QModelIndex& index : std::as_const(rows))
        result.push_back(m_fileModel->names().at(index.row()));
    return result;
}

void BrowsePanel::setVolumes(const QList<lists::Volume>& volumes, const QString& startupRoot)
{
    m_drive1->clear();
    for (const lists::Volume& volume : volumes)
        m_drive1->addItem(volume.label, volume.root);
    m_startupRoot = fileops::withSlash(startupRoot);
}

void BrowsePanel::goToStartupVolume()
{
    const QString working = QDir::currentPath();
    setVolumes(lists::mountedVolumes(working), lists::volumeRootOf(working));
    m_volumeRoot = m_startupRoot;
    selectVolumeEntry(m_startupRoot);
    setFolder(m_startupRoot);
}

void BrowsePanel::selectVolumeEntry(const QString& root)
{
    const int index = m_drive1->findData(root);
    if (index >= 0)
        m_drive1->setCurrentIndex(index);
}

int BrowsePanel::currentFilter() const
{
    return m_combo1->currentIndex() < 0 ? 0 : m_combo1->currentIndex();
}

bool BrowsePanel::setFolder(const QString& folder)
{
    m_picture2->clearPicture();
    const QString target = fileops::withSlash(folder);
    lists::FolderListing listing = lists::listFolder(target, currentFilter());
    if (!listing.ok()) {
        // Dir1 goes back to the folder LV1 lists, so no later operation joins the new
        // folder to the old names.
        if (!m_folder.isEmpty())
            showFolderInTree(m_folder);
        Q_EMIT listingFailed(*listing.error);
        return false;
    }
    showListing(target, std::move(listing.names));
    return true;
}

bool BrowsePanel::openFolder(const QString& folder)
{
    return goTo(folder, true);
}

bool BrowsePanel::goTo(const QString& folder, bool reportFailure)
{
    const QString target = fileops::withSlash(QDir::cleanPath(folder));
    lists::FolderListing listing = lists::listFolder(target, currentFilter());
    if (!listing.ok()) {
        if (reportFailure)
            Q_EMIT listingFailed(*listing.error);
        return false;
    }
    m_picture2->clearPicture();
    m_volumeRoot = lists::volumeRootOf(target);
    selectVolumeEntry(m_volumeRoot);
    showListing(target, std::move(listing.names));
    return true;
}

void BrowsePanel::chooseVolume(const QString& root)
{
    const QString startup = m_startupRoot.isEmpty() ? root : m_startupRoot;
    const int filter = currentFilter();
    lists::VolumeChoice choice = lists::chooseVolume(
        fileops::withSlash(root), m_volumeRoot, startup,
        [filter](const QString& folder) { return lists::listFolder(folder, filter); });
    if (!choice.listing.ok()) {
        selectVolumeEntry(m_volumeRoot);
        return;
    }
    m_picture2->clearPicture();
    m_volumeRoot = choice.root;
    selectVolumeEntry(m_volumeRoot);
    showListing(choice.root, std::move(choice.listing.names));
}

void BrowsePanel::fillTypeFilter()
{
    m_combo1->clear();
    for (const lists::TypeFilter& filter : lists::typeFilters())
        m_combo1->addItem(filter.text);
    m_combo1->setCurrentIndex(0);
    chooseFilter(0);
}

void BrowsePanel::chooseFilter(int index)
{
    m_picture2->clearPicture();
    if (m_folder.isEmpty())
        return;
    lists::FolderListing listing = lists::listFolder(m_folder, index);
    if (listing.ok())
        m_fileModel->setNames(std::move(listing.names));
    else
        followVanishedFolder();
}

bool BrowsePanel::rempliLV1()
{
    if (m_folder.isEmpty())
        return false;
    lists::FolderListing listing = lists::listFolder(m_folder, currentFilter());
    if (!listing.ok()) {
        Q_EMIT listingFailed(*listing.error);
        return false;
    }
    m_fileModel->setNames(std::move(listing.names));
    return true;
}

void BrowsePanel::selectAll()
{
    m_lv1->selectAll();
}

void BrowsePanel::showListing(const QString& folder, QStringList names)
{
    m_folder = folder;
    m_fileModel->setNames(std::move(names));
    showFolderInTree(folder);
    watchFolder();
}

void BrowsePanel::watchFolder()
{
    const QStringList watched = m_watcher->directories();
    if (!watched.isEmpty())
        m_watcher->removePaths(watched);
    // The ancestors too: a parent moved away takes the folder with it without a word to the
    // folder's own watch.
    QStringList paths;
    for (QString path = QDir::cleanPath(m_folder);;) {
        paths.push_back(path);
        const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
        if (slash <= 0)
            break;
        path.truncate(slash);
    }
    m_watcher->addPaths(paths);
}

void BrowsePanel::followVanishedFolder()
{
    if (m_folder.isEmpty() || QFileInfo(m_folder).isDir())
        return;
    // Up from the vanished folder to the first ancestor that can be listed.
    QString folder = lists::nearestExistingFolder(m_folder);
    while (!goTo(folder, false) && folder != QLatin1String("/"))
        folder = lists::nearestExistingFolder(folder + QStringLiteral(".."));
}

void BrowsePanel::showFolderInTree(const QString& folder)
{
    // Dir1 shows the folders of the current volume.
    const QString root =
        QDir::cleanPath(m_volumeRoot.isEmpty() ? lists::volumeRootOf(folder) : m_volumeRoot);
    if (QDir::cleanPath(m_folderModel->rootPath()) != root) {
        m_folderModel->setRootPath(root);
        m_dir1->setRootIndex(m_folderModel->index(root));
    }
    const QModelIndex index = m_folderModel->index(QDir::cleanPath(folder));
    if (index.isValid() && index != m_dir1->rootIndex()) {
        m_dir1->setCurrentIndex(index);
        m_dir1->expand(index);
        revealCurrentFolder();
        m_revealPending = true;
    } else {
        m_revealPending = false;
        m_dir1->clearSelection();
        m_dir1->setCurrentIndex({});
    }
}
