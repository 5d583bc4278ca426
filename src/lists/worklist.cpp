#include "lists/worklist.h"

#include "lists/folderlisting.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <utility>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The folder's canonical spelling (symbolic links and ".." resolved), or its cleaned absolute
// spelling when it cannot be resolved; always ending with '/'.
QString canonicalFolder(const QString& folder)
{
    QString canonical = QFileInfo(folder).canonicalFilePath();
    if (canonical.isEmpty())
        canonical = QDir::cleanPath(QDir(folder).absolutePath());
    return lists::withSlash(canonical);
}

class FolderHandle
{
public:
    explicit FolderHandle(const QString& folder)
        : m_fd(::open(QFile::encodeName(folder).constData(), O_PATH | O_DIRECTORY | O_CLOEXEC))
    {
    }
    ~FolderHandle()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    FolderHandle(const FolderHandle&) = delete;
    FolderHandle& operator=(const FolderHandle&) = delete;

    // lstat of a name in the folder.
    bool stat(const QString& name, struct stat* info) const
    {
        return m_fd >= 0 &&
               ::fstatat(m_fd, QFile::encodeName(name).constData(), info, AT_SYMLINK_NOFOLLOW) == 0;
    }

private:
    int m_fd;
};

} // namespace

int WorkList::add(const QString& folder, const QStringList& names)
{
    if (names.isEmpty())
        return 0;
    const QString entryFolder = lists::withSlash(folder);
    const QString canonical = canonicalFolder(entryFolder);
    const FolderHandle handle(entryFolder);
    int added = 0;
    m_entries.reserve(m_entries.size() + std::size_t(names.size()));
    m_identities.reserve(m_entries.capacity());
    m_byInode.reserve(m_entries.capacity());
    m_byPath.reserve(m_entries.capacity());
    for (const QString& name : names) {
        Identity identity;
        identity.canonicalPath = canonical + name;
        struct stat info;
        if (handle.stat(name, &info)) {
            identity.known = true;
            identity.device = info.st_dev;
            identity.inode = info.st_ino;
        }
        const bool listed =
            (identity.known && m_byInode.contains({identity.device, identity.inode})) ||
            m_byPath.contains(identity.canonicalPath);
        if (!listed) {
            indexIdentity(identity);
            m_entries.push_back({entryFolder, name});
            m_identities.push_back(std::move(identity));
            ++added;
        }
        // Found in the list or just appended: either way the file is listed now.
        m_marker = true;
    }
    return added;
}

bool WorkList::remove(int row)
{
    if (row < 0 || row >= count())
        return false;
    // Identities are unique in the list (the duplicate rule), so the keys go with the row.
    const Identity& identity = m_identities[std::size_t(row)];
    if (identity.known)
        m_byInode.erase({identity.device, identity.inode});
    m_byPath.erase(identity.canonicalPath);
    m_entries.erase(m_entries.begin() + row);
    m_identities.erase(m_identities.begin() + row);
    m_marker = false;
    return true;
}

bool WorkList::moveUp(int row)
{
    return row > 0 && swapRows(row, row - 1);
}

bool WorkList::moveDown(int row)
{
    return row >= 0 && swapRows(row, row + 1);
}

bool WorkList::swapRows(int a, int b)
{
    if (a < 0 || b < 0 || a >= count() || b >= count())
        return false;
    std::swap(m_entries[std::size_t(a)], m_entries[std::size_t(b)]);
    std::swap(m_identities[std::size_t(a)], m_identities[std::size_t(b)]);
    return true;
}

void WorkList::clear()
{
    m_entries.clear();
    m_identities.clear();
    m_byInode.clear();
    m_byPath.clear();
    m_marker = false;
}

void WorkList::indexIdentity(const Identity& identity)
{
    if (identity.known)
        m_byInode.insert({identity.device, identity.inode});
    m_byPath.insert(identity.canonicalPath);
}

bool WorkList::isConsistent() const
{
    if (m_entries.size() != m_identities.size() || m_byPath.size() != m_entries.size())
        return false;
    std::size_t known = 0;
    for (std::size_t row = 0; row < m_entries.size(); ++row) {
        const WorkEntry& entry = m_entries[row];
        const Identity& identity = m_identities[row];
        if (!entry.folder.endsWith(QLatin1Char('/')) || entry.name.isEmpty() ||
            entry.name.contains(QLatin1Char('/')) || !m_byPath.contains(identity.canonicalPath))
            return false;
        if (identity.known) {
            ++known;
            if (!m_byInode.contains({identity.device, identity.inode}))
                return false;
        }
    }
    return known == m_byInode.size();
}
