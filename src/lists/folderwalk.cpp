#include "lists/folderwalk.h"

#include "fileops/fileops.h"
#include "lists/folderlisting.h"

#include <QDir>
#include <QFile>

#include <algorithm>
#include <cerrno>
#include <iterator>
#include <memory>
#include <string_view>
#include <unordered_set>
#include <utility>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace lists {

namespace {

struct DirCloser
{
    void operator()(DIR* dir) const { ::closedir(dir); }
};

// Names sorted by a case-folded key computed once per name, as listFolder() sorts them.
QStringList sortedNames(std::vector<std::pair<QString, QString>>& keyed)
{
    std::sort(keyed.begin(), keyed.end());
    QStringList names;
    names.reserve(qsizetype(keyed.size()));
    for (auto& [key, text] : keyed)
        names.push_back(std::move(text));
    return names;
}

class Walker
{
public:
    Walker(int index, const std::atomic_bool* cancel) : m_index(index), m_cancel(cancel) {}

    FolderWalk run(const QString& root)
    {
        std::vector<QString> pending{fileops::withSlash(root)};
        while (!pending.empty()) {
            if (m_cancel && m_cancel->load(std::memory_order_relaxed)) {
                m_walk.cancelled = true;
                break;
            }
            const QString folder = std::move(pending.back());
            pending.pop_back();
            std::vector<QString> subfolders = readFolder(folder);
            // Visited in name order: the stack takes them last first.
            for (auto it = subfolders.rbegin(); it != subfolders.rend(); ++it)
                pending.push_back(std::move(*it));
        }
        return std::move(m_walk);
    }

private:
    // Takes the folder's files and returns its subfolders in name order.
    std::vector<QString> readFolder(const QString& folder)
    {
        std::unique_ptr<DIR, DirCloser> dir(::opendir(QFile::encodeName(folder).constData()));
        if (!dir) {
            fail(folder, errno);
            return {};
        }
        const int dirFd = ::dirfd(dir.get());
        struct stat self;
        // A folder reached twice (a bind mount of an ancestor) is walked once.
        if (::fstat(dirFd, &self) == 0 && !m_seen.insert({self.st_dev, self.st_ino}).second)
            return {};

        std::vector<std::pair<QString, QString>> files;
        std::vector<std::pair<QString, QString>> subfolders;
        for (;;) {
            errno = 0; // readdir reports its failures through errno only
            const dirent* entry = ::readdir(dir.get());
            if (!entry) {
                if (errno != 0) {
                    fail(folder, errno);
                    return {};
                }
                break;
            }
            const std::string_view name(entry->d_name);
            if (name.empty() || name.front() == '.')
                continue; // hidden files and folders, "." and ".."
            // A name that is not valid UTF-8 cannot be named faithfully by a QString.
            const QUtf8StringView utf8(name.data(), qsizetype(name.size()));
            if (!utf8.isValidUtf8())
                continue;
            const Kind kind = kindOf(dirFd, entry);
            if (kind == Kind::Folder) {
                QString text = utf8.toString();
                QString key = text.toCaseFolded();
                subfolders.emplace_back(std::move(key), std::move(text));
            } else if (kind == Kind::File) {
                QString text = utf8.toString();
                if (!matchesTypeFilter(text, m_index))
                    continue;
                QString key = text.toCaseFolded();
                files.emplace_back(std::move(key), std::move(text));
            }
        }
        if (!files.empty())
            m_walk.folders.push_back({folder, sortedNames(files)});
        std::vector<QString> result;
        result.reserve(subfolders.size());
        for (const QString& name : sortedNames(subfolders))
            result.push_back(folder + name + QLatin1Char('/'));
        return result;
    }

    enum class Kind
    {
        Other,
        File,
        Folder
    };

    // Folders are taken as they are, never through a link; a link is taken only when it
    // leads to a regular file.
    static Kind kindOf(int dirFd, const dirent* entry)
    {
        switch (entry->d_type) {
        case DT_REG:
            return Kind::File;
        case DT_DIR:
            return Kind::Folder;
        case DT_LNK: {
            struct stat info;
            return ::fstatat(dirFd, entry->d_name, &info, 0) == 0 && S_ISREG(info.st_mode)
                       ? Kind::File
                       : Kind::Other;
        }
        case DT_UNKNOWN: {
            struct stat info;
            if (::fstatat(dirFd, entry->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0)
                return Kind::Other;
            if (S_ISDIR(info.st_mode))
                return Kind::Folder;
            if (S_ISLNK(info.st_mode))
                return ::fstatat(dirFd, entry->d_name, &info, 0) == 0 && S_ISREG(info.st_mode)
                           ? Kind::File
                           : Kind::Other;
            return S_ISREG(info.st_mode) ? Kind::File : Kind::Other;
        }
        default:
            return Kind::Other;
        }
    }

    void fail(const QString& folder, int error)
    {
        m_walk.unreadable.push_back({folder, qt_error_string(error)});
    }

    int m_index;
    const std::atomic_bool* m_cancel;
    FolderWalk m_walk;
    std::unordered_set<fileops::FileIdentity, fileops::FileIdentityHash> m_seen;
};

} // namespace

qsizetype FolderWalk::fileCount() const
{
    qsizetype count = 0;
    for (const FolderFiles& folder : folders)
        count += folder.names.size();
    return count;
}

FolderWalk walkFolder(const QString& root, int index, const std::atomic_bool* cancel)
{
    return Walker(index, cancel).run(root);
}

FolderWalk collectPaths(const QStringList& paths, int index, const std::atomic_bool* cancel)
{
    FolderWalk result;
    for (const QString& path : paths) {
        if (cancel && cancel->load(std::memory_order_relaxed)) {
            result.cancelled = true;
            break;
        }
        const QString absolute = QDir::cleanPath(QDir::current().absoluteFilePath(path));
        struct stat info;
        if (::stat(QFile::encodeName(absolute).constData(), &info) != 0)
            continue;
        if (S_ISDIR(info.st_mode)) {
            FolderWalk walk = walkFolder(absolute, index, cancel);
            std::move(walk.folders.begin(), walk.folders.end(), std::back_inserter(result.folders));
            std::move(walk.unreadable.begin(), walk.unreadable.end(),
                      std::back_inserter(result.unreadable));
            result.cancelled = walk.cancelled;
        } else if (S_ISREG(info.st_mode)) {
            const qsizetype slash = absolute.lastIndexOf(QLatin1Char('/'));
            const QString folder = absolute.left(slash + 1);
            QString name = absolute.mid(slash + 1);
            if (!result.folders.empty() && result.folders.back().folder == folder)
                result.folders.back().names.push_back(std::move(name));
            else
                result.folders.push_back({folder, {std::move(name)}});
        }
    }
    return result;
}

QString nearestExistingFolder(const QString& folder)
{
    QString path = QDir::cleanPath(folder);
    for (;;) {
        struct stat info;
        if (::stat(QFile::encodeName(path).constData(), &info) == 0 && S_ISDIR(info.st_mode))
            return fileops::withSlash(path);
        const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
        if (slash <= 0)
            return QStringLiteral("/");
        path.truncate(slash);
    }
}

QString unreadableFoldersText(const std::vector<UnreadableFolder>& folders)
{
    // A whole tree of unreadable folders would not fit on the screen.
    constexpr std::size_t shown = 12;
    QString text = QStringLiteral("Ces dossiers n'ont pas pu être lus, leurs images n'ont pas "
                                  "été ajoutées :");
    for (std::size_t i = 0; i < folders.size() && i < shown; ++i)
        text += QStringLiteral("\n%1 : %2").arg(folders[i].folder, folders[i].description);
    if (folders.size() > shown)
        text += QStringLiteral("\net %1 autre(s).").arg(folders.size() - shown);
    return text;
}

} // namespace lists
