#pragma once

#include "rename/renameplan.h"

#include <QString>

#include <atomic>
#include <functional>
#include <optional>
#include <vector>

namespace renaming {

class RenameJournal;

// Called on the running thread after each file reaches its new name: the files done, the
// total and the file's old path.
using RunProgress = std::function<void(int done, int total, const QString& source)>;

struct RunControls
{
    // Set from any thread: the run stops after the current step and puts every file back.
    const std::atomic<bool>* cancel = nullptr;
    RunProgress progress;
    // Written before the first change and told of every move to another file system; the
    // run refuses to start when it cannot be written. None: the run keeps no journal.
    RenameJournal* journal = nullptr;
};

// What became of one file of the plan.
struct EntryRun
{
    enum class Result
    {
        Renamed,
        Unchanged, // the new name was the old one: nothing done
        Undone,    // renamed, then put back when the run failed or was stopped
        Failed,    // the step that failed; the file is back under its old name
        NotRun,    // the run ended before this file
        Stranded,  // could not be put back: `fileAt` (and `copyAt`) say where it is
    };
    Result result = Result::NotRun;
    QString fileAt; // where the file is now
    QString copyAt; // a kept copy still on disk after a run that did not complete
    QString message;
    int error = 0; // the errno of a failure, 0 otherwise
};

struct RunReport
{
    std::vector<EntryRun> entries;
    int failed = -1; // the entry whose step failed
    bool cancelled = false;
    // The journal could not be written: nothing was changed.
    std::optional<QString> journalError;
    int renamed = 0;
    int unchanged = 0;
    int undone = 0;
    int stranded = 0;
    bool complete() const { return failed < 0 && !cancelled && !journalError; }
};

// Runs a plan that was not refused, in executionOrder(), without ever replacing a file. A
// failed step or a cancel puts every file back, in reverse order, and removes the kept
// copies made.
RunReport runPlan(const RenamePlan& plan, const RunControls& controls = {});

// The text of a journal that cannot be written, followed by the system's reason.
QString journalErrorText(const QString& reason);

} // namespace renaming
