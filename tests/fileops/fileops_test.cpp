#include "fileops/fileops.h"

#include "filetestutil.h"
#include "secondfilesystem.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cerrno>
#include <sys/stat.h>

using namespace fileops;
namespace hook = fileops::testing;
using namespace Qt::StringLiterals;
using filetest::contents;
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

// Fails the given call, every time it is made, with `error`.
void failCall(hook::Call which, int error)
{
    hook::setFailureHook(
        [which, error](hook::Call call, const QString&) { return call == which ? error : 0; });
}

} // namespace

TEST_F(FileOps, RenameNeverReplacesAndRenamesInPlaceOrToAnotherFolder)
{
    ASSERT_TRUE(makeFile(at("a.jpg"), "A"));
    ASSERT_TRUE(makeFile(at("b.jpg"), "B"));

    const FileResult taken = renameNoReplace(at("a.jpg"), at("b.jpg"));
    EXPECT_EQ(taken.outcome, Outcome::Exists);
    EXPECT_EQ(taken.path, at("b.jpg"));
    EXPECT_EQ(contents(at("a.jpg")), "A");
    EXPECT_EQ(contents(at("b.jpg")), "B");
    EXPECT_TRUE(describe(taken).endsWith(at("b.jpg")));
    EXPECT_TRUE(describe(taken).startsWith(systemDescription(EEXIST)));

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

    const FileResult same = renameNoReplace(at("PLAGE.jpg"), at("PLAGE.jpg"));
    EXPECT_TRUE(same.ok());
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
    struct Row
    {
        QString from;
        QString to;
        int error;
        QString named;
    };
    const QString longName(300, QLatin1Char('n'));
    const Row rows[] = {
        {at("missing"), at("x"), ENOENT, at("missing")},
        {at("file"), at("file/x"), ENOTDIR, at("file/x")},
        {at("file"), at("nofolder/x"), ENOENT, at("nofolder/x")},
        {at("file"), at(longName), ENAMETOOLONG, at(longName)},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.to.toStdString());
        const FileResult result = renameNoReplace(row.from, row.to);
        EXPECT_EQ(result.outcome, Outcome::SystemError);
        EXPECT_EQ(result.error, row.error);
        EXPECT_EQ(result.path, row.named);
        EXPECT_EQ(describe(result), systemDescription(row.error) + u" : "_s + row.named);
    }
    EXPECT_EQ(contents(at("file")), "F");
}

TEST_F(FileOps, RenameFallsBackWhereTheNoReplaceFlagIsRefused)
{
    struct Row
    {
        const char* what;
        int linkError; // 0: links work
    };
    for (const Row& row : {Row{"link and unlink", 0}, Row{"no hard links", EPERM}}) {
        SCOPED_TRACE(row.what);
        hook::setFailureHook([&row](hook::Call call, const QString&) {
            if (call == hook::Call::Rename)
                return EINVAL;
            return call == hook::Call::Link ? row.linkError : 0;
        });
        ASSERT_TRUE(makeFile(at("a"), "A"));
        ASSERT_TRUE(makeFile(at("taken"), "T"));
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

    const FileResult kept = copyFile(at("src.png"), at("other.png"), CopyMode::NoReplace);
    EXPECT_EQ(kept.outcome, Outcome::Exists);
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
    ASSERT_TRUE(makeFile(at("src"), "SOURCE"));
    ASSERT_TRUE(makeFile(at("old"), "OLD"));
    for (hook::Call call : {hook::Call::Create, hook::Call::Write, hook::Call::SetTimes,
                            hook::Call::Sync, hook::Call::Rename}) {
        SCOPED_TRACE(static_cast<int>(call));
        failCall(call, EIO);
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
    const FileResult missing = removeFile(at("ro"));
    EXPECT_EQ(missing.error, ENOENT);
    EXPECT_EQ(missing.path, at("ro"));
}

TEST_F(FileOps, IdentityComparesFilesAndFolders)
{
    ASSERT_TRUE(QDir(folder).mkdir(u"real"_s));
    ASSERT_TRUE(QDir(folder).mkdir(u"Real2"_s));
    ASSERT_TRUE(QFile::link(at("real"), at("link")));
    ASSERT_TRUE(makeFile(at("real/f"), "F"));
    ASSERT_EQ(::link(QFile::encodeName(at("real/f")).constData(),
                     QFile::encodeName(at("real/hard")).constData()),
              0);
    struct Row
    {
        QString a;
        QString b;
        bool sameFolder;
    };
    const Row folders[] = {
        {at("real/"), at("real"), true},         {at("real/"), at("link/"), true},
        {at("real/"), at("Real2/"), false},      {at("real/"), at("Real/"), false},
        {at("none/"), at("real/../none"), true},
    };
    for (const Row& row : folders)
        EXPECT_EQ(sameFolder(row.a, row.b), row.sameFolder)
            << row.a.toStdString() << " " << row.b.toStdString();

    EXPECT_TRUE(sameFile(at("real/f"), at("link/f")));
    EXPECT_TRUE(sameFile(at("real/f"), at("real/hard")));
    EXPECT_FALSE(sameFile(at("real/f"), at("real/F")));
    EXPECT_TRUE(sameFile(at("real/new"), at("link/new")));
    EXPECT_FALSE(sameFile(at("real/new"), at("real/New")));
}

TEST_F(FileOps, ModificationTimeIsReadInLocalTime)
{
    const QDateTime midnight(QDate(2020, 1, 31), QTime(0, 0, 0));
    ASSERT_TRUE(makeFile(at("m"), "M", midnight));
    QDateTime read;
    EXPECT_TRUE(modificationTime(at("m"), &read).ok());
    EXPECT_EQ(read, midnight);
    EXPECT_EQ(modificationTime(at("gone"), &read).error, ENOENT);
}

TEST_F(FileOps, MoveToAnotherFileSystemCopiesSyncsKeepsTimeAndRemovesTheSource)
{
    SecondFileSystem other(folder);
    SKIP_WITHOUT_SECOND_FILE_SYSTEM(other);
    ASSERT_NE(SecondFileSystem::device(folder), SecondFileSystem::device(other.path()));

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
        failCall(call, EIO);
        const FileResult result = renameNoReplace(at("b.jpg"), other.path() + u"b.jpg"_s);
        EXPECT_EQ(result.error, EIO);
        EXPECT_EQ(contents(at("b.jpg")), "B");
        EXPECT_EQ(names(other.path()), QSet<QString>{u"moved.jpg"_s});
    }
}
