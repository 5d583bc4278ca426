#include "lists/worklistmodel.h"

WorkListModel::WorkListModel(QObject* parent) : QAbstractTableModel(parent) {}

int WorkListModel::add(const QString& folder, const QStringList& names)
{
    // The rows are rebuilt after every addition, even when nothing was added.
    beginResetModel();
    const int added = m_list.add(folder, names);
    endResetModel();
    return added;
}

bool WorkListModel::remove(int row)
{
    if (row < 0 || row >= m_list.count())
        return false;
    beginRemoveRows({}, row, row);
    m_list.remove(row);
    endRemoveRows();
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
    Q_EMIT dataChanged(index(a, 0), index(b, ColumnCount - 1));
}

void WorkListModel::clear()
{
    beginResetModel();
    m_list.clear();
    endResetModel();
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
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole)
        return {};
    const WorkEntry& entry = m_list.entries()[std::size_t(index.row())];
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
    return {};
}
