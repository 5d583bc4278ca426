#pragma once

#include "convert/batchconversion.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

namespace convert {

// What the check before a run makes of an output that exists already.
enum class ExistingOutput
{
    Replace, // the window's batch: the output is replaced
    Refuse,  // a conflict
    Skip,    // the entry is skipped
};

struct PreflightRules
{
    ExistingOutput existing = ExistingOutput::Replace;
    // A source that cannot be found is a conflict; otherwise the run reports it per file.
    bool missingSourceIsConflict = true;
    // Each converted original is to be deleted: its folder must allow it. Otherwise a
    // deletion that fails is reported per file.
    bool originalsMustBeDeletable = false;
};

// One entry of the run as the check leaves it.
struct PreflightEntry
{
    BatchPlanItem item;
    QStringList conflicts;     // in the engine's words; empty when the entry may run
    bool skipExisting = false; // ExistingOutput::Skip and something stands at the output
};

// Checks the whole run before anything is written, in work-list order: sources missing (by
// the rules), folders, not regular files (a FIFO, a socket, a device) or given twice; two
// entries writing one output; an output folder missing or not writable; an output name or
// path longer than the system allows; an output that exists (any name: a file, a link, a
// dangling link), by the rules; a source folder from which the original cannot be deleted,
// by the rules. Changes nothing.
std::vector<PreflightEntry> preflightBatch(const QStringList& sources, const OutputFormat& target,
                                           const BatchSettings& settings,
                                           const PreflightRules& rules);

// How many entries have a conflict.
int conflictCount(const std::vector<PreflightEntry>& entries);

// One entry's conflicts as one line: "<source> : <conflict> ; <conflict>".
QString conflictLine(const PreflightEntry& entry);

namespace testing {
// Test support: when set, returns the errno that deleting a file from `folder` meets (0:
// allowed) instead of asking the system, where root passes every permission check.
// Defined only in a build with the tests.
using DeletionCheckHook = std::function<int(const QString& folder)>;
void setDeletionCheckHook(DeletionCheckHook hook);
} // namespace testing

} // namespace convert
