#include "fileops/fileops.h"

#include "filetestutil.h"
#include "secondfilesystem.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cerrno>
#include <sys/stat.h>

using namespace fileops;
namespace hook = fileops::testing;
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
        folder = m_dir.path() + QLatin1Char('/');
    }
    void TearDown() override { hook::setFailureHook({}); }

    QString at(const QString& name) const { return folder + name; }

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
    ASSERT_TRUE(makeFile(at(QStringLiteral("a.jpg")), "A"));
    ASSERT_TRUE(makeFile(at(QStringLiteral("b.jpg")), "B"));

    const FileResult taken =
        renameNoReplace(at(QStringLiteral("a.jpg")), at(QStringLiteral("b.jpg")));
    EXPECT_EQ(taken.outcome, Outcome::Exists);
    EXPECT_EQ(taken.path, at(QStringLiteral("b.jpg")));
    EXPECT_EQ(contents(at(QStringLiteral("a.jpg"))), "A");
    EXPECT_EQ(contents(at(QStringLiteral("b.jpg"))), "B");
    EXPECT_TRUE(describe(taken).endsWith(at(QStringLiteral("b.jpg"))));
    EXPECT_TRUE(describe(taken).startsWith(systemDescription(EEXIST)));

    ASSERT_TRUE(QDir(folder).mkdir(QStringLiteral("sub")));
    EXPECT_TRUE(renameNoReplace(at(QStringLiteral("a.jpg")), at(QStringLiteral("sub/c.jpg"))).ok());
    EXPECT_EQ(contents(at(QStringLiteral("sub/c.jpg"))), "A");
    EXPECT_FALSE(QFile::exists(at(QStringLiteral("a.jpg"))));
}

TEST_F(FileOps, RenameChangesLetterCaseAndLeavesOwnPathAlone)
{
    ASSERT_TRUE(makeFile(at(QStringLiteral("plage.jpg")), "P"));
    EXPECT_TRUE(
        renameNoReplace(at(QStringLiteral("plage.jpg")), at(QStringLiteral("PLAGE.jpg"))).ok());
    EXPECT_EQ(names(folder), QSet<QString>{QStringLiteral("PLAGE.jpg")});

    const FileResult same =
        renameNoReplace(at(QStringLiteral("PLAGE.jpg")), at(QStringLiteral("PLAGE.jpg")));
    EXPECT_TRUE(same.ok());
    EXPECT_EQ(contents(at(QStringLiteral("PLAGE.jpg"))), "P");

    // The route taken where the file system ignores case: through a temporary name.
    EXPECT_TRUE(
        renameThroughTemporary(at(QStringLiteral("PLAGE.jpg")), at(QStringLiteral("Plage.jpg")))
            .ok());
    EXPECT_EQ(names(folder), QSet<QString>{QStringLiteral("Plage.jpg")});
    ASSERT_TRUE(makeFile(at(QStringLiteral("x.jpg")), "X"));
    EXPECT_EQ(renameThroughTemporary(at(QStringLiteral("Plage.jpg")), at(QStringLiteral("x.jpg")))
                  .outcome,
              Outcome::Exists);
    EXPECT_EQ(names(folder), (QSet<QString>{QStringLiteral("Plage.jpg"), QStringLiteral("x.jpg")}));
}

TEST_F(FileOps, RenameFailuresCarryTheSystemsDescription)
{
    ASSERT_TRUE(makeFile(at(QStringLiteral("file")), "F"));
    struct Row
    {
        QString from;
        QString to;
        int error;
        QString named;
    };
    const QString longName(300, QLatin1Char('n'));
    const Row rows[] = {
        {at(QStringLiteral("missing")), at(QStringLiteral("x")), ENOENT,
         at(QStringLiteral("missing"))},
        {at(QStringLiteral("file")), at(QStringLiteral("file/x")), ENOTDIR,
         at(QStringLiteral("file/x"))},
        {at(QStringLiteral("file")), at(QStringLiteral("nofolder/x")), ENOENT,
         at(QStringLiteral("nofolder/x"))},
        {at(QStringLiteral("file")), at(longName), ENAMETOOLONG, at(longName)},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.to.toStdString());
        const FileResult result = renameNoReplace(row.from, row.to);
        EXPECT_EQ(result.outcome, Outcome::SystemError);
        EXPECT_EQ(result.error, row.error);
        EXPECT_EQ(result.path, row.named);
        EXPECT_EQ(describe(result),
                  systemDescription(row.error) + QStringLiteral(" : ") + row.named);
    }
    EXPECT_EQ(contents(at(QStringLiteral("file"))), "F");
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
        ASSERT_TRUE(makeFile(at(QStringLiteral("a")), "A"));
        ASSERT_TRUE(makeFile(at(QStringLiteral("taken")), "T"));
        EXPECT_EQ(renameNoReplace(at(QStringLiteral("a")), at(QStringLiteral("taken"))).outcome,
                  Outcome::Exists);
        EXPECT_EQ(contents(at(QStringLiteral("taken"))), "T");
        EXPECT_TRUE(renameNoReplace(at(QStringLiteral("a")), at(QStringLiteral("b"))).ok());
        EXPECT_EQ(names(folder), (QSet<QString>{QStringLiteral("b"), QStringLiteral("taken")}));
        QFile::remove(at(QStringLiteral("b")));
        QFile::remove(at(QStringLiteral("taken")));
    }
}

TEST_F(FileOps, CopyKeepsTimeAndPermissionsAndNeverLosesATarget)
{
    const QDateTime old = filetest::stamp();
    ASSERT_TRUE(makeFile(at(QStringLiteral("src.png")), "SOURCE", old));
    ASSERT_EQ(::chmod(QFile::encodeName(at(QStringLiteral("src.png"))).constData(), 0640), 0);
    ASSERT_TRUE(makeFile(at(QStringLiteral("other.png")), "OTHER"));

    EXPECT_TRUE(
        copyFile(at(QStringLiteral("src.png")), at(QStringLiteral("copy.png")), CopyMode::NoReplace)
            .ok());
    EXPECT_EQ(contents(at(QStringLiteral("copy.png"))), "SOURCE");
    EXPECT_EQ(filetest::modified(at(QStringLiteral("copy.png"))), old);
    EXPECT_EQ(modeOf(at(QStringLiteral("copy.png"))), 0640u);

    const FileResult kept = copyFile(at(QStringLiteral("src.png")), at(QStringLiteral("other.png")),
                                     CopyMode::NoReplace);
    EXPECT_EQ(kept.outcome, Outcome::Exists);
    EXPECT_EQ(contents(at(QStringLiteral("other.png"))), "OTHER");

    EXPECT_TRUE(
        copyFile(at(QStringLiteral("src.png")), at(QStringLiteral("other.png")), CopyMode::Replace)
            .ok());
    EXPECT_EQ(contents(at(QStringLiteral("other.png"))), "SOURCE");

    // Onto itself, by its own path or through a folder link: refused, never truncated.
    ASSERT_TRUE(QFile::link(folder, at(QStringLiteral("alias"))));
    for (const QString& self :
         {at(QStringLiteral("src.png")), at(QStringLiteral("alias/src.png"))}) {
        const FileResult onItself =
            copyFile(at(QStringLiteral("src.png")), self, CopyMode::Replace);
        EXPECT_EQ(onItself.outcome, Outcome::SameFile);
        EXPECT_TRUE(describe(onItself).contains(self));
    }
    EXPECT_EQ(contents(at(QStringLiteral("src.png"))), "SOURCE");
    EXPECT_EQ(names(folder), (QSet<QString>{QStringLiteral("src.png"), QStringLiteral("copy.png"),
                                            QStringLiteral("other.png")}));
}

TEST_F(FileOps, FailedCopyLeavesNoPartialFile)
{
    ASSERT_TRUE(makeFile(at(QStringLiteral("src")), "SOURCE"));
    ASSERT_TRUE(makeFile(at(QStringLiteral("old")), "OLD"));
    for (hook::Call call : {hook::Call::Create, hook::Call::Write, hook::Call::SetTimes,
                            hook::Call::Sync, hook::Call::Rename}) {
        SCOPED_TRACE(static_cast<int>(call));
        failCall(call, EIO);
        for (const CopyMode mode : {CopyMode::Replace, CopyMode::NoReplace}) {
            const QString target =
                at(mode == CopyMode::Replace ? QStringLiteral("old") : QStringLiteral("new"));
            const FileResult result = copyFile(at(QStringLiteral("src")), target, mode);
            EXPECT_EQ(result.outcome, Outcome::SystemError);
            EXPECT_EQ(result.error, EIO);
            EXPECT_EQ(names(folder), (QSet<QString>{QStringLiteral("src"), QStringLiteral("old")}));
            EXPECT_EQ(contents(at(QStringLiteral("old"))), "OLD");
        }
    }
}

TEST_F(FileOps, RemoveDeletesReadOnlyFilesAndReportsFailures)
{
    ASSERT_TRUE(makeFile(at(QStringLiteral("ro")), "R"));
    ASSERT_EQ(::chmod(QFile::encodeName(at(QStringLiteral("ro"))).constData(), 0444), 0);
    EXPECT_TRUE(removeFile(at(QStringLiteral("ro"))).ok());
    EXPECT_FALSE(QFile::exists(at(QStringLiteral("ro"))));
    const FileResult missing = removeFile(at(QStringLiteral("ro")));
    EXPECT_EQ(missing.error, ENOENT);
    EXPECT_EQ(missing.path, at(QStringLiteral("ro")));
}

TEST_F(FileOps, IdentityComparesFilesAndFolders)
{
    ASSERT_TRUE(QDir(folder).mkdir(QStringLiteral("real")));
    ASSERT_TRUE(QDir(folder).mkdir(QStringLiteral("Real2")));
    ASSERT_TRUE(QFile::link(at(QStringLiteral("real")), at(QStringLiteral("link"))));
    ASSERT_TRUE(makeFile(at(QStringLiteral("real/f")), "F"));
    ASSERT_EQ(::link(QFile::encodeName(at(QStringLiteral("real/f"))).constData(),
                     QFile::encodeName(at(QStringLiteral("real/hard"))).constData()),
              0);
    struct Row
    {
        QString a;
        QString b;
        bool sameFolder;
    };
    const Row folders[] = {
        {at(QStringLiteral("real/")), at(QStringLiteral("real")), true},
        {at(QStringLiteral("real/")), at(QStringLiteral("link/")), true},
        {at(QStringLiteral("real/")), at(QStringLiteral("Real2/")), false},
        {at(QStringLiteral("real/")), at(QStringLiteral("Real/")), false},
        {at(QStringLiteral("none/")), at(QStringLiteral("real/../none")), true},
    };
    for (const Row& row : folders)
        EXPECT_EQ(sameFolder(row.a, row.b), row.sameFolder)
            << row.a.toStdString() << " " << row.b.toStdString();

    EXPECT_TRUE(sameFile(at(QStringLiteral("real/f")), at(QStringLiteral("link/f"))));
    EXPECT_TRUE(sameFile(at(QStringLiteral("real/f")), at(QStringLiteral("real/hard"))));
    EXPECT_FALSE(sameFile(at(QStringLiteral("real/f")), at(QStringLiteral("real/F"))));
    EXPECT_TRUE(sameFile(at(QStringLiteral("real/new")), at(QStringLiteral("link/new"))));
    EXPECT_FALSE(sameFile(at(QStringLiteral("real/new")), at(QStringLiteral("real/New"))));
}

TEST_F(FileOps, ModificationTimeIsReadInLocalTime)
{
    const QDateTime midnight(QDate(2020, 1, 31), QTime(0, 0, 0));
    ASSERT_TRUE(makeFile(at(QStringLiteral("m")), "M", midnight));
    QDateTime read;
    EXPECT_TRUE(modificationTime(at(QStringLiteral("m")), &read).ok());
    EXPECT_EQ(read, midnight);
    EXPECT_EQ(modificationTime(at(QStringLiteral("gone")), &read).error, ENOENT);
}

TEST_F(FileOps, MoveToAnotherFileSystemCopiesSyncsKeepsTimeAndRemovesTheSource)
{
    SecondFileSystem other(folder);
    SKIP_WITHOUT_SECOND_FILE_SYSTEM(other);
    ASSERT_NE(SecondFileSystem::device(folder), SecondFileSystem::device(other.path()));

    ASSERT_TRUE(makeFile(at(QStringLiteral("photo.jpg")), "PHOTO"));
    ASSERT_EQ(::chmod(QFile::encodeName(at(QStringLiteral("photo.jpg"))).constData(), 0604), 0);
    EXPECT_TRUE(
        renameNoReplace(at(QStringLiteral("photo.jpg")), other.path() + QStringLiteral("moved.jpg"))
            .ok());
    EXPECT_FALSE(QFile::exists(at(QStringLiteral("photo.jpg"))));
    EXPECT_EQ(contents(other.path() + QStringLiteral("moved.jpg")), "PHOTO");
    EXPECT_EQ(filetest::modified(other.path() + QStringLiteral("moved.jpg")), filetest::stamp());
    EXPECT_EQ(modeOf(other.path() + QStringLiteral("moved.jpg")), 0604u);

    // A taken target, a failed sync and a source that cannot be removed leave the source
    // where it was and nothing behind in the destination.
    ASSERT_TRUE(makeFile(at(QStringLiteral("b.jpg")), "B"));
    EXPECT_EQ(
        renameNoReplace(at(QStringLiteral("b.jpg")), other.path() + QStringLiteral("moved.jpg"))
            .outcome,
        Outcome::Exists);
    for (hook::Call call : {hook::Call::Sync, hook::Call::Unlink}) {
        failCall(call, EIO);
        const FileResult result =
            renameNoReplace(at(QStringLiteral("b.jpg")), other.path() + QStringLiteral("b.jpg"));
        EXPECT_EQ(result.error, EIO);
        EXPECT_EQ(contents(at(QStringLiteral("b.jpg"))), "B");
        EXPECT_EQ(names(other.path()), QSet<QString>{QStringLiteral("moved.jpg")});
    }
}
