#pragma once

#include "convert/batchconversion.h"
#include "lists/worklist.h"
#include "rename/renameplan.h"
#include "rename/renamerequest.h"

#include <QDateTime>
#include <QObject>
#include <QString>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class QTimer;
class WorkListModel;

namespace renaming {

// Why a new name cannot be given as it is.
enum class NameMark : std::uint8_t
{
    None,
    Taken,      // another file, not renamed away by the run, has that name
    GivenTwice, // two entries of the list get that name
    Refused,    // the file system takes no such name
    Incorrect,  // the name rule makes no file name of the fields ("/" or NUL in it, "." or "..")
    // The picture has no valid date taken: its modification time is used. The run goes on.
    NoDateTaken,
};

// Whether the run refuses to start over a name with that mark.
bool blocksRun(NameMark mark);

// The reason shown with a mark; empty for None.
QString nameMarkText(NameMark mark);

// Everything the "Nouveau nom" column is made from, read once per refresh.
struct ColumnRequest
{
    std::vector<WorkEntry> entries;
    // The conversion's output names instead of the rename's new names.
    bool conversion = false;
    RenameOptions options;                         // rename: form, text, start, style, destination
    QDateTime clock;                               // the one clock reading of the refresh
    const convert::OutputFormat* format = nullptr; // conversion: nullptr shows no names
    convert::BatchSettings batch;
};

// One name per entry (without folder; empty where none is made) and its mark.
struct ColumnNames
{
    std::vector<QString> names;
    std::vector<NameMark> marks;
};

// Whether making the names reads the disk (the files' times): then they are made off the
// window's thread, with the marks.
bool namesReadDisk(const ColumnRequest& request);

// The names by the rules of the rename run (renaming::newName, numbered in list order) or of
// the batch conversion (its output name; empty for an entry it skips). A name the rule
// refuses is left empty and marked Refused; one made from the modification time where the date
// taken was asked for is marked NoDateTaken. Touches the disk only when namesReadDisk(). `stop`
// set ends early (the names are then incomplete).
ColumnNames columnNames(const ColumnRequest& request, const std::atomic<bool>* stop = nullptr);

// Adds the marks that need the disk: names taken on disk, given twice (as the target folder
// compares names), too long for their folder. For the conversion, the later of two entries
// with one output is skipped by the batch: its name is emptied and marked GivenTwice. `stop`
// set ends early (the marks are then incomplete).
void markNames(const ColumnRequest& request, ColumnNames& names,
               const std::atomic<bool>* stop = nullptr);

// Keeps a work-list model's "Nouveau nom" column up to date: refresh() makes the names on the
// calling thread and the marks on a worker; the last refresh wins (a result made for an
// earlier one is dropped). schedule() refreshes once the changes pause for `delayMs`.
class NewNamePreview : public QObject
{
    Q_OBJECT
public:
    using Source = std::function<ColumnRequest()>;
    // What the worker runs; markNames by default (tests put a slower or blocking one).
    using Marker =
        std::function<void(const ColumnRequest&, ColumnNames&, const std::atomic<bool>* stop)>;

    static constexpr int delayMs = 100;

    // The model outlives the preview.
    NewNamePreview(WorkListModel* model, Source source, QObject* parent = nullptr);
    ~NewNamePreview() override;

    void setMarker(Marker marker) { m_marker = std::move(marker); }
    // The number of the last refresh, counted from 1.
    std::uint64_t generation() const { return m_generation; }

public Q_SLOTS:
    void schedule();
    void refresh();

Q_SIGNALS:
    void namesShown(std::uint64_t generation);
    void marksShown(std::uint64_t generation);

private:
    void show(std::uint64_t generation, ColumnNames names, bool withMarks);

    WorkListModel* m_model;
    Source m_source;
    Marker m_marker;
    QTimer* m_timer;
    std::uint64_t m_generation = 0;
    // Set to stop the worker of the previous refresh.
    std::shared_ptr<std::atomic<bool>> m_stop;
};

} // namespace renaming
