#pragma once

#include "lists/worklist.h"

#include <QAbstractTableModel>

// The work list shown in LV2: column 0 "Fichiers" (the name), column 1 "Chemin d'accés" (the
// folder). Every change of the list goes through here so the views stay in step.
class WorkListModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum Column
    {
        NameColumn = 0,
        FolderColumn = 1,
        ColumnCount = 2
    };

    explicit WorkListModel(QObject* parent = nullptr);

    const WorkList& list() const { return m_list; }

    // Adds, then rebuilds the rows from the list. Returns how many files were added.
    int add(const QString& folder, const QStringList& names);
    bool remove(int row);
    bool moveUp(int row);
    bool moveDown(int row);
    void clear();
    void clearMarker() { m_list.clearMarker(); }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    void rowsSwapped(int a, int b);

    WorkList m_list;
};
