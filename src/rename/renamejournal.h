#pragma once

#include "fileops/fileops.h"
#include "rename/renameengine.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

namespace renaming {

// Where rename journals are kept: $XDG_STATE_HOME/Morvane, else ~/.local/state/Morvane.
QString journalFolder();

// The journal of one run: written and synced before the first change, with every file's
// identity, so that the run can be undone later, after a crash too, by finding each file
// under its old name, its new name or a temporary one. The run holds a lock on it while
// it goes; the last line marks how it ended.
class RenameJournal
{
public:
    explicit RenameJournal(QString folder = journalFolder());
    ~RenameJournal();
    RenameJournal(const RenameJournal&) = delete;
    RenameJournal& operator=(const RenameJournal&) = delete;

    // Writes the plan and syncs the file and its folder. The system's reason on failure.
    std::optional<QString> begin(const RenamePlan& plan);
    // The kept copy of an entry was made (not synced: a crash leaves size and time to tell).
    void copied(int entry, const fileops::FileIdentity& identity);
    // The file now stands on another file system under this identity, its copy synced.
    void movedAcross(int entry, const fileops::FileIdentity& identity);
    // How the run ended: complete, or put back (`stranded` when some files could not be).
    void finish(bool complete, bool stranded);

    QString path() const { return m_path; }

private:
    void append(const QByteArray& line, bool sync);

    QString m_folder;
    QString m_path;
    int m_fd = -1;
};

struct JournalInfo
{
    enum class State
    {
        Running,     // locked by a run going on now
        Interrupted, // neither marked nor locked: the run was cut short
        Complete,
        RolledBack, // the run put every file back itself
        Stranded,   // the run could not put every file back
        Undone,     // undone since
    };
    QString path;
    QDateTime started;
    int files = 0;
    State state = State::Running;
};

// The journals kept (the last 20 runs), newest first.
std::vector<JournalInfo> listJournals(const QString& folder = journalFolder());
QString stateText(JournalInfo::State state);

// The newest journal whose run was cut short, if any.
std::optional<JournalInfo> interruptedJournal(const QString& folder = journalFolder());

struct UndoReport
{
    std::optional<JournalInfo> journal; // none: nothing to undo
    std::optional<QString> error;       // the journal could not be read or locked
    int restored = 0;
    int copiesRemoved = 0;
    QStringList leftAlone; // one line per file left where it is, with the reason
};

// Undoes the newest run that was cut short, else the newest complete one: removes each kept
// copy the run made (same identity, size and modification time), then gives each file that
// is still the one renamed its old name back. Files changed or moved since are left alone.
UndoReport undoLastRename(const QString& folder = journalFolder());

} // namespace renaming
