#include "fileops/fileops.h"

#include "filetestutil.h"
#include "secondfilesystem.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <tuple>

#include <sys/stat.h>
#include <unistd.h>

using namespace fileops;
namespace hook = fileops::testing;
using namespace Qt::StringLiterals;
using filetest::contents;
using filetest::failOn;
using filetest::makeFile;
using filetest::names;

namespace {

class FileOps : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        folder = m_dir.path() + u'/';
    }
    void TearDown() override { hook::setFailureHook({}); }

    QString at(const QString& name) const { return folder + name; }
    QString at(const char* name) const { return folder + QString::fromUtf8(name); }

    QTemporaryDir m_dir;
    QString folder;
};

mode_t modeOf(const QString& path)
{
    struct stat st;
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_mode & 07777 : 0;
}

} // namespace

TEST_F(FileOps, RenameNeverReplacesAndRenamesInPlaceOrToAnotherFolder)
{
    ASSERT_TRUE(makeFile(at("a.jpg"), "A") && makeFile(at("b.jpg"), "B"));
    const FileResult taken = renameNoReplace(at("a.jpg"), at("b.jpg"));
    EXPECT_EQ(taken.outcome, Outcome::Exists);
    EXPECT_EQ(QByteArray(contents(at("a.jpg")) + contents(at("b.jpg"))), "AB");
    EXPECT_EQ(describe(taken), systemDescription(EEXIST) + u" : "_s + at("b.jpg"));

    ASSERT_TRUE(QDir(folder).mkdir(u"sub"_s));
    EXPECT_TRUE(renameNoReplace(at("a.jpg"), at("sub/c.jpg")).ok());
    EXPECT_EQ(contents(at("sub/c.jpg")), "A");
    EXPECT_FALSE(QFile::exists(at("a.jpg")));
}

TEST_F(FileOps, RenameChangesLetterCaseAndLeavesOwnPathAlone)
{
    ASSERT_TRUE(makeFile(at("plage.jpg"), "P"));
    EXPECT_TRUE(renameNoReplace(at("plage.jpg"), at("PLAGE.jpg")).ok());
    EXPECT_EQ(names(folder), QSet<QString>{u"PLAGE.jpg"_s});

    EXPECT_TRUE(renameNoReplace(at("PLAGE.jpg"), at("PLAGE.jpg")).ok());
    EXPECT_EQ(contents(at("PLAGE.jpg")), "P");

    // The route taken where the file system ignores case: through a temporary name.
    EXPECT_TRUE(renameThroughTemporary(at("PLAGE.jpg"), at("Plage.jpg")).ok());
    EXPECT_EQ(names(folder), QSet<QString>{u"Plage.jpg"_s});
    ASSERT_TRUE(makeFile(at("x.jpg"), "X"));
    EXPECT_EQ(renameThroughTemporary(at("Plage.jpg"), at("x.jpg")).outcome, Outcome::Exists);
    EXPECT_EQ(names(folder), (QSet<QString>{u"Plage.jpg"_s, u"x.jpg"_s}));
}

TEST_F(FileOps, RenameFailuresCarryTheSystemsDescription)
{
    ASSERT_TRUE(makeFile(at("file"), "F"));
    const QString longName(300, QLatin1Char('n'));
    const std::tuple<QString, QString, int, QString> rows[] = {
        {at("missing"), at("x"), ENOENT, at("missing")},
        {at("file"), at("file/x"), ENOTDIR, at("file/x")},
        {at("file"), at("nofolder/x"), ENOENT, at("nofolder/x")},
        {at("file"), at(longName), ENAMETOOLONG, at(longName)},
    };
    for (const auto& [from, to, error, named] : rows) {
        const FileResult result = renameNoReplace(from, to);
        EXPECT_EQ(result.outcome, Outcome::SystemError) << to.toStdString();
        EXPECT_EQ(result.error, error);
        EXPECT_EQ(describe(result), systemDescription(error) + u" : "_s + named);
    }
    EXPECT_EQ(contents(at("file")), "F");
}

TEST_F(FileOps, RenameFallsBackWhereTheNoReplaceFlagIsRefused)
{
    for (const int linkError : {0, EPERM}) { // 0: link and unlink, else no hard links
        SCOPED_TRACE(linkError);
        hook::setFailureHook([linkError](hook::Call call, const QString&) {
            return call == hook::Call::Rename ? EINVAL : call == hook::Call::Link ? linkError : 0;
        });
        ASSERT_TRUE(makeFile(at("a"), "A") && makeFile(at("taken"), "T"));
        EXPECT_EQ(renameNoReplace(at("a"), at("taken")).outcome, Outcome::Exists);
        EXPECT_EQ(contents(at("taken")), "T");
        EXPECT_TRUE(renameNoReplace(at("a"), at("b")).ok());
        EXPECT_EQ(names(folder), (QSet<QString>{u"b"_s, u"taken"_s}));
        QFile::remove(at("b"));
        QFile::remove(at("taken"));
    }
}

TEST_F(FileOps, CopyKeepsTimeAndPermissionsAndNeverLosesATarget)
{
    const QDateTime old = filetest::stamp();
    ASSERT_TRUE(makeFile(at("src.png"), "SOURCE", old));
    ASSERT_EQ(::chmod(QFile::encodeName(at("src.png")).constData(), 0640), 0);
    ASSERT_TRUE(makeFile(at("other.png"), "OTHER"));

    EXPECT_TRUE(copyFile(at("src.png"), at("copy.png"), CopyMode::NoReplace).ok());
    EXPECT_EQ(contents(at("copy.png")), "SOURCE");
    EXPECT_EQ(filetest::modified(at("copy.png")), old);
    EXPECT_EQ(modeOf(at("copy.png")), 0640u);

    EXPECT_EQ(copyFile(at("src.png"), at("other.png"), CopyMode::NoReplace).outcome,
              Outcome::Exists);
    EXPECT_EQ(contents(at("other.png")), "OTHER");

    EXPECT_TRUE(copyFile(at("src.png"), at("other.png"), CopyMode::Replace).ok());
    EXPECT_EQ(contents(at("other.png")), "SOURCE");

    // Onto itself, by its own path or through a folder link: refused, never truncated.
    ASSERT_TRUE(QFile::link(folder, at("alias")));
    for (const QString& self : {at("src.png"), at("alias/src.png")}) {
        const FileResult onItself = copyFile(at("src.png"), self, CopyMode::Replace);
        EXPECT_EQ(onItself.outcome, Outcome::SameFile);
        EXPECT_TRUE(describe(onItself).contains(self));
    }
    EXPECT_EQ(contents(at("src.png")), "SOURCE");
    EXPECT_EQ(names(folder), (QSet<QString>{u"src.png"_s, u"copy.png"_s, u"other.png"_s}));
}

TEST_F(FileOps, FailedCopyLeavesNoPartialFile)
{
    ASSERT_TRUE(makeFile(at("src"), "SOURCE") && makeFile(at("old"), "OLD"));
    for (hook::Call call : {hook::Call::Create, hook::Call::Write, hook::Call::SetTimes,
                            hook::Call::Sync, hook::Call::Rename}) {
        SCOPED_TRACE(static_cast<int>(call));
        failOn(call, EIO);
        for (const CopyMode mode : {CopyMode::Replace, CopyMode::NoReplace}) {
            const QString target = at(mode == CopyMode::Replace ? u"old"_s : u"new"_s);
            const FileResult result = copyFile(at("src"), target, mode);
            EXPECT_EQ(result.outcome, Outcome::SystemError);
            EXPECT_EQ(result.error, EIO);
            EXPECT_EQ(names(folder), (QSet<QString>{u"src"_s, u"old"_s}));
            EXPECT_EQ(contents(at("old")), "OLD");
        }
    }
}

TEST_F(FileOps, RemoveDeletesReadOnlyFilesAndReportsFailures)
{
    ASSERT_TRUE(makeFile(at("ro"), "R"));
    ASSERT_EQ(::chmod(QFile::encodeName(at("ro")).constData(), 0444), 0);
    EXPECT_TRUE(removeFile(at("ro")).ok());
    EXPECT_FALSE(QFile::exists(at("ro")));
    EXPECT_EQ(describe(removeFile(at("ro"))), systemDescription(ENOENT) + u" : "_s + at("ro"));
}

TEST_F(FileOps, IdentityComparesFilesAndFolders)
{
    ASSERT_TRUE(QDir(folder).mkdir(u"real"_s));
    ASSERT_TRUE(QDir(folder).mkdir(u"Real2"_s));
    ASSERT_TRUE(QFile::link(at("real"), at("link")));
    ASSERT_TRUE(makeFile(at("real/f"), "F"));
    ASSERT_EQ(filetest::hardLink(at("real/f"), at("real/hard")), 0);
    const std::tuple<QString, QString, bool> folders[] = {
        {at("real/"), at("real"), true},         {at("real/"), at("link/"), true},
        {at("real/"), at("Real2/"), false},      {at("real/"), at("Real/"), false},
        {at("none/"), at("real/../none"), true},
    };
    for (const auto& [a, b, same] : folders)
        EXPECT_EQ(sameFolder(a, b), same) << a.toStdString() << " " << b.toStdString();

    EXPECT_TRUE(sameFile(at("real/f"), at("link/f")));
    EXPECT_TRUE(sameFile(at("real/f"), at("real/hard")));
    EXPECT_FALSE(sameFile(at("real/f"), at("real/F")));
    EXPECT_TRUE(sameFile(at("real/new"), at("link/new")));
    EXPECT_FALSE(sameFile(at("real/new"), at("real/New")));
}

// In a zone with daylight saving: the cheap conversion gives Qt's local date and time on both
// sides of a change, around midnight and outside the years the C library path takes, and a
// file's time is read in local time.
TEST_F(FileOps, ModificationTimeIsReadInLocalTime)
{
    const bool hadZone = qEnvironmentVariableIsSet("TZ");
    const QByteArray zone = qgetenv("TZ");
    qputenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3");
    readTimeZone();
    const qint64 springForward = 1616893200; // 2021-03-28 02:00 CET becomes 03:00 CEST
    const qint64 fallBack = 1635642000;      // 2021-10-31 03:00 CEST becomes 02:00 CET
    const qint64 newYear = 1609455600;       // 2021-01-01 00:00 CET
    const auto text = [](const QDateTime& time) { return time.toString(u"yyyy-MM-dd hh:mm:ss"_s); };
    EXPECT_EQ(localWallClock(springForward).time(), QTime(3, 0));
    for (const qint64 secs : {springForward - 1, springForward, fallBack - 1, fallBack, newYear - 1,
                              newYear, qint64(-86400), qint64(4102444800)})
        EXPECT_EQ(text(localWallClock(secs)), text(QDateTime::fromSecsSinceEpoch(secs))) << secs;

    const QDateTime midnight(QDate(2020, 1, 31), QTime(0, 0, 0));
    ASSERT_TRUE(makeFile(at("m"), "M", midnight));
    QDateTime read, wall, byFolder;
    EXPECT_TRUE(modificationTime(at("m"), &read).ok());
    EXPECT_EQ(read, midnight);
    EXPECT_EQ(modificationTime(at("gone"), &read).error, ENOENT);
    EXPECT_TRUE(modificationWallClock(at("m"), &wall).ok());
    EXPECT_EQ(text(wall), text(midnight));
    EXPECT_EQ(modificationWallClock(at("gone"), &wall).error, ENOENT);
    // Read through an opened folder: a file, a missing one, then a folder that cannot be opened.
    FolderWallClocks clocks;
    EXPECT_TRUE(clocks.read(at(""), u"m"_s, &byFolder).ok());
    EXPECT_EQ(byFolder, wall);
    EXPECT_EQ(clocks.read(at(""), u"gone"_s, &byFolder).error, ENOENT);
    EXPECT_EQ(clocks.read(at("m/"), u"x"_s, &byFolder).error, ENOTDIR);
    if (hadZone)
        qputenv("TZ", zone);
    else
        qunsetenv("TZ");
    readTimeZone();
}

TEST_F(FileOps, MoveToAnotherFileSystemCopiesSyncsKeepsTimeAndRemovesTheSource)
{
    SecondFileSystem other(folder);
    SKIP_WITHOUT_SECOND_FILE_SYSTEM(other);

    ASSERT_TRUE(makeFile(at("photo.jpg"), "PHOTO"));
    ASSERT_EQ(::chmod(QFile::encodeName(at("photo.jpg")).constData(), 0604), 0);
    EXPECT_TRUE(renameNoReplace(at("photo.jpg"), other.path() + u"moved.jpg"_s).ok());
    EXPECT_FALSE(QFile::exists(at("photo.jpg")));
    EXPECT_EQ(contents(other.path() + u"moved.jpg"_s), "PHOTO");
    EXPECT_EQ(filetest::modified(other.path() + u"moved.jpg"_s), filetest::stamp());
    EXPECT_EQ(modeOf(other.path() + u"moved.jpg"_s), 0604u);

    // A taken target, a failed sync and a source that cannot be removed leave the source
    // where it was and nothing behind in the destination.
    ASSERT_TRUE(makeFile(at("b.jpg"), "B"));
    EXPECT_EQ(renameNoReplace(at("b.jpg"), other.path() + u"moved.jpg"_s).outcome, Outcome::Exists);
    for (hook::Call call : {hook::Call::Sync, hook::Call::Unlink}) {
        failOn(call, EIO);
        const FileResult result = renameNoReplace(at("b.jpg"), other.path() + u"b.jpg"_s);
        EXPECT_EQ(result.error, EIO);
        EXPECT_EQ(contents(at("b.jpg")), "B");
        EXPECT_EQ(names(other.path()), QSet<QString>{u"moved.jpg"_s});
    }
}

TEST_F(FileOps, OnlyRegularFilesAreReadAndAFifoNeverBlocks)
{
    ASSERT_EQ(::mkfifo(QFile::encodeName(at("p.jpg")).constData(), 0644), 0);
    ASSERT_TRUE(makeFile(at("real.jpg"), "R"));
    ASSERT_TRUE(QFile::link(at("real.jpg"), at("link.jpg")));
    ASSERT_TRUE(QFile::link(at("gone.jpg"), at("dangling.jpg")));
    const std::tuple<QString, Outcome, int> rows[] = {
        {at("real.jpg"), Outcome::Ok, 0},
        {at("link.jpg"), Outcome::Ok, 0},
        {at("p.jpg"), Outcome::NotRegular, 0},
        {u"/dev/null"_s, Outcome::NotRegular, 0},
        {at("dangling.jpg"), Outcome::DanglingLink, ENOENT},
        {folder, Outcome::SystemError, EISDIR},
        {at("gone.jpg"), Outcome::SystemError, ENOENT},
    };
    for (const auto& [path, outcome, error] : rows) {
        const FileResult kind = checkRegularFile(path);
        EXPECT_EQ(kind.outcome, outcome) << path.toStdString();
        EXPECT_EQ(kind.error, error) << path.toStdString();
    }

    // A copy, or a move to another file system, of a FIFO ends at once and writes nothing.
    const QSet<QString> before = names(folder);
    const FileResult copied = copyFile(at("p.jpg"), at("copy.jpg"), CopyMode::NoReplace);
    EXPECT_EQ(copied.outcome, Outcome::NotRegular);
    EXPECT_EQ(describe(copied), at("p.jpg") + u" : ce n'est pas un fichier ordinaire"_s);
    SecondFileSystem other(folder);
    if (!other.path().isEmpty()) {
        EXPECT_EQ(moveAcrossFileSystems(at("p.jpg"), other.path() + u"p.jpg"_s).outcome,
                  Outcome::NotRegular);
        EXPECT_TRUE(names(other.path()).isEmpty());
    }
    // A stop request ends a copy between two reads, leaving nothing behind.
    const std::atomic<bool> stop{true};
    EXPECT_EQ(copyFile(at("real.jpg"), at("copy.jpg"), CopyMode::NoReplace, &stop).error,
              ECANCELED);
    EXPECT_EQ(names(folder), before);
}

TEST_F(FileOps, LinksMoveToAnotherFileSystemAsLinks)
{
    SecondFileSystem other(folder);
    SKIP_WITHOUT_SECOND_FILE_SYSTEM(other);
    ASSERT_TRUE(makeFile(at("photo.jpg"), "PHOTO"));
    ASSERT_TRUE(makeFile(other.path() + u"taken.jpg"_s, "T"));
    for (const char* name : {"l.jpg", "m.jpg"})
        ASSERT_TRUE(QFile::link(at("photo.jpg"), at(name)));

    EXPECT_TRUE(renameNoReplace(at("l.jpg"), other.path() + u"l.jpg"_s).ok());
    EXPECT_EQ(QFile::symLinkTarget(other.path() + u"l.jpg"_s), at("photo.jpg"));
    EXPECT_FALSE(identityOf(at("l.jpg")));
    EXPECT_EQ(contents(at("photo.jpg")), "PHOTO");

    // A taken name and a source link that cannot be removed leave the link where it was.
    EXPECT_EQ(renameNoReplace(at("m.jpg"), other.path() + u"taken.jpg"_s).outcome, Outcome::Exists);
    EXPECT_EQ(contents(other.path() + u"taken.jpg"_s), "T");
    failOn(hook::Call::Unlink, EIO);
    EXPECT_EQ(renameNoReplace(at("m.jpg"), other.path() + u"m.jpg"_s).error, EIO);
    EXPECT_EQ(QFile::symLinkTarget(at("m.jpg")), at("photo.jpg"));
    EXPECT_EQ(names(other.path()), (QSet<QString>{u"l.jpg"_s, u"taken.jpg"_s}));
}

// The case rule is decided by name look-up. The stand-in plays a folder that ignores case
// and gives each spelling an inode of its own (FAT through FUSE); where the environment
// names a folder on a real case-insensitive volume, the rule is also checked there.
TEST_F(FileOps, CaseProbeDecidesByNameLookup)
{
    ASSERT_TRUE(makeFile(at("Photo.jpg"), "P"));
    const std::array<timespec, 2> old{timespec{1183480000, 0}, timespec{1183480000, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(folder).constData(), old.data(), 0), 0);
    EXPECT_FALSE(folderIgnoresCase(folder));
    EXPECT_EQ(names(folder), QSet<QString>{u"Photo.jpg"_s}); // the probe is gone
    EXPECT_EQ(filetest::modified(folder).toSecsSinceEpoch(), 1183480000);

    hook::setNameLookup([this](const QString& path) -> std::optional<FileIdentity> {
        const QString name = path.mid(path.lastIndexOf(u'/') + 1);
        if (!QDir(folder).entryList(QDir::Files | QDir::Hidden).contains(name, Qt::CaseInsensitive))
            return std::nullopt;
        return FileIdentity{1, static_cast<ino_t>(qHash(name))};
    });
    EXPECT_TRUE(folderIgnoresCase(folder));
    // A folder that cannot be written: an existing name's other spelling tells.
    failOn(hook::Call::Create, EACCES);
    EXPECT_TRUE(folderIgnoresCase(folder));
    hook::setNameLookup({});
    EXPECT_FALSE(folderIgnoresCase(folder));
    ASSERT_TRUE(QDir(folder).mkdir(u"empty"_s));
    EXPECT_TRUE(folderIgnoresCase(at("empty"))); // nothing to ask: the safe answer
    hook::setFailureHook({});

    const QByteArray volume = qgetenv("MORVANE_TEST_CASE_INSENSITIVE_DIR");
    if (volume.isEmpty())
        return;
    QTemporaryDir onVolume(QFile::decodeName(volume) + u"/case-XXXXXX"_s);
    ASSERT_TRUE(onVolume.isValid());
    folder = onVolume.path() + u'/';
    ASSERT_TRUE(makeFile(at("a.jpg"), "A") && makeFile(at("b.jpg"), "B"));
    EXPECT_TRUE(folderIgnoresCase(folder));
    EXPECT_TRUE(renameNoReplace(at("a.jpg"), at("A.JPG")).ok());
    EXPECT_EQ(renameNoReplace(at("b.jpg"), at("a.jpg")).outcome, Outcome::Exists);
    EXPECT_EQ(names(folder), (QSet<QString>{u"A.JPG"_s, u"b.jpg"_s}));
    EXPECT_EQ(QByteArray(contents(at("A.JPG")) + contents(at("b.jpg"))), "AB");
}
