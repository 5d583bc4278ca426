#pragma once

#include "fileops/fileops.h"

#include <QString>
#include <QStringList>

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

// Copies `from` to `to`, replacing a file of that name, through a temporary file. A target
// that is read-only (no write permission bit) is protected and never replaced, and a copy
// onto the source itself is refused.
FileResult copyReplacing(const QString& from, const QString& to);

// Runs `action` on the files `names` of `sourceFolder`, in order, into `destinationFolder`
// (copy and move; unused for delete). Copy replaces, move never replaces and works across
// file systems, delete removes read-only files too. Stops at the first failure.
ActionRun runAction(Action action, const QString& sourceFolder, const QStringList& names,
                    const QString& destinationFolder = {});

// A folder text ending with exactly one '/'.
QString withSeparator(const QString& folder);

} // namespace fileops
