#pragma once

#include <QString>

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
    const std::vector<WorkEntry>& entries() const { return m_entries; }
    int count() const { return static_cast<int>(m_entries.size()); }
    bool isEmpty() const { return m_entries.empty(); }

    // The rest of the interface (add, remove, move, clear) is built with the work list.

private:
    std::vector<WorkEntry> m_entries;
};
