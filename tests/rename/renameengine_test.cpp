#include "rename/renameengine.h"
#include "rename/renamejournal.h"

#include "fileops/fileops.h"
#include "filetestutil.h"
#include "secondfilesystem.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cerrno>
#include <optional>
#include <tuple>

#include <sys/stat.h>

using namespace renaming;
using namespace Qt::StringLiterals;
using filetest::contents;
using filetest::makeFile;
using filetest::names;

namespace {

using Names = QSet<QString>;
using Result = EntryRun::Result;

class RenameEngine : public ::testing::Test
{
protected:
    void SetUp() override { reset(); }
    void TearDown() override { fileops::testing::setFailureHook({}); }

    // A new folder, in the system's temporary folder or from `pattern`, and default options.
    void reset(const QString& pattern = {})
    {
        pattern.isEmpty() ? m_dir.emplace() : m_dir.emplace(pattern);
        ASSERT_TRUE(m_dir->isValid());
        dir = m_dir->path() + u'/';
        options = {};
    }

    // Makes the files (content: the name; a trailing '/' makes a folder).
    void make(const QStringList& files)
    {
        for (const QString& file : files) {
            ASSERT_TRUE(QDir().mkpath(QFileInfo(dir + file).path()));
            ASSERT_TRUE(file.endsWith(u'/') || makeFile(dir + file, file.toUtf8()));
        }
    }

    RenamePlan plan(QStringList files)
    {
        for (QString& file : files)
            file.prepend(dir);
        return planRename(files, options, QDateTime(QDate(2008, 2, 12), QTime(20, 59, 43)));
    }

    RunReport run(const QStringList& files, const RunControls& controls = {})
    {
        const RenamePlan made = plan(files);
        for (const PlannedRename& entry : made.entries)
            EXPECT_TRUE(entry.conflicts.isEmpty()) << entry.conflicts.join(u" ; "_s).toStdString();
        return made.refused() ? RunReport{} : runPlan(made, controls);
    }

    static QStringList split(const char* names)
    {
        return QString::fromUtf8(names).split(u' ', Qt::SkipEmptyParts);
    }

    std::optional<QTemporaryDir> m_dir;
    QString dir;
    RenameOptions options;
};

} // namespace

// The plan's part of a name: the clock it was given, each file's time, and the number from the
// start text, padded to the style, by position in the list.
TEST_F(RenameEngine, ClockFileTimesAndNumbers)
{
    const std::tuple<int, int, const char*, const char*> rows[] = {
        {2, autoStyle, "a.jpg", "(12-02-2008)a.jpg"},
        {18, 1, "a.jpg b.jpg", "[03-07-2007][18.45.12]09.jpg [03-07-2007][18.45.12]10.jpg"},
        {20, 0, "a.jpg b.png", "vac9.jpg vac10.png"},
    };
    for (const auto& [form, format, files, targets] : rows) {
        reset();
        make(split(files));
        options.form = form;
        options.nameText = u"vac"_s;
        options.start = u"9"_s;
        options.format = format;
        const RenamePlan made = plan(split(files));
        ASSERT_FALSE(made.refused());
        for (std::size_t i = 0; i < made.entries.size(); ++i)
            EXPECT_EQ(made.entries[i].target, dir + split(targets).value(qsizetype(i))) << form;
    }
}

// The window's table of copy settings for Plage.JPG renamed to image01.JPG; a second file
// in another folder gives the run its numbering.
TEST_F(RenameEngine, KeptCopies)
{
    const std::tuple<const char*, KeepCopy, bool, Names, Names> rows[] = {
        {"no copy", KeepCopy::None, false, {u"image01.JPG"_s}, {}},
        {"no copy, dest", KeepCopy::None, true, {}, {u"image01.JPG"_s}},
        {"dest copy, own", KeepCopy::Dest, false, {u"Plage.JPG"_s, u"image01.JPG"_s}, {}},
        {"dest copy, dest", KeepCopy::Dest, true, {}, {u"Plage.JPG"_s, u"image01.JPG"_s}},
        {"own copy, dest", KeepCopy::Own, true, {u"Plage.JPG"_s}, {u"image01.JPG"_s}},
        {"own copy, own", KeepCopy::Own, false, {u"Plage.JPG"_s, u"image01.JPG"_s}, {}},
    };
    for (const auto& [what, keep, toDest, own, inDest] : rows) {
        SCOPED_TRACE(what);
        reset();
        make({u"own/Plage.JPG"_s, u"other/z.JPG"_s, u"dest/"_s});
        options.format = 1;
        options.keep = keep;
        options.dest = toDest ? dir + u"dest"_s : QString();
        ASSERT_TRUE(run({u"own/Plage.JPG"_s, u"other/z.JPG"_s}).complete());
        EXPECT_EQ(names(dir + u"own"_s), own);
        EXPECT_EQ(names(dir + u"dest"_s) - Names({u"image02.JPG"_s, u"z.JPG"_s}), inDest);
        const QString renamed = dir + (toDest ? u"dest/"_s : u"own/"_s) + u"image01.JPG"_s;
        EXPECT_EQ(contents(renamed), "own/Plage.JPG");
        EXPECT_EQ(filetest::modified(renamed), filetest::stamp());
    }
}

TEST_F(RenameEngine, ConflictsRefuseThePlan)
{
    struct Row
    {
        const char* make;
        const char* files;
        int at; // the entry that conflicts
        const char* message;
        int form = 10;
        KeepCopy keep = KeepCopy::None;
        const char* dest = "";
        QString text = u"image"_s;
    };
    constexpr KeepCopy none = KeepCopy::None, own = KeepCopy::Own, toDest = KeepCopy::Dest;
    const Row rows[] = {
        {"a.jpg", "a.jpg ./a.jpg", 1, "deux fois", 20},
        {"d1/a.jpg d2/a.jpg d/", "d1/a.jpg d2/a.jpg", 1, "Nom final A.jpg déjà pris", 10, none,
         "d"},
        {"a.jpg image.jpg", "a.jpg", 0, "existe déjà", 20},
        {"AB.jpg Ab.jpg", "AB.jpg Ab.jpg", 1, "garde son nom"},
        {"a.jpg a.jpgTemp", "a.jpg", 0, "a.jpgTemp existe déjà", 10, own}, // the copy's temporary
        {"image1.jpg image2.jpg", "image2.jpg image1.jpg", 1, "copie gardée", 20, own},
        {"a/Plage.JPG d/", "a/Plage.JPG", 0, "Plage.JPG", 0, toDest, "d"}, // the copy takes it
        {"a.jpg", "a.jpg", 0, "trop long", 20, none, "", QString(300, u'n')},
        {"a.jpg f", "a.jpg", 0, "introuvable", 10, none, "f/"}, // the destination is a file
        {"a.jpg", "a.jpg gone.jpg", 1, "introuvable"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.message);
        reset();
        make(split(row.make));
        options.form = row.form;
        options.nameText = row.text;
        options.keep = row.keep;
        options.dest = *row.dest ? dir + QString::fromUtf8(row.dest) : QString();
        const Names before = names(dir);
        const RenamePlan made = plan(split(row.files));
        ASSERT_TRUE(made.refused());
        const QString message =
            made.entries[static_cast<std::size_t>(row.at)].conflicts.join(u" ; "_s);
        EXPECT_TRUE(message.contains(QString::fromUtf8(row.message))) << message.toStdString();
        EXPECT_EQ(names(dir), before);
    }

    // A FIFO would block the kept copy, and a link to nothing fails the move.
    reset();
    make({u"a.jpg"_s});
    ASSERT_EQ(::mkfifo(QFile::encodeName(dir + u"p.jpg"_s).constData(), 0644), 0);
    ASSERT_TRUE(QFile::link(dir + u"gone.jpg"_s, dir + u"d.jpg"_s));
    options.form = 10;
    options.keep = KeepCopy::Own;
    // Two names of one file (a hard link) are one file given twice.
    ASSERT_EQ(filetest::hardLink(dir + u"a.jpg"_s, dir + u"b.jpg"_s), 0);
    const RenamePlan made = plan({u"a.jpg"_s, u"p.jpg"_s, u"d.jpg"_s, u"b.jpg"_s});
    EXPECT_TRUE(made.entries[1].conflicts.value(0).startsWith(fileops::notRegularText()));
    EXPECT_EQ(made.entries[2].conflicts, QStringList{u"Lien symbolique sans cible."_s});
    EXPECT_TRUE(made.entries[3].conflicts.value(0).contains(u"deux fois"_s));
}

// On a volume that ignores case (set by the test script where it can mount one), a name
// taken in another spelling is a conflict, and a change of case goes through.
TEST_F(RenameEngine, LetterCaseOnACaseInsensitiveVolume)
{
    const QString volume = qEnvironmentVariable("MORVANE_TEST_CASE_INSENSITIVE_DIR");
    if (volume.isEmpty())
        GTEST_SKIP() << "MORVANE_TEST_CASE_INSENSITIVE_DIR not set";
    reset(volume + u"/rename-XXXXXX"_s);
    make({u"image.jpg"_s, u"x.jpg"_s});
    options.nameText = u"IMAGE"_s;
    EXPECT_TRUE(plan({u"x.jpg"_s}).refused());
    options.form = 10;
    EXPECT_TRUE(run({u"x.jpg"_s}).complete());
    EXPECT_EQ(names(dir), Names({u"X.jpg"_s, u"image.jpg"_s}));
}

TEST_F(RenameEngine, ChainsAndCycles)
{
    const QStringList files{u"image1.jpg"_s, u"image2.jpg"_s, u"image3.jpg"_s};
    make(files);
    options.start = u"2"_s;
    EXPECT_TRUE(run(files).complete());
    EXPECT_EQ(contents(dir + u"image2.jpg"_s), "image1.jpg");
    EXPECT_EQ(contents(dir + u"image4.jpg"_s), "image3.jpg");

    // A cycle of three names, through a temporary name that does not stay behind.
    EXPECT_TRUE(run({u"image4.jpg"_s, u"image2.jpg"_s, u"image3.jpg"_s}).complete());
    EXPECT_EQ(names(dir), Names({u"image2.jpg"_s, u"image3.jpg"_s, u"image4.jpg"_s}));
    EXPECT_EQ(contents(dir + u"image2.jpg"_s), "image3.jpg");
    EXPECT_EQ(contents(dir + u"image3.jpg"_s), "image1.jpg");
}

// A failed step, a cancel and a failed way back, each half way through a run with copies.
TEST_F(RenameEngine, AnUnfinishedRunPutsEveryFileBack)
{
    const QStringList files{u"a.jpg"_s, u"b.jpg"_s, u"c.jpg"_s, u"d.jpg"_s};
    options.keep = KeepCopy::Own;
    make(files);
    const Names before = names(dir);
    filetest::failOn(fileops::testing::Call::Rename, EIO, {u"/c.jpg"_s});
    RunReport report = run(files);
    std::vector<Result> results;
    for (const EntryRun& entry : report.entries)
        results.push_back(entry.result);
    EXPECT_EQ(results,
              (std::vector{Result::Undone, Result::Undone, Result::Failed, Result::NotRun}));
    EXPECT_EQ(report.entries[2].error, EIO);
    EXPECT_EQ(names(dir), before);

    fileops::testing::setFailureHook({});
    std::atomic<bool> cancel{false};
    report = run(files, {.cancel = &cancel, .progress = [&cancel](int done, int, const QString&) {
                             cancel = done == 2;
                         }});
    EXPECT_TRUE(report.cancelled);
    EXPECT_EQ(report.undone, 2);
    EXPECT_EQ(names(dir), before);

    // The way back of b.jpg fails: it is reported where it stays.
    options.keep = KeepCopy::None;
    filetest::failOn(fileops::testing::Call::Rename, EIO, {u"/c.jpg"_s, u"/image2.jpg"_s});
    report = run(files);
    EXPECT_EQ(report.stranded, 1);
    EXPECT_EQ(report.entries[1].result, Result::Stranded);
    EXPECT_EQ(report.entries[1].fileAt, dir + u"image2.jpg"_s);
    EXPECT_EQ(names(dir), Names({u"a.jpg"_s, u"image2.jpg"_s, u"c.jpg"_s, u"d.jpg"_s}));
}

TEST_F(RenameEngine, DestinationOnAnotherFileSystem)
{
    SecondFileSystem other(dir);
    SKIP_WITHOUT_SECOND_FILE_SYSTEM(other);
    make({u"Plage.JPG"_s, u"Mer.JPG"_s});
    options.keep = KeepCopy::Own;
    options.dest = other.path();
    options.format = 1;
    ASSERT_TRUE(run({u"Plage.JPG"_s, u"Mer.JPG"_s}).complete());
    EXPECT_EQ(names(other.path()), Names({u"image01.JPG"_s, u"image02.JPG"_s}));
    EXPECT_EQ(names(dir), Names({u"Plage.JPG"_s, u"Mer.JPG"_s}));
    EXPECT_EQ(filetest::modified(other.path() + u"image02.JPG"_s), filetest::stamp());
}

TEST_F(RenameEngine, JournalAndUndo)
{
    // A name that is not ASCII, with a space: written %XX in the journal, and found again.
    const QStringList files{u"a.jpg"_s, u"b é.jpg"_s, u"c.jpg"_s};
    make(files);
    options.keep = KeepCopy::Own;
    const Names before = names(dir);
    QTemporaryDir state;
    ASSERT_TRUE(makeFile(state.path() + u"/file"_s, "x"));
    {
        // A journal that cannot be written refuses the run before any change.
        RenameJournal blocked(state.path() + u"/file/Morvane"_s);
        RunControls controls;
        controls.journal = &blocked;
        const RunReport report = run(files, controls);
        ASSERT_TRUE(report.journalError);
        EXPECT_TRUE(report.journalError->startsWith(journalErrorText({})));
        EXPECT_EQ(names(dir), before);

        RenameJournal journal(state.path());
        controls.journal = &journal;
        const RenamePlan made = plan(files);
        for (const PlannedRename& entry : made.entries)
            EXPECT_EQ(entry.identity, fileops::identityOf(entry.source));
        ASSERT_TRUE(runPlan(made, controls).complete());
        EXPECT_TRUE(
            contents(journal.path())
                .contains(QByteArray(
                    ' ' + QFile::encodeName(dir + u"b é.jpg"_s).toPercentEncoding("/") + ' ')));
    }
    // c.jpg's file is moved away since: it and its kept copy are left alone.
    ASSERT_TRUE(QFile::rename(dir + u"image3.jpg"_s, dir + u"moved.jpg"_s));
    const UndoReport undo = undoLastRename(state.path());
    EXPECT_EQ(undo.restored, 2);
    EXPECT_EQ(undo.copiesRemoved, 2);
    EXPECT_EQ(undo.leftAlone.size(), 1);
    EXPECT_EQ(names(dir), Names({u"a.jpg"_s, u"b é.jpg"_s, u"c.jpg"_s, u"moved.jpg"_s}));
    EXPECT_EQ(contents(dir + u"a.jpg"_s), "a.jpg");
    EXPECT_EQ(listJournals(state.path()).front().state, JournalInfo::State::Complete);
}
