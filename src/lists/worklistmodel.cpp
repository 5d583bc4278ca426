#include "lists/worklistmodel.h"

#include <algorithm>
#include <utility>

WorkListModel::WorkListModel(QObject* parent) : QAbstractTableModel(parent) {}

int WorkListModel::add(const QString& folder, const QStringList& names)
{
    // The rows are rebuilt after every addition, even when nothing was added.
    beginResetModel();
    const int added = m_list.add(folder, names);
    endResetModel();
    Q_EMIT entriesChanged();
    return added;
}

int WorkListModel::add(const std::vector<WorkList::PreparedFolder>& folders)
{
    beginResetModel();
    int added = 0;
    for (const WorkList::PreparedFolder& files : folders)
        added += m_list.add(files);
    endResetModel();
    Q_EMIT entriesChanged();
    return added;
}

bool WorkListModel::remove(int row)
{
    if (row < 0 || row >= m_list.count())
        return false;
    beginRemoveRows({}, row, row);
    m_list.remove(row);
    for (std::vector<QString>* column : {&m_newNames, &m_marks}) {
        if (std::size_t(row) < column->size())
            column->erase(column->begin() + row);
    }
    endRemoveRows();
    Q_EMIT entriesChanged();
    return true;
}

bool WorkListModel::moveUp(int row)
{
    if (!m_list.moveUp(row))
        return false;
    rowsSwapped(row - 1, row);
    return true;
}

bool WorkListModel::moveDown(int row)
{
    if (!m_list.moveDown(row))
        return false;
    rowsSwapped(row, row + 1);
    return true;
}

void WorkListModel::rowsSwapped(int a, int b)
{
    for (std::vector<QString>* column : {&m_newNames, &m_marks}) {
        if (std::size_t(b) < column->size())
            std::swap((*column)[std::size_t(a)], (*column)[std::size_t(b)]);
    }
    Q_EMIT dataChanged(index(a, 0), index(b, ColumnCount - 1));
    Q_EMIT entriesChanged();
}

void WorkListModel::clear()
{
    beginResetModel();
    m_list.clear();
    m_newNames.clear();
    m_marks.clear();
    endResetModel();
    Q_EMIT entriesChanged();
}

bool WorkListModel::setNewNames(std::vector<QString> names)
{
    if (names.size() != m_list.entries().size())
        return false;
    m_newNames = std::move(names);
    newNamesChanged();
    return true;
}

bool WorkListModel::setNameMarks(std::vector<QString> reasons)
{
    if (reasons.size() != m_list.entries().size())
        return false;
    m_marks = std::move(reasons);
    newNamesChanged();
    return true;
}

void WorkListModel::newNamesChanged()
{
    if (m_list.isEmpty())
        return;
    Q_EMIT dataChanged(index(0, NewNameColumn), index(m_list.count() - 1, NewNameColumn),
                       {Qt::DisplayRole, Qt::DecorationRole, Qt::ToolTipRole});
}

int WorkListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_list.count();
}

int WorkListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant WorkListModel::data(const QModelIndex& index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const auto row = std::size_t(index.row());
    const WorkEntry& entry = m_list.entries()[row];
    if (index.column() == NewNameColumn) {
        const QString* mark =
            row < m_marks.size() && !m_marks[row].isEmpty() ? &m_marks[row] : nullptr;
        switch (role) {
        case Qt::DisplayRole:
            return row < m_newNames.size() ? m_newNames[row] : QString();
        case Qt::DecorationRole:
            return mark ? QVariant(m_markIcon) : QVariant();
        case Qt::ToolTipRole:
            return mark ? *mark : entry.path();
        default:
            return {};
        }
    }
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole)
        return {};
    if (role == Qt::ToolTipRole)
        return entry.path();
    return index.column() == NameColumn ? entry.name : entry.folder;
}

QVariant WorkListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    if (section == NameColumn)
        return QStringLiteral("Fichiers");
    if (section == FolderColumn)
        return QStringLiteral("Chemin d'accés");
    if (section == NewNameColumn)
        return QStringLiteral("Nouveau nom");
    return {};
}
