#pragma once

#include "lists/worklist.h"

#include <QGroupBox>
#include <QStringList>

class QDragEnterEvent;
class QDragMoveEvent;
class QDropEvent;
class QLabel;
class QMimeData;
class QToolButton;
class QTreeView;
class WorkListModel;

// The frame Frame2: the work list LV2 and its buttons, with the routines that change the
// list. The count text and the emptied example go out as signals for the window to show.
class WorkListPanel : public QGroupBox
{
    Q_OBJECT
public:
    explicit WorkListPanel(QWidget* parent = nullptr);

    QTreeView* view() const { return m_lv2; }
    QToolButton* addButton() const { return m_command1; }
    QToolButton* removeButton() const { return m_command3; }
    QToolButton* addAllButton() const { return m_command6; }
    QToolButton* clearButton() const { return m_command2; }
    QToolButton* upButton() const { return m_command4; }
    QToolButton* downButton() const { return m_command5; }
    // Hidden marker "oui"/"non".
    QLabel* marker() const { return m_label5; }

    const WorkList& workList() const;
    WorkListModel* model() const { return m_model; }

    // Adds the files `names` of `folder` not already listed, rebuilds the rows, shows the
    // count, then entriesAdded() (the rename example).
    void ajouter(const QString& folder, const QStringList& names);
    // The same for the files of several folders, in order, with one rebuild and one count.
    void ajouter(const std::vector<WorkList::PreparedFolder>& folders);
    // Removes the selected row, if any; then the marker "non" and the count.
    void enlever();
    // Empties the work list completely: entries, marker, example, rows and count. The one
    // routine for every subsystem that empties the list (rename, conversions, file operations).
    void videLV2();
    // Moves the selected row up / down; the selection follows it.
    void monte();
    void descend();
    // Shows the count text (empty when the list is empty, and the example emptied with it).
    void compte();

    // "N fichier(s) séléctionné(s)", or empty text for 0.
    static QString countText(int count);

    // At the start size "Fichiers" and "Chemin d'accés" fill the view and "Nouveau nom" comes
    // after them; in a larger window the three columns share the width, names first.
    void setColumnsShareWidth(bool share);
    static constexpr int startNameWidth = 130;
    static constexpr int startNewNameWidth = 200;
    // The local files and folders of a drag, in order; empty when it carries none.
    static QStringList droppedPaths(const QMimeData* data);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

Q_SIGNALS:
    void countTextChanged(const QString& text);
    // The rename example label must be emptied.
    void exampleCleared();
    // Files were added (whether or not any was new): time to recompute the rename example.
    void entriesAdded();
    // Files and folders were dropped from a file manager: local paths, in order.
    void pathsDropped(const QStringList& paths);

private:
    void fitColumns();
    QToolButton* makeButton(const char* name, const QString& toolTip, const QIcon& icon);
    int selectedRow() const;
    void updateMarker();

    QTreeView* m_lv2;
    WorkListModel* m_model;
    QToolButton* m_command1;
    QToolButton* m_command3;
    QToolButton* m_command6;
    QToolButton* m_command2;
    QToolButton* m_command4;
    QToolButton* m_command5;
    QLabel* m_label5;
    // The folder column takes the view's width left by the name column, as long as it keeps
    // the width last given to it.
    int m_fittedFolderWidth = -1;
    int m_fittedNewNameWidth = -1; // -1 unless the columns share the width
    bool m_shareWidth = false;
};
