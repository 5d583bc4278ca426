#include "lists/worklistpanel.h"

#include "lists/worklistmodel.h"
#include "widgets/icons.h"

#include <QDropEvent>
#include <QEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QMimeData>
#include <QToolButton>
#include <QTreeView>
#include <QUrl>
#include <QVBoxLayout>

#include <algorithm>

WorkListPanel::WorkListPanel(QWidget* parent)
    : QGroupBox(QStringLiteral("Liste des fichiers à renomer"), parent), m_lv2(new QTreeView(this)),
      m_model(new WorkListModel(this)), m_label5(new QLabel(this))
{
    setObjectName(QStringLiteral("Frame2"));
    m_lv2->setObjectName(QStringLiteral("LV2"));
    m_lv2->setAccessibleName(title());
    m_lv2->setModel(m_model);
    m_lv2->setRootIsDecorated(false);
    m_lv2->setItemsExpandable(false);
    m_lv2->setUniformRowHeights(true);
    m_lv2->setSelectionMode(QAbstractItemView::SingleSelection);
    m_lv2->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_lv2->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // "Fichiers" and "Chemin d'accés" fill the view as the only columns did; "Nouveau nom"
    // comes after them, reached by scrolling, until the user sizes a column by hand.
    QHeaderView* header = m_lv2->header();
    header->setStretchLastSection(false);
    header->resizeSection(WorkListModel::NameColumn, startNameWidth);
    header->resizeSection(WorkListModel::NewNameColumn, startNewNameWidth);
    m_lv2->viewport()->installEventFilter(this);
    m_model->setMarkIcon(style()->standardIcon(QStyle::SP_MessageBoxWarning));
    m_label5->setObjectName(QStringLiteral("Label5"));
    m_label5->hide();
    updateMarker();

    m_command1 = makeButton("Command1", QStringLiteral("Ajoute le fichier à renomer à la liste"),
                            icons::themed("list-add", QStyle::SP_ArrowRight));
    m_command3 =
        makeButton("Command3", QStringLiteral("Supprime le fichier selectionné de la liste"),
                   icons::themed("list-remove", QStyle::SP_ArrowLeft));
    m_command6 = makeButton("Command6", QStringLiteral("Ajouter tous les fichiers"),
                            icons::themed("edit-select-all", QStyle::SP_FileDialogListView));
    m_command2 = makeButton("Command2", QStringLiteral("Vide la liste"),
                            icons::themed("edit-clear", QStyle::SP_DialogResetButton));
    m_command4 = makeButton("Command4", QStringLiteral("Monte un fichier dans la liste"),
                            icons::themed("go-up", QStyle::SP_ArrowUp));
    m_command5 = makeButton("Command5", QStringLiteral("Descend un fichier dans la liste"),
                            icons::themed("go-down", QStyle::SP_ArrowDown));

    auto* buttons = new QVBoxLayout;
    buttons->setSpacing(2);
    for (QToolButton* button : {m_command1, m_command3, m_command6, m_command2})
        buttons->addWidget(button);
    buttons->addStretch(1);
    buttons->addWidget(m_command4);
    buttons->addWidget(m_command5);

    auto* layout = new QHBoxLayout(this);
    layout->addLayout(buttons);
    layout->addWidget(m_lv2, 1);

    // Files and folders dropped from a file manager anywhere on the frame.
    setAcceptDrops(true);

    // Command1 and Command6 take the browse panel's files: the window connects them.
    connect(m_command3, &QToolButton::clicked, this, &WorkListPanel::enlever);
    connect(m_command2, &QToolButton::clicked, this, &WorkListPanel::videLV2);
    connect(m_command4, &QToolButton::clicked, this, &WorkListPanel::monte);
    connect(m_command5, &QToolButton::clicked, this, &WorkListPanel::descend);
}

bool WorkListPanel::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_lv2->viewport() && event->type() == QEvent::Resize)
        fitColumns();
    return QGroupBox::eventFilter(watched, event);
}

void WorkListPanel::setColumnsShareWidth(bool share)
{
    if (share == m_shareWidth)
        return;
    m_shareWidth = share;
    fitColumns();
}

void WorkListPanel::fitColumns()
{
    QHeaderView* header = m_lv2->header();
    const auto size = [header](int column) { return header->sectionSize(column); };
    // Columns sized by hand are left as they are.
    if (m_fittedFolderWidth >= 0 && size(WorkListModel::FolderColumn) != m_fittedFolderWidth)
        return;
    if (m_fittedNewNameWidth >= 0 && size(WorkListModel::NewNameColumn) != m_fittedNewNameWidth)
        return;
    const int width = m_lv2->viewport()->width();
    const int least = header->minimumSectionSize();
    int name = size(WorkListModel::NameColumn);
    int newName = size(WorkListModel::NewNameColumn);
    if (m_shareWidth) {
        // A larger window shows the three columns, the names taking the largest part.
        name = std::max(width * 2 / 5, least);
        newName = std::max(width * 3 / 10, least);
        header->resizeSection(WorkListModel::NameColumn, name);
        header->resizeSection(WorkListModel::NewNameColumn, newName);
        m_fittedNewNameWidth = newName;
        m_fittedFolderWidth = std::max(width - name - newName, least);
    } else {
        if (m_fittedNewNameWidth >= 0) {
            // Back to the start size: the start widths.
            name = startNameWidth;
            header->resizeSection(WorkListModel::NameColumn, name);
            header->resizeSection(WorkListModel::NewNameColumn, startNewNameWidth);
            m_fittedNewNameWidth = -1;
        }
        m_fittedFolderWidth = std::max(width - name, least);
    }
    header->resizeSection(WorkListModel::FolderColumn, m_fittedFolderWidth);
}

QStringList WorkListPanel::droppedPaths(const QMimeData* data)
{
    QStringList paths;
    if (!data || !data->hasUrls())
        return paths;
    const QList<QUrl> urls = data->urls();
    for (const QUrl& url : urls) {
        if (url.isLocalFile() && !url.toLocalFile().isEmpty())
            paths.push_back(url.toLocalFile());
    }
    return paths;
}

namespace {

// The drop only reads the files: it must never be taken as a move, after which the file
// manager would delete them.
bool acceptAsCopy(QDropEvent* event)
{
    if (WorkListPanel::droppedPaths(event->mimeData()).isEmpty())
        return false;
    if (event->possibleActions() & Qt::CopyAction)
        event->setDropAction(Qt::CopyAction);
    else if (event->possibleActions() & Qt::LinkAction)
        event->setDropAction(Qt::LinkAction);
    else
        return false;
    event->accept();
    return true;
}

} // namespace

void WorkListPanel::dragEnterEvent(QDragEnterEvent* event)
{
    if (!acceptAsCopy(event))
        event->ignore();
}

void WorkListPanel::dragMoveEvent(QDragMoveEvent* event)
{
    if (!acceptAsCopy(event))
        event->ignore();
}

void WorkListPanel::dropEvent(QDropEvent* event)
{
    if (!acceptAsCopy(event)) {
        event->ignore();
        return;
    }
    Q_EMIT pathsDropped(droppedPaths(event->mimeData()));
}

QToolButton* WorkListPanel::makeButton(const char* name, const QString& toolTip, const QIcon& icon)
{
    auto* button = new QToolButton(this);
    button->setObjectName(QLatin1String(name));
    button->setToolTip(toolTip);
    button->setAccessibleName(toolTip);
    button->setIcon(icon);
    button->setAutoRaise(false);
    return button;
}

const WorkList& WorkListPanel::workList() const
{
    return m_model->list();
}

QString WorkListPanel::countText(int count)
{
    if (count <= 0)
        return {};
    return QString::number(count) + QStringLiteral(" fichier(s) séléctionné(s)");
}

int WorkListPanel::selectedRow() const
{
    const QModelIndexList rows = m_lv2->selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.first().row();
}

void WorkListPanel::updateMarker()
{
    m_label5->setText(m_model->list().marker() ? QStringLiteral("oui") : QStringLiteral("non"));
}

void WorkListPanel::ajouter(const QString& folder, const QStringList& names)
{
    m_model->add(folder, names);
    updateMarker();
    compte();
    Q_EMIT entriesAdded();
}

void WorkListPanel::ajouter(const std::vector<WorkList::PreparedFolder>& folders)
{
    m_model->add(folders);
    updateMarker();
    compte();
    Q_EMIT entriesAdded();
}

void WorkListPanel::enlever()
{
    m_model->remove(selectedRow());
    // The marker reads "non" after a removal, even when no row was selected.
    m_model->clearMarker();
    updateMarker();
    compte();
}

void WorkListPanel::videLV2()
{
    m_model->clear();
    updateMarker();
    Q_EMIT exampleCleared();
    compte();
}

void WorkListPanel::monte()
{
    const int row = selectedRow();
    if (m_model->moveUp(row))
        m_lv2->setCurrentIndex(m_model->index(row - 1, 0));
}

void WorkListPanel::descend()
{
    const int row = selectedRow();
    if (m_model->moveDown(row))
        m_lv2->setCurrentIndex(m_model->index(row + 1, 0));
}

void WorkListPanel::compte()
{
    const QString text = countText(m_model->list().count());
    Q_EMIT countTextChanged(text);
    if (text.isEmpty())
        Q_EMIT exampleCleared();
}
