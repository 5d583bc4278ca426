#pragma once

#include <QString>
#include <QStringList>

#include <atomic>
#include <vector>

namespace lists {

// The files of one folder found by a walk, in the order the work list takes them.
struct FolderFiles
{
    QString folder; // ending with '/'
    QStringList names;
};

// A folder a walk could not read, with the system's description.
struct UnreadableFolder
{
    QString folder;
    QString description;
};

struct FolderWalk
{
    // Folders that hold at least one file, depth first: a folder's own files, then its
    // subfolders in name order (letter case ignored). Names are ordered as listFolder() does.
    std::vector<FolderFiles> folders;
    std::vector<UnreadableFolder> unreadable;
    bool cancelled = false;

    qsizetype fileCount() const;
};

// Lists the pictures that pass type filter `index` in `root` and every folder below it.
// Hidden folders (names starting with '.') are skipped and symbolic links to folders are
// never followed; links to files are taken as listFolder() takes them. `root` itself may be a
// link. Safe to run on any thread; `cancel`, when set, stops the walk early.
FolderWalk walkFolder(const QString& root, int index, const std::atomic_bool* cancel = nullptr);

// What a drop or the command line names: each folder walked as above, each regular file (or
// link to one) taken as it is, whatever its name; the rest left out. Files follow one another
// in the order given.
FolderWalk collectPaths(const QStringList& paths, int index,
                        const std::atomic_bool* cancel = nullptr);

// `folder` when it is an existing folder, else its nearest ancestor that is one (ending
// with '/'); "/" at worst.
QString nearestExistingFolder(const QString& folder);

// The message listing the folders a walk could not read.
QString unreadableFoldersText(const std::vector<UnreadableFolder>& folders);

} // namespace lists
