#include "lists/worklist.h"

#include "fileops/fileops.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
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
    return fileops::withSlash(canonical);
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

WorkList::PreparedFolder WorkList::prepare(const QString& folder, const QStringList& names)
{
    PreparedFolder prepared{fileops::withSlash(folder), names, {}};
    if (names.isEmpty())
        return prepared;
    const QString canonical = canonicalFolder(prepared.folder);
    const FolderHandle handle(prepared.folder);
    prepared.identities.reserve(std::size_t(names.size()));
    for (const QString& name : names) {
        Identity& identity = prepared.identities.emplace_back();
        identity.canonicalPath = canonical + name;
        struct stat info;
        if (handle.stat(name, &info)) {
            identity.known = true;
            identity.file = {info.st_dev, info.st_ino};
        }
    }
    return prepared;
}

int WorkList::add(const QString& folder, const QStringList& names)
{
    return add(prepare(folder, names));
}

int WorkList::add(const PreparedFolder& files)
{
    if (files.names.isEmpty() || std::size_t(files.names.size()) != files.identities.size())
        return 0;
    int added = 0;
    // Grown geometrically: a tree of many small folders is added one folder at a time.
    const std::size_t wanted = m_entries.size() + files.identities.size();
    if (wanted > m_entries.capacity()) {
        const std::size_t room = std::max(wanted, 2 * m_entries.capacity());
        m_entries.reserve(room);
        m_identities.reserve(room);
        m_byInode.reserve(room);
        m_byPath.reserve(room);
    }
    for (std::size_t i = 0; i < files.identities.size(); ++i) {
        const Identity& identity = files.identities[i];
        const bool listed = (identity.known && m_byInode.contains(identity.file)) ||
                            m_byPath.contains(identity.canonicalPath);
        if (!listed) {
            indexIdentity(identity);
            m_entries.push_back({files.folder, files.names[qsizetype(i)]});
            m_identities.push_back(identity);
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
        m_byInode.erase(identity.file);
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
        m_byInode.insert(identity.file);
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
            if (!m_byInode.contains(identity.file))
                return false;
        }
    }
    return known == m_byInode.size();
}
