#include "fileops/fileactions.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QStorageInfo>

#include <cerrno>

#include <sys/stat.h>
#include <unistd.h>

namespace fileops {

namespace {

const QString noTrash = QStringLiteral("la corbeille n'est pas disponible sur ce volume.");

QString sentence(QString text)
{
    text = text.trimmed();
    if (!text.endsWith(QLatin1Char('.')))
        text += QLatin1Char('.');
    return text;
}

// Makes `path` a folder (owner only) where missing, as Qt does for the Trash folders it
// picks: 0 when it is a folder now, else an errno saying why not.
int madeFolder(const QString& path)
{
    const QByteArray native = QFile::encodeName(path);
    const int made = ::mkdir(native.constData(), 0700) == 0 ? 0 : errno;
    struct stat st;
    if (::stat(native.constData(), &st) != 0)
        return made != 0 ? made : errno;
    return S_ISDIR(st.st_mode) ? 0 : ENOTDIR;
}

// The Trash folder QFile::moveToTrash picks for the file `path`, or none: the volume's
// $topdir/.Trash/$uid or $topdir/.Trash-$uid for a file off the home's volume, else
// $XDG_DATA_HOME/Trash.
std::optional<QString> trashFolderFor(const QString& path)
{
    const QStorageInfo volume(path);
    if (volume != QStorageInfo(QDir::home())) {
        const QString uid = QString::number(::getuid());
        const QDir root(volume.rootPath());
        const QString shared = root.filePath(QStringLiteral(".Trash"));
        struct stat st;
        // A shared Trash counts only as a sticky folder that is not a link.
        if (::lstat(QFile::encodeName(shared).constData(), &st) == 0 && S_ISDIR(st.st_mode) &&
            (st.st_mode & S_ISVTX) != 0 && madeFolder(shared + QLatin1Char('/') + uid) == 0)
            return shared + QLatin1Char('/') + uid;
        const QString own = root.filePath(QStringLiteral(".Trash-") + uid);
        if (madeFolder(own) == 0)
            return own;
    }
    const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    QDir().mkpath(data);
    const QString home = data + QStringLiteral("/Trash");
    if (madeFolder(home) == 0)
        return home;
    return std::nullopt;
}

// Why the Trash cannot take `path`, or nothing when it can. Qt 6.4 moves the file into
// "files/" of the current folder when it finds no Trash folder, and loops for ever when
// "info/" takes no file: both are ruled out here before it is called.
std::optional<QString> trashUnavailable(const QString& path)
{
    const std::optional<QString> trash = trashFolderFor(QFileInfo(path).absoluteFilePath());
    if (!trash)
        return noTrash;
    for (const char* part : {"/files", "/info"}) {
        const QString folder = *trash + QLatin1String(part);
        if (const int error = madeFolder(folder))
            return sentence(systemDescription(error));
        if (::access(QFile::encodeName(folder).constData(), W_OK | X_OK) != 0)
            return sentence(systemDescription(errno));
    }
    return std::nullopt;
}

} // namespace

QString trashFallbackQuestion(const QString& name, const QString& reason)
{
    return QStringLiteral("Impossible de mettre « %1 » à la corbeille : %2 Le supprimer "
                          "définitivement ?")
        .arg(name, reason);
}

RemovalResult removeOrTrash(const QString& path, const RemoveOptions& options,
                            const TrashFallback& deleteForGood)
{
    if (options.toTrash) {
        struct stat st;
        // What unlink refuses is refused before the Trash, which would take a folder whole.
        if (::lstat(QFile::encodeName(path).constData(), &st) != 0)
            return {Removal::Failed, FileResult::system(errno, path)};
        if (S_ISDIR(st.st_mode))
            return {Removal::Failed, FileResult::system(EISDIR, path)};
        std::optional<QString> reason = trashUnavailable(path);
        if (!reason) {
            QFile file(path);
            if (file.moveToTrash())
                return {Removal::Trashed, {}};
            const QString why = file.errorString();
            reason =
                why.isEmpty() || why == QLatin1String("Unknown error") ? noTrash : sentence(why);
        }
        if (!deleteForGood || !deleteForGood(path, *reason))
            return {Removal::Kept, {}};
    }
    const FileResult removed = removeFile(path);
    if (!removed.ok())
        return {Removal::Failed, removed};
    return {Removal::Deleted, {}};
}

FileResult copyReplacing(const QString& from, const QString& to)
{
    if (sameFile(from, to))
        return {Outcome::SameFile, 0, to};
    struct stat st;
    const QByteArray target = to.toLocal8Bit();
    // The program may run as root, for whom the permission bits stop nothing: a file the
    // user protected is refused here rather than replaced by the rename.
    if (::stat(target.constData(), &st) == 0 && S_ISREG(st.st_mode) &&
        (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0)
        return FileResult::system(EACCES, to);
    return copyFile(from, to, CopyMode::Replace);
}

ActionRun runAction(Action action, const QString& sourceFolder, const QStringList& names,
                    const QString& destinationFolder, const RemoveOptions& removal,
                    const TrashFallback& deleteForGood)
{
    const QString source = withSlash(sourceFolder);
    const QString destination = withSlash(destinationFolder);
    ActionRun run;
    for (const QString& name : names) {
        FileResult result;
        switch (action) {
        case Action::Copy:
            result = copyReplacing(source + name, destination + name);
            break;
        case Action::Move:
            result = renameNoReplace(source + name, destination + name);
            // Moving a file into its own folder finds its name taken, as any move onto an
            // existing name does.
            if (result.outcome == Outcome::Unchanged)
                result = FileResult::exists(destination + name);
            break;
        case Action::Delete: {
            const RemovalResult removed = removeOrTrash(source + name, removal, deleteForGood);
            if (removed.removal == Removal::Kept)
                continue;
            result = removed.failure;
            break;
        }
        }
        if (!result.ok()) {
            run.failure = result;
            return run;
        }
        ++run.done;
    }
    return run;
}

} // namespace fileops
