#pragma once

#include "fileops/fileops.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <unordered_set>
#include <vector>

// One file of the work list: its folder (ending with '/') and its name with extension.
struct WorkEntry
{
    QString folder;
    QString name;

    QString path() const { return folder + name; }
    friend bool operator==(const WorkEntry&, const WorkEntry&) = default;
};

// The work list's entries in their order (engine; the view LV2 shows them). Additions skip
// files already listed, compared by file identity.
class WorkList
{
public:
    // What the duplicate rule compares for one file.
    struct Identity
    {
        fileops::FileIdentity file; // device and inode, when known
        bool known = false;
        QString canonicalPath; // canonical folder + name, links in the name not followed
    };
    // Files of one folder with their identities, read from the disk by prepare() on any
    // thread, so that adding them only compares and appends.
    struct PreparedFolder
    {
        QString folder; // ending with '/'
        QStringList names;
        std::vector<Identity> identities; // parallel to names
    };
    static PreparedFolder prepare(const QString& folder, const QStringList& names);

    const std::vector<WorkEntry>& entries() const { return m_entries; }
    int count() const { return static_cast<int>(m_entries.size()); }
    bool isEmpty() const { return m_entries.empty(); }

    // Appends the files `names` of `folder`, in order, skipping each file that is already
    // listed: the same entry on disk (device and inode, links not followed), or, for a file
    // that cannot be examined, the same canonical path. Returns how many were appended.
    int add(const QString& folder, const QStringList& names);
    int add(const PreparedFolder& files);

    // False (and no change) when `row` is out of range.
    bool remove(int row);
    // Swap `row` with its neighbour; false (and no change) at the ends or out of range.
    bool moveUp(int row);
    bool moveDown(int row);
    void clear();

    // The outcome of the last duplicate check ("oui" when true): set by an addition that
    // examined at least one file, cleared by removing and emptying.
    bool marker() const { return m_marker; }
    void clearMarker() { m_marker = false; }

    // The entries, their identities and the look-up sets agree. For tests.
    bool isConsistent() const;

private:
    struct QStringHash
    {
        std::size_t operator()(const QString& text) const noexcept { return qHash(text); }
    };

    void indexIdentity(const Identity& identity);
    bool swapRows(int a, int b);

    std::vector<WorkEntry> m_entries;
    std::vector<Identity> m_identities; // parallel to m_entries
    std::unordered_set<fileops::FileIdentity, fileops::FileIdentityHash> m_byInode;
    std::unordered_set<QString, QStringHash> m_byPath;
    bool m_marker = false;
};
