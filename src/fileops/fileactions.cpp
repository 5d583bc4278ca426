#include "fileops/fileactions.h"

#include <cerrno>

#include <sys/stat.h>

namespace fileops {

QString withSeparator(const QString& folder)
{
    return folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
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
                    const QString& destinationFolder)
{
    const QString source = withSeparator(sourceFolder);
    const QString destination = withSeparator(destinationFolder);
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
        case Action::Delete:
            result = removeFile(source + name);
            break;
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
