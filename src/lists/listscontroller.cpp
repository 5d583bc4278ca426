#include "lists/listscontroller.h"

#include "app/dialogs.h"
#include "lists/browsepanel.h"
#include "lists/worklist.h"
#include "lists/worklistmodel.h"
#include "lists/worklistpanel.h"
#include "preview/previewcontroller.h"

#include <QListView>
#include <QToolButton>
#include <QTreeView>

ListsController::ListsController(BrowsePanel* browse, WorkListPanel* workList,
                                 SettingsStore* settings, Dialogs* dialogs, QObject* parent)
    : QObject(parent), m_browse(browse), m_workList(workList), m_dialogs(dialogs)
{
    PreviewController::ListAccess lv1{
        browse->files(),
        [](const QModelIndex& index) -> QString { return index.data().toString(); },
        // An explicit QString: a deduced string-builder type would outlive its operands.
        [browse](const QModelIndex& index) -> QString {
            return browse->folder() + index.data().toString();
        },
    };
    const WorkListModel* model = workList->model();
    auto entryOf = [model](const QModelIndex& index) -> const WorkEntry* {
        const auto& entries = model->list().entries();
        const auto row = std::size_t(index.row());
        return index.isValid() && row < entries.size() ? &entries[row] : nullptr;
    };
    PreviewController::ListAccess lv2{
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
    m_preview =
        new PreviewController(settings, dialogs, browse->previewBox(), browse->previewSource(),
                              std::move(lv1), std::move(lv2), this);

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

void ListsController::clicLV2()
{
    m_preview->clicLV2();
    if (m_conversionTab && !m_workList->workList().isEmpty())
        Q_EMIT conversionEntryClicked();
}
