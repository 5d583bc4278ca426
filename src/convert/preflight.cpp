#include "convert/preflight.h"

#include "fileops/fileops.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QMutex>
#include <QMutexLocker>

#include <algorithm>
#include <cerrno>
#include <unordered_map>

#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace convert {

namespace {

#ifdef MORVANE_TEST_HOOKS
QMutex hookMutex;
testing::DeletionCheckHook& deletionHook()
{
    static testing::DeletionCheckHook hook;
    return hook;
}
#endif

QString folderOf(const QString& path)
{
    return path.left(path.lastIndexOf(u'/') + 1);
}

QByteArray nativeFolder(const QString& folder)
{
    return QFile::encodeName(folder.isEmpty() ? u"."_s : folder);
}

struct OutputFolder
{
    bool isFolder = false;
    bool writable = false;
    long nameMax = 255;
    long pathMax = 4096;
};

OutputFolder examineOutputFolder(const QString& folder)
{
    const QByteArray native = nativeFolder(folder);
    OutputFolder info;
    struct stat st;
    info.isFolder = ::stat(native.constData(), &st) == 0 && S_ISDIR(st.st_mode);
    info.writable = info.isFolder && ::access(native.constData(), W_OK | X_OK) == 0;
    if (const long nameMax = ::pathconf(native.constData(), _PC_NAME_MAX); nameMax > 0)
        info.nameMax = nameMax;
    if (const long pathMax = ::pathconf(native.constData(), _PC_PATH_MAX); pathMax > 0)
        info.pathMax = pathMax;
    return info;
}

// 0 when the entry `source` may be deleted from its folder, else the errno it would meet:
// the folder must be writable and searchable (a read-only file system fails even for
// root), and in a sticky folder the file or the folder must be the caller's own.
int deletionError(const QString& source)
{
    const QString folder = folderOf(source);
#ifdef MORVANE_TEST_HOOKS
    {
        const QMutexLocker lock(&hookMutex);
        if (deletionHook())
            return deletionHook()(folder);
    }
#endif
    const QByteArray native = nativeFolder(folder);
    if (::access(native.constData(), W_OK | X_OK) != 0)
        return errno;
    struct stat dir;
    struct stat file;
    if (::stat(native.constData(), &dir) == 0 && (dir.st_mode & S_ISVTX) && ::geteuid() != 0 &&
        ::lstat(QFile::encodeName(source).constData(), &file) == 0 && file.st_uid != ::geteuid() &&
        dir.st_uid != ::geteuid())
        return EPERM;
    return 0;
}

} // namespace

std::vector<PreflightEntry> preflightBatch(const QStringList& sources, const OutputFormat& target,
                                           const BatchSettings& settings,
                                           const PreflightRules& rules)
{
    const std::vector<BatchPlanItem> items = planBatch(sources, target, settings);
    std::vector<PreflightEntry> plan(items.size());
    std::unordered_map<fileops::FileIdentity, int, fileops::FileIdentityHash> seen;
    QHash<QString, int> outputs; // case-folded output -> first entry writing it
    QHash<QString, OutputFolder> folders;
    QHash<QString, int> sourceFolders; // folder -> errno met deleting from it
    for (std::size_t i = 0; i < items.size(); ++i) {
        PreflightEntry& entry = plan[i];
        entry.item = items[i];
        const BatchPlanItem& item = entry.item;
        struct stat st;
        bool missing = false;
        if (::stat(QFile::encodeName(item.source).constData(), &st) != 0) {
            missing = rules.missingSourceIsConflict;
            if (missing)
                entry.conflicts.append(
                    u"Fichier introuvable (%1)."_s.arg(fileops::systemDescription(errno)));
        } else if (S_ISDIR(st.st_mode)) {
            entry.conflicts.append(u"C'est un dossier, pas un fichier."_s);
        } else if (!S_ISREG(st.st_mode)) {
            entry.conflicts.append(fileops::notRegularText());
        } else if (const auto id = fileops::identityOf(item.source)) {
            const auto [first, inserted] = seen.emplace(*id, static_cast<int>(i));
            if (!inserted)
                entry.conflicts.append(
                    u"Fichier donné deux fois (déjà en position %1 : %2)."_s.arg(first->second + 1)
                        .arg(sources.at(first->second)));
        }
        if (item.output.isEmpty())
            continue;
        const QString folded = item.output.toCaseFolded();
        if (item.status == Status::DestinationTaken) {
            const int other = outputs.value(folded, -1);
            entry.conflicts.append(
                other >= 0 ? u"Même fichier de sortie que %1."_s.arg(sources.at(other))
                           : u"Un autre fichier de la liste écrit déjà cette sortie."_s);
            continue;
        }
        outputs.insert(folded, static_cast<int>(i));

        const QString folderText = folderOf(item.output);
        auto folder = folders.find(folderText);
        if (folder == folders.end())
            folder = folders.insert(folderText, examineOutputFolder(folderText));
        if (!folder->isFolder) {
            entry.conflicts.append(u"Dossier de sortie introuvable : %1"_s.arg(folderText));
            continue;
        }
        if (!folder->writable) {
            entry.conflicts.append(u"Dossier de sortie protégé en écriture : %1"_s.arg(folderText));
            continue;
        }
        const QString name = item.output.mid(folderText.size());
        if (QFile::encodeName(name).size() > folder->nameMax) {
            entry.conflicts.append(u"Nom de sortie trop long : %1"_s.arg(name));
            continue;
        }
        // The output is written under a longer temporary name first.
        const qsizetype longest =
            QFile::encodeName(QFileInfo(stagingPath(item.output)).absoluteFilePath()).size();
        if (longest >= folder->pathMax) { // the limit counts the final NUL
            entry.conflicts.append(u"Chemin de sortie trop long : %1"_s.arg(item.output));
            continue;
        }
        // Any name counts, a dangling link included: lstat, never stat.
        if (fileops::identityOf(item.output)) {
            if (rules.existing == ExistingOutput::Refuse)
                entry.conflicts.append(
                    u"Le fichier %1 existe déjà (--existing refuse)."_s.arg(item.output));
            else if (rules.existing == ExistingOutput::Skip)
                entry.skipExisting = true;
        }
        // Converted and deleted by an earlier run: skipped like any other output already there.
        if (missing && entry.skipExisting)
            entry.conflicts.removeFirst();
        if (rules.originalsMustBeDeletable && settings.supOriginal == 1 && item.convert &&
            !item.outputIsSource && !entry.skipExisting && entry.conflicts.isEmpty()) {
            const QString sourceFolder = folderOf(item.source);
            auto known = sourceFolders.find(sourceFolder);
            if (known == sourceFolders.end())
                known = sourceFolders.insert(sourceFolder, deletionError(item.source));
            if (*known != 0)
                entry.conflicts.append(u"L'original ne peut pas être supprimé de %1 (%2)."_s.arg(
                    sourceFolder.isEmpty() ? u"."_s : sourceFolder,
                    fileops::systemDescription(*known)));
        }
    }
    return plan;
}

int conflictCount(const std::vector<PreflightEntry>& entries)
{
    int count = 0;
    for (const PreflightEntry& entry : entries) {
        if (!entry.conflicts.isEmpty())
            ++count;
    }
    return count;
}

QString conflictLine(const PreflightEntry& entry)
{
    return entry.item.source + u" : "_s + entry.conflicts.join(u" ; "_s);
}

#ifdef MORVANE_TEST_HOOKS
void testing::setDeletionCheckHook(DeletionCheckHook hook)
{
    const QMutexLocker lock(&hookMutex);
    deletionHook() = std::move(hook);
}
#endif

} // namespace convert
