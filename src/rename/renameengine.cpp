#include "rename/renameengine.h"

#include "fileops/fileops.h"
#include "rename/renamejournal.h"

#include <QFile>
#include <QHash>

#include <cerrno>

#include <fcntl.h>
#include <unistd.h>

namespace renaming {

namespace {

// The folders of a run, each opened once, so that each rename names its files relative to
// them: the names are encoded alone, and the system walks no path. A folder that cannot be
// opened is left to the rename by whole paths.
class FolderHandles
{
public:
    FolderHandles() = default;
    FolderHandles(const FolderHandles&) = delete;
    FolderHandles& operator=(const FolderHandles&) = delete;
    ~FolderHandles()
    {
        for (const int fd : std::as_const(m_fds)) {
            if (fd >= 0)
                ::close(fd);
        }
    }

    // The descriptor of `folder` (a path's text up to its last '/', included), AT_FDCWD for
    // none, -1 when it cannot be opened.
    int of(QStringView folder)
    {
        if (folder.isEmpty())
            return AT_FDCWD;
        if (m_lastFd != -2 && folder == QStringView(m_lastText))
            return m_lastFd;
        m_lastText = folder.toString();
        auto found = m_fds.constFind(m_lastText);
        if (found == m_fds.cend())
            found = m_fds.insert(m_lastText, ::open(QFile::encodeName(m_lastText).constData(),
                                                    O_PATH | O_DIRECTORY | O_CLOEXEC));
        m_lastFd = *found;
        return m_lastFd;
    }

private:
    QHash<QString, int> m_fds;
    QString m_lastText;
    int m_lastFd = -2; // none looked up yet
};

// Each change is logged in memory as it is made, so that a failure or a cancel puts every
// file back, in reverse order, without ever replacing a file.
class Transaction
{
public:
    Transaction(const RenamePlan& plan, const RunControls& controls)
        : m_plan(plan), m_controls(controls), m_state(plan.entries.size())
    {
        for (std::size_t i = 0; i < plan.entries.size(); ++i)
            m_state[i].fileAt = plan.entries[i].source;
    }

    RunReport run()
    {
        if (m_controls.journal) {
            if (const std::optional<QString> error = m_controls.journal->begin(m_plan)) {
                RunReport refused;
                refused.entries.resize(m_plan.entries.size());
                refused.journalError = journalErrorText(*error);
                return refused;
            }
        }
        const std::vector<RenameStep> steps = executionOrder(m_plan);
        // Most steps log one action (a kept copy adds two more): no regrowth on the way.
        m_log.reserve(steps.size());
        int total = 0;
        for (const RenameStep& step : steps)
            total += step.kind != RenameStep::Kind::AsideFirst;
        int done = 0;
        for (const RenameStep& step : steps) {
            if (cancelled())
                break;
            if (!perform(step)) {
                // A copy cut short by a cancel is no failure of the file.
                if (m_troubles.value(step.entry).failure.isEmpty())
                    break;
                m_failed = step.entry;
                break;
            }
            if (step.kind != RenameStep::Kind::AsideFirst) {
                ++done;
                if (m_controls.progress)
                    m_controls.progress(
                        done, total, m_plan.entries[static_cast<std::size_t>(step.entry)].source);
            }
        }
        const bool complete = m_failed < 0 && !cancelled();
        if (!complete)
            undo();
        RunReport result = report(complete);
        if (m_controls.journal)
            m_controls.journal->finish(complete, result.stranded > 0);
        return result;
    }

private:
    struct Action
    {
        int entry;
        bool isCopy;  // the kept copy, not the file itself
        bool created; // made by a copy (undone by removing it), else moved
        QString from;
        QString to;
        std::optional<fileops::FileIdentity> identity;
        fileops::FolderCase folderCase = fileops::FolderCase::Unknown;
    };
    // Kept small: one for each file of the run.
    struct State
    {
        QString fileAt;
        QString copyAt;
        int error = 0;
        bool touched = false;
    };
    // What went wrong with a file, kept aside: few files have any.
    struct Trouble
    {
        QString failure;
        QStringList undoFailures;
    };

    State& state(int entry) { return m_state[static_cast<std::size_t>(entry)]; }
    const PlannedRename& planned(int entry) const
    {
        return m_plan.entries[static_cast<std::size_t>(entry)];
    }
    bool cancelled() const { return m_controls.cancel && m_controls.cancel->load(); }

    bool fail(int entry, const fileops::FileResult& result)
    {
        if (result.error != ECANCELED || !cancelled()) {
            m_troubles[entry].failure = fileops::describe(result);
            state(entry).error = result.error;
        }
        return false;
    }

    bool copy(int entry)
    {
        const PlannedRename& p = planned(entry);
        if (p.copyPath.isEmpty())
            return true;
        const QString to = p.copyTemporary.isEmpty() ? p.copyPath : p.copyTemporary;
        const fileops::FileResult copied =
            fileops::copyFile(p.source, to, fileops::CopyMode::NoReplace, m_controls.cancel);
        if (!copied.ok())
            return fail(entry, copied);
        state(entry).touched = true;
        state(entry).copyAt = to;
        const std::optional<fileops::FileIdentity> made = fileops::identityOf(to);
        if (m_controls.journal && made)
            m_controls.journal->copied(entry, *made);
        m_log.push_back({entry, true, true, p.source, to, made, {}});
        return true;
    }

    bool move(int entry, bool isCopy, const QString& to)
    {
        State& s = state(entry);
        QString& at = isCopy ? s.copyAt : s.fileAt;
        const QString from = at;
        const PlannedRename& p = planned(entry);
        const fileops::FileResult moved = rename(from, to, p.targetCase);
        if (!moved.ok()) {
            // A rename through a temporary name that could not finish leaves the file there.
            if (!isCopy && !moved.path.isEmpty() && moved.path != from &&
                !fileops::identityOf(from) && p.identity &&
                fileops::identityOf(moved.path) == p.identity) {
                at = moved.path;
                s.touched = true;
                m_log.push_back({entry, false, false, from, moved.path, p.identity, p.targetCase});
            }
            return fail(entry, moved);
        }
        at = to;
        s.touched = true;
        // A rename keeps the inode; only a move to another file system makes a new one.
        const bool sameInode = !isCopy && !p.movesAcrossDevices && p.identity;
        const std::optional<fileops::FileIdentity> now =
            sameInode ? p.identity : fileops::identityOf(to);
        if (!isCopy && !sameInode && m_controls.journal && now)
            m_controls.journal->movedAcross(entry, *now);
        m_log.push_back({entry, isCopy, false, from, to, now, p.targetCase});
        return true;
    }

    fileops::FileResult rename(const QString& from, const QString& to,
                               fileops::FolderCase folderCase)
    {
        const qsizetype fromSlash = from.lastIndexOf(QLatin1Char('/'));
        const qsizetype toSlash = to.lastIndexOf(QLatin1Char('/'));
        const int fromFolder = m_folders.of(QStringView(from).left(fromSlash + 1));
        const int toFolder = m_folders.of(QStringView(to).left(toSlash + 1));
        if (fromFolder == -1 || toFolder == -1)
            return fileops::renameNoReplace(from, to, folderCase, m_controls.cancel);
        fileops::encodeNameInto(QStringView(from).mid(fromSlash + 1), m_fromName);
        fileops::encodeNameInto(QStringView(to).mid(toSlash + 1), m_toName);
        return fileops::renameNoReplace(fileops::NameAt{fromFolder, m_fromName.constData(), from},
                                        fileops::NameAt{toFolder, m_toName.constData(), to},
                                        folderCase, m_controls.cancel);
    }

    bool moveAside(int entry)
    {
        const QString& source = planned(entry).source;
        const QString folder = source.left(source.lastIndexOf(QLatin1Char('/')) + 1);
        const QString stem = folder + QLatin1String(cycleTemporaryPrefix) +
                             QString::number(::getpid()) + QLatin1Char('-') +
                             QString::number(entry);
        for (int attempt = 0; attempt < 100; ++attempt) {
            const QString temporary =
                attempt == 0 ? stem : stem + QLatin1Char('-') + QString::number(attempt);
            if (fileops::identityOf(temporary))
                continue;
            return move(entry, false, temporary);
        }
        return fail(entry, fileops::FileResult::system(EEXIST, stem));
    }

    bool perform(const RenameStep& step)
    {
        const PlannedRename& p = planned(step.entry);
        switch (step.kind) {
        case RenameStep::Kind::AsideFirst:
            return copy(step.entry) && moveAside(step.entry);
        case RenameStep::Kind::Whole:
            if (!copy(step.entry))
                return false;
            [[fallthrough]];
        case RenameStep::Kind::FromTemporary:
            if (!move(step.entry, false, p.target))
                return false;
            // The kept copy takes the old name again, once the file has left it.
            return p.copyTemporary.isEmpty() || move(step.entry, true, p.source);
        }
        return false;
    }

    // The way back is never cut short by a cancel.
    void undo()
    {
        for (auto action = m_log.rbegin(); action != m_log.rend(); ++action) {
            State& s = state(action->entry);
            QString& at = action->isCopy ? s.copyAt : s.fileAt;
            if (at != action->to || fileops::identityOf(action->to) != action->identity) {
                m_troubles[action->entry].undoFailures.append(
                    QStringLiteral("%1 n'est plus le fichier attendu").arg(action->to));
                continue;
            }
            const fileops::FileResult back =
                action->created
                    ? fileops::removeFile(action->to)
                    : fileops::renameNoReplace(action->to, action->from, action->folderCase);
            if (!back.ok()) {
                m_troubles[action->entry].undoFailures.append(fileops::describe(back));
                continue;
            }
            at = action->created ? QString() : action->from;
        }
    }

    RunReport report(bool complete)
    {
        RunReport report;
        report.failed = m_failed;
        report.cancelled = m_failed < 0 && cancelled();
        report.entries.resize(m_plan.entries.size());
        for (std::size_t i = 0; i < m_plan.entries.size(); ++i) {
            const PlannedRename& p = m_plan.entries[i];
            const State& s = m_state[i];
            const Trouble trouble = m_troubles.value(static_cast<int>(i));
            EntryRun& entry = report.entries[i];
            entry.fileAt = s.fileAt;
            entry.error = s.error;
            const bool back = s.fileAt == p.source && s.copyAt.isEmpty();
            if (p.unchanged) {
                entry.result = EntryRun::Result::Unchanged;
                entry.message = QStringLiteral("Nom inchangé.");
                ++report.unchanged;
            } else if (complete) {
                entry.result = EntryRun::Result::Renamed;
                ++report.renamed;
            } else if (!back) {
                entry.result = EntryRun::Result::Stranded;
                entry.copyAt = s.copyAt;
                entry.message = QStringLiteral("Le fichier est maintenant %1").arg(s.fileAt);
                if (!s.copyAt.isEmpty())
                    entry.message += QStringLiteral(" ; une copie reste sous %1").arg(s.copyAt);
                entry.message +=
                    QStringLiteral(" (") +
                    (trouble.failure.isEmpty() ? QString()
                                               : trouble.failure + QStringLiteral(" ; ")) +
                    trouble.undoFailures.join(QStringLiteral(" ; ")) + QStringLiteral(").");
                ++report.stranded;
            } else if (static_cast<int>(i) == m_failed) {
                entry.result = EntryRun::Result::Failed;
                entry.message = trouble.failure;
            } else if (s.touched) {
                entry.result = EntryRun::Result::Undone;
                entry.message = QStringLiteral("Remis sous son ancien nom.");
                ++report.undone;
            }
        }
        return report;
    }

    const RenamePlan& m_plan;
    const RunControls& m_controls;
    std::vector<State> m_state;
    QHash<int, Trouble> m_troubles;
    std::vector<Action> m_log;
    int m_failed = -1;
    FolderHandles m_folders;
    QByteArray m_fromName; // buffers of the names of the current rename
    QByteArray m_toName;
};

} // namespace

RunReport runPlan(const RenamePlan& plan, const RunControls& controls)
{
    return Transaction(plan, controls).run();
}

QString journalErrorText(const QString& reason)
{
    return QStringLiteral("Impossible d'écrire le journal de renommage : ") + reason;
}

} // namespace renaming
