#pragma once

#include "lists/worklist.h"
#include "settings/settingsstore.h"

#include <QDateTime>
#include <QString>

#include <functional>
#include <optional>
#include <vector>

namespace renaming {

// What one rename run works on: the work list's entries in order, the panel's fields and
// the settings read once at the start.
struct RenameRequest
{
    std::vector<WorkEntry> entries;
    int form = 0;
    QString nameText;
    QString startNumber;
    SettingsSnapshot settings;
};

// Why a run does not start. Nothing has changed on disk when one is given.
enum class Refusal
{
    None,
    EmptyName,
    EmptyList,
    BadStartNumber
};

// The checks made before the confirmation, in their order. A start number is checked only
// where it is used: forms that number their names, with two or more entries.
Refusal check(const RenameRequest& request);
QString refusalText(Refusal refusal);

struct EntryResult
{
    enum class Status
    {
        Renamed,
        // The new name is the file's own path: neither copied nor renamed.
        Unchanged,
    };
    Status status = Status::Renamed;
    QString oldPath;
    QString newPath;
    // The kept copy of the original, where one was made (its final place).
    QString copyPath;
};

struct RenameFailure
{
    int index = 0;
    QString message;
};

struct RenameReport
{
    // The entries done, in order; on failure those before the failing one.
    std::vector<EntryResult> done;
    std::optional<RenameFailure> failure;
    bool ok() const { return !failure; }
};

using Clock = std::function<QDateTime()>;
// Called after each entry with the entries done and the total.
using Progress = std::function<void(int done, int total)>;

// Renames every entry in order by the request's form; stops at the first failure. Entries
// before it stay done. A kept copy made for the failing entry is removed again while the
// entry's file still stands under its old name. No file is ever replaced.
RenameReport runRename(const RenameRequest& request, const Clock& clock,
                       const Progress& progress = {});

} // namespace renaming
