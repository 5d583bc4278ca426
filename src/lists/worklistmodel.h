#pragma once

#include "lists/worklist.h"

#include <QAbstractTableModel>
#include <QIcon>

#include <vector>

// The work list shown in LV2: column 0 "Fichiers" (the name), column 1 "Chemin d'accés" (the
// folder), column 2 "Nouveau nom" (the name each entry would get, with a mark and its reason
// where that name cannot be given). Every change of the list goes through here so the views
// stay in step.
class WorkListModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum Column
    {
        NameColumn = 0,
        FolderColumn = 1,
        NewNameColumn = 2,
        ColumnCount = 3
    };

    explicit WorkListModel(QObject* parent = nullptr);

    const WorkList& list() const { return m_list; }

    // Adds, then rebuilds the rows from the list. Returns how many files were added.
    int add(const QString& folder, const QStringList& names);
    // Adds the files of several folders in order, with one rebuild of the rows.
    int add(const std::vector<WorkList::PreparedFolder>& folders);
    bool remove(int row);
    bool moveUp(int row);
    bool moveDown(int row);
    void clear();
    void clearMarker() { m_list.clearMarker(); }

    // The new names, one per entry in list order. Refused (false) when the count differs:
    // the list changed since they were made.
    bool setNewNames(std::vector<QString> names);
    // The reasons of the marks, one per entry (empty: no mark); refused like setNewNames.
    bool setNameMarks(std::vector<QString> reasons);
    // The icon a marked "Nouveau nom" cell shows.
    void setMarkIcon(const QIcon& icon) { m_markIcon = icon; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

Q_SIGNALS:
    // Entries were added, removed, moved or emptied (not emitted for the new names).
    void entriesChanged();

private:
    void rowsSwapped(int a, int b);
    void newNamesChanged();

    WorkList m_list;
    // Parallel to the entries once set; a row beyond their end shows nothing.
    std::vector<QString> m_newNames;
    std::vector<QString> m_marks;
    QIcon m_markIcon;
};
