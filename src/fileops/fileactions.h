#pragma once

#include "fileops/fileops.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

namespace fileops {

enum class Action
{
    Copy,
    Move,
    Delete
};

// What a copy, move or delete over several files did: the files done before the first
// failure, and that failure. The files after it are not touched.
struct ActionRun
{
    int done = 0;
    std::optional<FileResult> failure;
};

// How removeOrTrash() dealt with a file.
enum class Removal
{
    Deleted, // deleted for good
    Trashed, // moved to the Trash
    Kept,    // the Trash failed and the file was kept
    Failed,  // RemovalResult::failure says why
};

struct RemovalResult
{
    Removal removal = Removal::Deleted;
    FileResult failure;
    bool ok() const { return removal != Removal::Failed; }
};

struct RemoveOptions
{
    // Move the file to the Trash rather than delete it for good.
    bool toTrash = false;
};

// Asked when a file cannot be moved to the Trash, with its path and the reason (a sentence
// ending with a period): true deletes the file for good, false keeps it. Called on the
// thread of removeOrTrash().
using TrashFallback = std::function<bool(const QString& path, const QString& reason)>;

// Deletes the file `path` for good (removeFile), or with `options.toTrash` moves it to the
// freedesktop Trash that QFile::moveToTrash picks for it. Where the Trash cannot take it,
// `deleteForGood` decides; without one the file is kept. A folder is refused either way.
RemovalResult removeOrTrash(const QString& path, const RemoveOptions& options,
                            const TrashFallback& deleteForGood = {});

// The question asked when the file `name` cannot be moved to the Trash for `reason`.
QString trashFallbackQuestion(const QString& name, const QString& reason);

// Copies `from` to `to`, replacing a file of that name, through a temporary file. A target
// that is read-only (no write permission bit) is protected and never replaced, and a copy
// onto the source itself is refused.
FileResult copyReplacing(const QString& from, const QString& to);

// Runs `action` on the files `names` of `sourceFolder`, in order, into `destinationFolder`
// (copy and move; unused for delete). Copy replaces, move never replaces and works across
// file systems, delete removes read-only files too, or moves them to the Trash as
// removeOrTrash() does (a file kept there is skipped). Stops at the first failure.
ActionRun runAction(Action action, const QString& sourceFolder, const QStringList& names,
                    const QString& destinationFolder = {}, const RemoveOptions& removal = {},
                    const TrashFallback& deleteForGood = {});

} // namespace fileops
