#pragma once

#include "fileops/fileops.h"
#include "rename/nameforms.h"
#include "rename/namerule.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <atomic>
#include <optional>
#include <vector>

namespace renaming {

enum class KeepCopy
{
    None,
    Own,  // in the file's own folder (the window's "RepertCopieOriginal")
    Dest, // in the destination folder (the window's "RepertCopieDest")
};

// What a rename command asks for; the options stand in for the window's panel and settings.
struct RenameOptions
{
    int form = renaming::textForm;
    QString nameText = QStringLiteral("image");
    QString start = QStringLiteral("1");
    int format = renaming::autoStyle;
    QString dest; // empty: each file stays in its own folder
    KeepCopy keep = KeepCopy::None;
    // The forms' file date and time: the picture's date taken where it has a valid one,
    // else (and by default) the modification time.
    bool dateTaken = false;
    DateOrder dateOrder = DateOrder::DayMonthYear;
};

// One file of the run, with everything decided before the first change.
struct PlannedRename
{
    QString source; // as given
    QString target; // the new path; empty when no name could be made
    bool unchanged = false;
    // The kept copy's final place, and the name it has while the rename runs when it goes
    // back to the old name afterwards (the old path followed by "Temp").
    QString copyPath;
    QString copyTemporary;
    std::optional<fileops::FileIdentity> identity;
    // The target is on another file system: the file arrives there as a copy (a new inode).
    bool movesAcrossDevices = false;
    // The letter-case rule of the target's folder, probed once for the run.
    fileops::FolderCase targetCase = fileops::FolderCase::Unknown;
    // The entry whose old path is this one's target: it has to move first.
    int waitsFor = -1;
    QStringList conflicts;
};

struct RenamePlan
{
    std::vector<PlannedRename> entries;
    // A stop was asked for while the plan was made: it is incomplete and must not run.
    bool stopped = false;
    bool refused() const;
};

// Computes every target in the order given (running numbers follow that order) and checks
// the whole run against the disk without changing anything. `clock` is the one system time
// used by the forms that read it. `stop` set ends the check early (RenamePlan::stopped).
RenamePlan planRename(const QStringList& sources, const RenameOptions& options,
                      const QDateTime& clock, const std::atomic<bool>* stop = nullptr);

// One step of the execution. A cycle of names is broken by moving one of its files aside
// under a temporary name first and to its target last.
struct RenameStep
{
    enum class Kind
    {
        Whole,         // kept copy, rename, copy back to the old name
        AsideFirst,    // kept copy, rename to a temporary name
        FromTemporary, // temporary name to the target, copy back to the old name
    };
    int entry = 0;
    Kind kind = Kind::Whole;
};

// An order in which every target is free when its file moves; unchanged entries are left
// out. The plan must not be refused.
std::vector<RenameStep> executionOrder(const RenamePlan& plan);

// The prefix of the temporary names a cycle passes through, in the folder of the file.
inline constexpr char cycleTemporaryPrefix[] = ".morvane-cycle-";

} // namespace renaming
