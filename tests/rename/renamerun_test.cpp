#include "rename/renamerun.h"

#include "fileops/fileops.h"
#include "filetestutil.h"
#include "secondfilesystem.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cerrno>

using namespace renaming;
using filetest::contents;
using filetest::makeFile;
using filetest::names;

namespace {

using Names = QSet<QString>;

Names set(std::initializer_list<const char*> list)
{
    Names result;
    for (const char* name : list)
        result.insert(QString::fromUtf8(name));
    return result;
}

class RenameRun : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_own.isValid());
        ASSERT_TRUE(m_dest.isValid());
        own = m_own.path() + QLatin1Char('/');
        dest = m_dest.path() + QLatin1Char('/');
        settings.format = 1; // "00"
        settings.repertNom = m_dest.path();
    }
    void TearDown() override { fileops::testing::setFailureHook({}); }

    // Makes the files in `folder` (content: the name) and lists them in that order.
    void add(const QString& folder, std::initializer_list<const char*> files)
    {
        for (const char* file : files) {
            const QString name = QString::fromUtf8(file);
            ASSERT_TRUE(makeFile(folder + name, name.toUtf8()));
            request.entries.push_back({folder, name});
        }
    }

    RenameReport run(int form, const QString& text = QStringLiteral("image"),
                     const QString& start = QStringLiteral("1"))
    {
        request.form = form;
        request.nameText = text;
        request.startNumber = start;
        request.settings = settings;
        return runRename(request, [] { return QDateTime(QDate(2008, 2, 12), QTime(20, 59, 43)); });
    }

    QTemporaryDir m_own;
    QTemporaryDir m_dest;
    QString own;
    QString dest;
    SettingsSnapshot settings;
    RenameRequest request;
};

} // namespace

TEST_F(RenameRun, CopySettings)
{
    struct Row
    {
        const char* what;
        bool copy;
        bool copyInDest;
        bool copyInOwn;
        bool renomDest;
        Names ownAfter;
        Names destAfter;
    };
    const Row rows[] = {
        {"no copy, destination = own folder",
         false,
         true,
         false,
         false,
         set({"image01.JPG", "image02.png"}),
         {}},
        {"no copy, RenomDest", false, true, false, true, {}, set({"image01.JPG", "image02.png"})},
        {"copy in destination, destination = own folder",
         true,
         true,
         false,
         false,
         set({"Plage.JPG", "Mer.png", "image01.JPG", "image02.png"}),
         {}},
        {"copy in destination, RenomDest",
         true,
         true,
         false,
         true,
         {},
         set({"Plage.JPG", "Mer.png", "image01.JPG", "image02.png"})},
        {"copy in own folder, RenomDest", true, false, true, true, set({"Plage.JPG", "Mer.png"}),
         set({"image01.JPG", "image02.png"})},
        {"copy in own folder, destination = own folder",
         true,
         false,
         true,
         false,
         set({"Plage.JPG", "Mer.png", "image01.JPG", "image02.png"}),
         {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        QTemporaryDir ownDir;
        QTemporaryDir destDir;
        own = ownDir.path() + QLatin1Char('/');
        dest = destDir.path() + QLatin1Char('/');
        request.entries.clear();
        add(own, {"Plage.JPG", "Mer.png"});
        settings.copieOriginal = row.copy;
        settings.repertCopieDest = row.copyInDest;
        settings.repertCopieOriginal = row.copyInOwn;
        settings.renomDest = row.renomDest;
        settings.repertNom = destDir.path(); // without its '/'

        const RenameReport report = run(20);
        ASSERT_TRUE(report.ok()) << report.failure->message.toStdString();
        EXPECT_EQ(names(own), row.ownAfter);
        EXPECT_EQ(names(dest), row.destAfter);
        // Copies and renamed files keep the original's content and modification time.
        const QString out = row.renomDest ? dest : own;
        EXPECT_EQ(contents(out + QStringLiteral("image01.JPG")), "Plage.JPG");
        EXPECT_EQ(contents(out + QStringLiteral("image02.png")), "Mer.png");
        const QString copies = row.copyInDest && row.renomDest ? dest : own;
        for (const QString& name : {QStringLiteral("Plage.JPG"), QStringLiteral("Mer.png")}) {
            if (!row.copy)
                continue;
            EXPECT_EQ(contents(copies + name), name.toUtf8());
            EXPECT_EQ(filetest::modified(copies + name), filetest::stamp());
        }
        ASSERT_EQ(report.done.size(), 2u);
        EXPECT_EQ(report.done[0].newPath, out + QStringLiteral("image01.JPG"));
        EXPECT_EQ(report.done[0].copyPath,
                  row.copy ? copies + QStringLiteral("Plage.JPG") : QString());
    }
}

TEST_F(RenameRun, NumbersFollowTheWorkListOrder)
{
    struct Row
    {
        int format;
        int files;
        const char* start;
        const char* first;
        const char* last;
    };
    const Row rows[] = {{1, 3, "1", "image01.jpg", "image03.jpg"},
                        {4, 12, "1", "image01.jpg", "image12.jpg"},
                        {0, 12, "5", "image5.jpg", "image16.jpg"},
                        {1, 1, "1", "image.jpg", "image.jpg"}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.first);
        QTemporaryDir dir;
        request.entries.clear();
        // Listed in reverse name order, numbered in list order.
        for (int i = row.files; i >= 1; --i) {
            const QString name = QStringLiteral("f%1.jpg").arg(i, 2, 10, QLatin1Char('0'));
            ASSERT_TRUE(makeFile(dir.path() + QLatin1Char('/') + name, name.toUtf8()));
            request.entries.push_back({dir.path() + QLatin1Char('/'), name});
        }
        settings.format = row.format;
        const RenameReport report = run(20, QStringLiteral("image"), QString::fromUtf8(row.start));
        ASSERT_TRUE(report.ok());
        EXPECT_EQ(report.done.front().newPath,
                  dir.path() + QLatin1Char('/') + QString::fromUtf8(row.first));
        EXPECT_EQ(report.done.back().newPath,
                  dir.path() + QLatin1Char('/') + QString::fromUtf8(row.last));
        EXPECT_EQ(contents(report.done.front().newPath), request.entries.front().name.toUtf8());
        EXPECT_EQ(names(dir.path()).size(), static_cast<qsizetype>(row.files));
    }
}

TEST_F(RenameRun, AnExistingFileStopsTheRunAndIsKept)
{
    add(own, {"a.jpg", "b.jpg", "c.jpg"});
    ASSERT_TRUE(makeFile(own + QStringLiteral("image02.jpg"), "UNRELATED"));
    settings.copieOriginal = true;
    settings.repertCopieOriginal = true;
    settings.repertCopieDest = false;

    const RenameReport report = run(20);
    ASSERT_FALSE(report.ok());
    EXPECT_EQ(report.failure->index, 1);
    EXPECT_EQ(report.failure->message, fileops::systemDescription(EEXIST) + QStringLiteral(" : ") +
                                           own + QStringLiteral("image02.jpg"));
    ASSERT_EQ(report.done.size(), 1u);
    // The first entry is done, with its copy back under the old name; the failing entry's
    // temporary copy is gone again; the third is untouched.
    EXPECT_EQ(names(own), set({"a.jpg", "image01.jpg", "b.jpg", "image02.jpg", "c.jpg"}));
    EXPECT_EQ(contents(own + QStringLiteral("image02.jpg")), "UNRELATED");
    EXPECT_EQ(contents(own + QStringLiteral("b.jpg")), "b.jpg");
}

TEST_F(RenameRun, ATakenPlaceForTheKeptCopyStopsBeforeTheRename)
{
    struct Row
    {
        const char* what;
        bool copyInDest;
        bool renomDest;
        QString blocker;
    };
    const Row rows[] = {
        {"temporary name taken", false, false, QStringLiteral("Plage.JPGTemp")},
        {"same name taken in the destination", true, true, QStringLiteral("Plage.JPG")},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        QTemporaryDir ownDir;
        QTemporaryDir destDir;
        own = ownDir.path() + QLatin1Char('/');
        dest = destDir.path() + QLatin1Char('/');
        request.entries.clear();
        add(own, {"Plage.JPG"});
        const QString blocker = (row.renomDest ? dest : own) + row.blocker;
        ASSERT_TRUE(makeFile(blocker, "USER'S FILE"));
        settings.copieOriginal = true;
        settings.repertCopieDest = row.copyInDest;
        settings.repertCopieOriginal = !row.copyInDest;
        settings.renomDest = row.renomDest;
        settings.repertNom = dest;

        const RenameReport report = run(20);
        ASSERT_FALSE(report.ok());
        EXPECT_TRUE(report.failure->message.endsWith(blocker));
        EXPECT_EQ(contents(blocker), "USER'S FILE");
        EXPECT_EQ(contents(own + QStringLiteral("Plage.JPG")), "Plage.JPG");
        EXPECT_FALSE(QFile::exists((row.renomDest ? dest : own) + QStringLiteral("image.JPG")));
    }
}

TEST_F(RenameRun, ACopyThatCollidesWithItsOwnRenameIsRemovedAgain)
{
    // Form 13 keeps "Plage.JPG", so the copy kept in the destination takes the new name.
    add(own, {"Plage.JPG", "mer.jpg"});
    settings.copieOriginal = true;
    settings.repertCopieDest = true;
    settings.renomDest = true;
    const RenameReport report = run(13);
    ASSERT_FALSE(report.ok());
    EXPECT_EQ(report.failure->index, 0);
    EXPECT_TRUE(report.failure->message.endsWith(dest + QStringLiteral("Plage.JPG")));
    EXPECT_EQ(names(own), set({"Plage.JPG", "mer.jpg"}));
    EXPECT_EQ(names(dest), Names());
}

TEST_F(RenameRun, ANameAlreadyRightIsNeitherCopiedNorRenamed)
{
    add(own, {"IMG_0001.JPG", "img_0002.JPG"});
    EntryResult::Status second = EntryResult::Status::Renamed;
    for (const bool copyInDest : {true, false}) {
        SCOPED_TRACE(copyInDest);
        settings.copieOriginal = true;
        settings.repertCopieDest = copyInDest;
        settings.repertCopieOriginal = !copyInDest;
        // The destination is the entries' own folder written another way.
        settings.renomDest = true;
        settings.repertNom = own + QStringLiteral("../") + QDir(own).dirName();
        const RenameReport report = run(10);
        ASSERT_TRUE(report.ok()) << report.failure->message.toStdString();
        EXPECT_EQ(report.done[0].status, EntryResult::Status::Unchanged);
        EXPECT_EQ(report.done[0].copyPath, QString());
        EXPECT_EQ(report.done[1].status, second);
        // The second round finds the renamed file already right.
        request.entries[1].name = QStringLiteral("IMG_0002.JPG");
        second = EntryResult::Status::Unchanged;
    }
    EXPECT_EQ(names(own), set({"IMG_0001.JPG", "IMG_0002.JPG", "img_0002.JPG"}));
}

TEST_F(RenameRun, LetterCaseOnlyIsRenamedInPlace)
{
    add(own, {"plage.jpg"});
    settings.copieOriginal = true;
    settings.repertCopieOriginal = true;
    settings.repertCopieDest = false;
    const RenameReport report = run(10);
    ASSERT_TRUE(report.ok());
    EXPECT_EQ(names(own), set({"plage.jpg", "PLAGE.jpg"}));
    EXPECT_EQ(contents(own + QStringLiteral("PLAGE.jpg")), "plage.jpg");
}

TEST_F(RenameRun, ANameTextWithASlashIsRefused)
{
    add(own, {"a.jpg", "b.jpg"});
    for (const QString& text : {QStringLiteral("../x"), QStringLiteral("sub/x")}) {
        const RenameReport report = run(20, text);
        ASSERT_FALSE(report.ok());
        EXPECT_EQ(report.failure->message, QStringLiteral("Nom de fichier incorrect : « %1 »")
                                               .arg(text + QStringLiteral("01.jpg")));
        EXPECT_TRUE(report.done.empty());
    }
    EXPECT_EQ(names(own), set({"a.jpg", "b.jpg"}));
    EXPECT_EQ(names(own + QStringLiteral("..")).contains(QStringLiteral("x01.jpg")), false);
}

TEST_F(RenameRun, AVanishedFileFailsOnlyForFormsThatReadItsTime)
{
    request.entries.push_back({own, QStringLiteral("gone.jpg")});
    const RenameReport timeForm = run(17);
    ASSERT_FALSE(timeForm.ok());
    EXPECT_EQ(timeForm.failure->message, fileops::systemDescription(ENOENT) +
                                             QStringLiteral(" : ") + own +
                                             QStringLiteral("gone.jpg"));
    // The other forms get as far as the rename, which fails the same way.
    const RenameReport plain = run(10);
    ASSERT_FALSE(plain.ok());
    EXPECT_TRUE(plain.failure->message.startsWith(fileops::systemDescription(ENOENT)));
}

TEST_F(RenameRun, FileTimeFormsUseTheFilesOwnTime)
{
    add(own, {"a.jpg", "b.jpg"});
    ASSERT_TRUE(
        makeFile(own + QStringLiteral("b.jpg"), "b", QDateTime(QDate(2001, 2, 3), QTime(0, 0, 0))));
    ASSERT_TRUE(run(18).ok());
    EXPECT_EQ(names(own), set({"[03-07-2007][18.45.12]01.jpg", "[03-02-2001][00.00.00]02.jpg"}));
}

TEST_F(RenameRun, StartNumberIsCheckedWhereItIsUsed)
{
    struct Row
    {
        int form;
        int entries;
        const char* start;
        const char* text;
        Refusal refusal;
    };
    const Row rows[] = {
        {20, 2, "abc", "image", Refusal::BadStartNumber},
        {14, 2, "1.5", "image", Refusal::BadStartNumber},
        {19, 3, "", "image", Refusal::BadStartNumber},
        {20, 2, "9223372036854775807", "image", Refusal::BadStartNumber},
        {20, 2, "9223372036854775806", "image", Refusal::None},
        {20, 1, "abc", "image", Refusal::None},
        {13, 3, "abc", "image", Refusal::None},
        {20, 2, " 7 ", "image", Refusal::None},
        {20, 2, "abc", "", Refusal::EmptyName},
        {20, 0, "1", "", Refusal::EmptyName},
        {20, 0, "1", "image", Refusal::EmptyList},
        {0, 0, "abc", "", Refusal::EmptyList},
    };
    for (const Row& row : rows) {
        RenameRequest req;
        for (int i = 0; i < row.entries; ++i)
            req.entries.push_back({own, QStringLiteral("f%1.jpg").arg(i)});
        req.form = row.form;
        req.startNumber = QString::fromUtf8(row.start);
        req.nameText = QString::fromUtf8(row.text);
        EXPECT_EQ(check(req), row.refusal) << row.form << " " << row.entries << " " << row.start;
    }
    EXPECT_EQ(refusalText(Refusal::BadStartNumber),
              QStringLiteral("Entrer un numéro de début valide !"));

    // A run asked for anyway changes nothing; forms that ignore the number run normally.
    add(own, {"a.jpg", "b.jpg"});
    settings.copieOriginal = true;
    settings.repertCopieOriginal = true;
    const RenameReport refused = run(20, QStringLiteral("image"), QStringLiteral("abc"));
    ASSERT_FALSE(refused.ok());
    EXPECT_EQ(names(own), set({"a.jpg", "b.jpg"}));
    ASSERT_TRUE(run(10, QStringLiteral("image"), QStringLiteral("abc")).ok());
    EXPECT_EQ(names(own), set({"a.jpg", "b.jpg", "A.jpg", "B.jpg"}));
}

TEST_F(RenameRun, EntriesFromSeveralFoldersAndAMissingDestination)
{
    QTemporaryDir second;
    add(own, {"a.jpg"});
    add(second.path() + QLatin1Char('/'), {"b.jpg"});
    ASSERT_TRUE(run(20).ok());
    EXPECT_EQ(names(own), set({"image01.jpg"}));
    EXPECT_EQ(names(second.path()), set({"image02.jpg"}));

    request.entries = {{own, QStringLiteral("image01.jpg")}};
    settings.renomDest = true;
    settings.repertNom = dest + QStringLiteral("missing");
    const RenameReport report = run(11);
    ASSERT_FALSE(report.ok());
    EXPECT_EQ(report.failure->message, fileops::systemDescription(ENOENT) + QStringLiteral(" : ") +
                                           dest + QStringLiteral("missing/image01.jpg"));
    EXPECT_EQ(names(own), set({"image01.jpg"}));
}

TEST_F(RenameRun, DestinationOnAnotherFileSystem)
{
    SecondFileSystem other(own);
    SKIP_WITHOUT_SECOND_FILE_SYSTEM(other);
    add(own, {"Plage.JPG", "Mer.JPG"});
    settings.renomDest = true;
    settings.repertNom = other.path();
    settings.copieOriginal = true;
    settings.repertCopieDest = false;
    settings.repertCopieOriginal = true;
    const RenameReport report = run(20);
    ASSERT_TRUE(report.ok()) << report.failure->message.toStdString();
    EXPECT_EQ(names(other.path()), set({"image01.JPG", "image02.JPG"}));
    EXPECT_EQ(names(own), set({"Plage.JPG", "Mer.JPG"}));
    EXPECT_EQ(contents(other.path() + QStringLiteral("image01.JPG")), "Plage.JPG");
    EXPECT_EQ(filetest::modified(other.path() + QStringLiteral("image02.JPG")), filetest::stamp());
}

TEST_F(RenameRun, AFailedReturnOfTheTemporaryCopyIsReported)
{
    add(own, {"a.jpg"});
    settings.copieOriginal = true;
    settings.repertCopieOriginal = true;
    settings.repertCopieDest = false;
    // The second rename of the entry is the temporary copy's way back.
    int renames = 0;
    fileops::testing::setFailureHook([&renames](fileops::testing::Call call, const QString&) {
        return call == fileops::testing::Call::Rename && ++renames == 3 ? EIO : 0;
    });
    const RenameReport report = run(20);
    ASSERT_FALSE(report.ok());
    EXPECT_EQ(report.failure->message, fileops::systemDescription(EIO) + QStringLiteral(" : ") +
                                           own + QStringLiteral("a.jpg"));
    // The renamed file and its kept copy are both there: nothing is lost.
    EXPECT_EQ(names(own), set({"image.jpg", "a.jpgTemp"}));
}
