#include "rename/renameengine.h"
#include "rename/renamejournal.h"

#include "fileops/fileops.h"
#include "filetestutil.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace renaming;
using namespace Qt::StringLiterals;
using filetest::makeFile;
using filetest::names;

namespace {

using Names = QSet<QString>;

// Runs a plan of `files` under a journal in `state`, then undoes it.
UndoReport runThenUndo(const QStringList& files, const RenameOptions& options, const QString& state)
{
    const RenamePlan plan = planRename(files, options, QDateTime::currentDateTime());
    EXPECT_FALSE(plan.refused());
    {
        RenameJournal journal(state); // its lock goes with it
        RunControls controls;
        controls.journal = &journal;
        EXPECT_TRUE(runPlan(plan, controls).complete());
    }
    return undoLastRename(state);
}

} // namespace

TEST(JournalForm, FirstFormIsStillUndone)
{
    QTemporaryDir dir;
    QTemporaryDir state;
    const QString folder = dir.path() + u'/';
    ASSERT_TRUE(makeFile(folder + u"new name.jpg"_s, "x"));
    const auto id = fileops::identityOf(folder + u"new name.jpg"_s);
    ASSERT_TRUE(id);
    const QByteArray at = QFile::encodeName(folder).toPercentEncoding("/");
    QFile old(state.path() + u"/rename-20250101-000000-000-1.journal"_s);
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("morvane-rename 1\nstarted 2025-01-01T00:00:00 1\nfile 3 " +
              QByteArray::number(quint64(id->device)) + ' ' +
              QByteArray::number(quint64(id->inode)) + ' ' + at + "old%20name.jpg " + at +
              "new%20name.jpg - -\n");
    old.close();

    const std::vector<JournalInfo> listed = listJournals(state.path());
    ASSERT_EQ(listed.size(), 1u);
    EXPECT_EQ(listed.front().files, 1);
    EXPECT_EQ(listed.front().state, JournalInfo::State::Interrupted);
    EXPECT_EQ(undoLastRename(state.path()).restored, 1);
    EXPECT_EQ(names(folder), Names{u"old name.jpg"_s});
}

TEST(JournalForm, SecondFormRoundTrips)
{
    QTemporaryDir dir;
    QTemporaryDir state;
    const QString own = dir.path() + u"/own/"_s;
    const QString dest = dir.path() + u"/dest/"_s;
    ASSERT_TRUE(QDir().mkpath(own) && QDir().mkpath(dest));
    const QStringList files{own + u"Plage.jpg"_s, own + u"mer é.jpg"_s, own + u"port.jpg"_s};
    for (const QString& file : files)
        ASSERT_TRUE(makeFile(file, "x"));

    // Into another folder with kept copies there under the old names.
    RenameOptions options;
    options.form = 10;
    options.dest = dest;
    options.keep = KeepCopy::Dest;
    UndoReport undo = runThenUndo(files, options, state.path());
    EXPECT_EQ(undo.restored, 3);
    EXPECT_EQ(undo.copiesRemoved, 3);
    EXPECT_EQ(names(own), Names({u"Plage.jpg"_s, u"mer é.jpg"_s, u"port.jpg"_s}));
    EXPECT_TRUE(names(dest).isEmpty());

    // In place, the first file keeping its name: the entries that follow are still found.
    options = {};
    options.form = 0;
    undo = runThenUndo(files, options, state.path());
    EXPECT_EQ(undo.restored, 2);
    EXPECT_TRUE(undo.leftAlone.isEmpty());
    EXPECT_EQ(names(own), Names({u"Plage.jpg"_s, u"mer é.jpg"_s, u"port.jpg"_s}));
}
