#include "lists/listscontroller.h"

#include "lists/browsepanel.h"
#include "lists/folderwalk.h"
#include "lists/worklist.h"
#include "lists/worklistmodel.h"
#include "lists/worklistpanel.h"
#include "services/dialogs.h"

#include <QComboBox>
#include <QFileInfo>
#include <QFutureWatcher>
#include <QListView>
#include <QToolButton>
#include <QTreeView>
#include <QtConcurrent>

PreviewController::ListAccess ListsController::browseListAccess(BrowsePanel* browse)
{
    return {
        browse->files(),
        [](const QModelIndex& index) -> QString { return index.data().toString(); },
        // An explicit QString: a deduced string-builder type would outlive its operands.
        [browse](const QModelIndex& index) -> QString {
            return browse->folder() + index.data().toString();
        },
    };
}

PreviewController::ListAccess ListsController::workListAccess(WorkListPanel* workList)
{
    const WorkListModel* model = workList->model();
    auto entryOf = [model](const QModelIndex& index) -> const WorkEntry* {
        const auto& entries = model->list().entries();
        const auto row = std::size_t(index.row());
        return index.isValid() && row < entries.size() ? &entries[row] : nullptr;
    };
    return {
        workList->view(),
        [entryOf](const QModelIndex& index) -> QString {
            const WorkEntry* entry = entryOf(index);
            return entry ? entry->name : QString();
        },
        [entryOf](const QModelIndex& index) -> QString {
            const WorkEntry* entry = entryOf(index);
            return entry ? entry->path() : QString();
        },
    };
}

ListsController::ListsController(BrowsePanel* browse, WorkListPanel* workList,
                                 PreviewController* preview, Dialogs* dialogs, QObject* parent)
    : QObject(parent), m_browse(browse), m_workList(workList), m_dialogs(dialogs),
      m_preview(preview)
{
    connect(browse, &BrowsePanel::listingFailed, this, [this](const QString& description) {
        m_dialogs->message(description, QStringLiteral("Morvane"), DialogIcon::Warning);
    });
    connect(workList->addButton(), &QToolButton::clicked, this, &ListsController::ajouter);
    connect(workList->addAllButton(), &QToolButton::clicked, this, &ListsController::tout);
    connect(browse->files(), &QListView::doubleClicked, this, [this] {
        if (!m_browse->names().isEmpty())
            ajouter();
    });
    connect(browse->files(), &QListView::clicked, m_preview, &PreviewController::clicLV1);
    connect(workList->view(), &QTreeView::clicked, this, &ListsController::clicLV2);
    // Moving through the work list by keyboard counts as its click on the conversion tab too.
    connect(m_preview, &PreviewController::lv2Followed, this, [this] {
        if (m_conversionTab && !m_workList->workList().isEmpty())
            Q_EMIT conversionEntryClicked();
    });
    connect(workList, &WorkListPanel::pathsDropped, this, &ListsController::ajouterChemins);
}

struct ListsController::Found
{
    std::vector<WorkList::PreparedFolder> folders;
    std::vector<lists::UnreadableFolder> unreadable;
};

namespace {

// The files of a walk with their identities, read on the calling thread.
std::vector<WorkList::PreparedFolder> prepared(const std::vector<lists::FolderFiles>& folders)
{
    std::vector<WorkList::PreparedFolder> result;
    result.reserve(folders.size());
    for (const lists::FolderFiles& files : folders)
        result.push_back(WorkList::prepare(files.folder, files.names));
    return result;
}

} // namespace

ListsController::~ListsController()
{
    // The walk holds nothing of the controller's; it only needs to stop.
    m_cancel->store(true);
    if (m_running)
        m_running->waitForFinished();
}

void ListsController::ajouter()
{
    m_workList->ajouter(m_browse->folder(), m_browse->selectedNames());
}

void ListsController::tout()
{
    m_workList->ajouter(m_browse->folder(), m_browse->names());
}

void ListsController::selectall()
{
    m_browse->selectAll();
}

void ListsController::ajouterChemins(const QStringList& paths)
{
    if (paths.isEmpty())
        return;
    m_pending.push_back({paths, std::max(0, m_browse->typeFilter()->currentIndex())});
    if (!m_running)
        startNextAddition();
}

void ListsController::ajouterDossier()
{
    const std::optional<QString> folder =
        m_dialogs->pickFolder(QStringLiteral("Ajouter un dossier et ses sous-dossiers"));
    if (folder && !folder->isEmpty())
        ajouterChemins({*folder});
}

void ListsController::startNextAddition()
{
    if (m_running || m_pending.empty())
        return;
    const Addition next = std::move(m_pending.front());
    m_pending.pop_front();
    m_running = new QFutureWatcher<Found>(this);
    connect(m_running, &QFutureWatcher<Found>::finished, this, &ListsController::finishAddition);
    m_running->setFuture(QtConcurrent::run([next, cancel = m_cancel] {
        lists::FolderWalk walk = lists::collectPaths(next.paths, next.filter, cancel.get());
        return Found{prepared(walk.folders), std::move(walk.unreadable)};
    }));
}

void ListsController::finishAddition()
{
    const Found walk = m_running->result();
    m_running->deleteLater();
    m_running = nullptr;
    m_workList->ajouter(walk.folders);
    if (!walk.unreadable.empty())
        m_dialogs->message(lists::unreadableFoldersText(walk.unreadable), QStringLiteral("Morvane"),
                           DialogIcon::Warning);
    Q_EMIT additionFinished();
    startNextAddition();
}

void ListsController::ouvrirArguments(const QStringList& paths)
{
    if (paths.isEmpty())
        return;
    const QFileInfo first(paths.first());
    m_browse->openFolder(first.isDir() ? first.absoluteFilePath() : first.absolutePath());
    QStringList files;
    for (const QString& path : paths) {
        if (!QFileInfo(path).isDir())
            files.push_back(path);
    }
    // A few names given by hand: read at once, so the window opens with them listed.
    if (!files.isEmpty())
        m_workList->ajouter(prepared(lists::collectPaths(files, 0).folders));
}

void ListsController::clicLV2()
{
    m_preview->clicLV2();
    if (m_conversionTab && !m_workList->workList().isEmpty())
        Q_EMIT conversionEntryClicked();
}
