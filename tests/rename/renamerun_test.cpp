#include "rename/renamerun.h"

#include "fileops/fileops.h"
#include "filetestutil.h"
#include "secondfilesystem.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cerrno>
#include <optional>

using namespace renaming;
using namespace Qt::StringLiterals;
using filetest::contents;
using filetest::makeFile;
using filetest::names;

namespace {

using Names = QSet<QString>;

class RenameRun : public ::testing::Test
{
protected:
    void SetUp() override { reset(); }
    void TearDown() override { fileops::testing::setFailureHook({}); }

    // Fresh own and destination folders, an empty work list, style "00", no kept copy.
    void reset()
    {
        m_own.emplace();
        m_dest.emplace();
        ASSERT_TRUE(m_own->isValid() && m_dest->isValid());
        own = m_own->path() + u'/';
        dest = m_dest->path() + u'/';
        settings = {};
        settings.format = 1;
        settings.repertNom = m_dest->path(); // without its '/'
        request.entries.clear();
    }

    // A kept copy or none, in the destination or in the entry's own folder; "RenomDest".
    void keep(bool copy, bool inDest, bool renomDest = false)
    {
        settings.copieOriginal = copy;
        settings.repertCopieDest = inDest;
        settings.repertCopieOriginal = !inDest;
        settings.renomDest = renomDest;
    }

    // Makes the files in `folder` (content: the name) and lists them in that order.
    void add(const QString& folder, const QStringList& files)
    {
        for (const QString& name : files) {
            ASSERT_TRUE(makeFile(folder + name, name.toUtf8()));
            request.entries.push_back({folder, name});
        }
    }

    RenameReport run(int form, const QString& text = u"image"_s, const QString& start = u"1"_s)
    {
        request.form = form;
        request.nameText = text;
        request.startNumber = start;
        request.settings = settings;
        return runRename(request, [] { return QDateTime(QDate(2008, 2, 12), QTime(20, 59, 43)); });
    }

    std::optional<QTemporaryDir> m_own;
    std::optional<QTemporaryDir> m_dest;
    QString own;
    QString dest;
    SettingsSnapshot settings;
    RenameRequest request;
};

} // namespace

TEST_F(RenameRun, CopySettings)
{
    const Names renamed{u"image01.JPG"_s, u"image02.png"_s};
    const Names copies{u"Plage.JPG"_s, u"Mer.png"_s};
    const Names both = renamed + copies;
    struct Row
    {
        const char* what;
        bool copy;
        bool copyInDest;
        bool renomDest;
        Names ownAfter;
        Names destAfter;
    };
    const Row rows[] = {
        {"no copy, destination = own folder", false, true, false, renamed, {}},
        {"no copy, RenomDest", false, true, true, {}, renamed},
        {"copy in destination, destination = own folder", true, true, false, both, {}},
        {"copy in destination, RenomDest", true, true, true, {}, both},
        {"copy in own folder, RenomDest", true, false, true, copies, renamed},
        {"copy in own folder, destination = own folder", true, false, false, both, {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        reset();
        add(own, {u"Plage.JPG"_s, u"Mer.png"_s});
        keep(row.copy, row.copyInDest, row.renomDest);

        const RenameReport report = run(20);
        ASSERT_TRUE(report.ok()) << report.failure->message.toStdString();
        EXPECT_EQ(names(own), row.ownAfter);
        EXPECT_EQ(names(dest), row.destAfter);
        // Copies and renamed files keep the original's content and modification time.
        const QString out = row.renomDest ? dest : own;
        EXPECT_EQ(contents(out + u"image01.JPG"_s), "Plage.JPG");
        EXPECT_EQ(contents(out + u"image02.png"_s), "Mer.png");
        const QString kept = row.copyInDest && row.renomDest ? dest : own;
        for (const QString& name : copies) {
            if (!row.copy)
                continue;
            EXPECT_EQ(contents(kept + name), name.toUtf8());
            EXPECT_EQ(filetest::modified(kept + name), filetest::stamp());
        }
        ASSERT_EQ(report.done.size(), 2u);
        EXPECT_EQ(report.done[0].newPath, out + u"image01.JPG"_s);
        EXPECT_EQ(report.done[0].copyPath, row.copy ? kept + u"Plage.JPG"_s : QString());
    }
}

TEST_F(RenameRun, NumbersFollowTheWorkListOrder)
{
    struct Row
    {
        int format;
        int files;
        QString start;
        QString first;
        QString last;
    };
    const Row rows[] = {{1, 3, u"1"_s, u"image01.jpg"_s, u"image03.jpg"_s},
                        {4, 12, u"1"_s, u"image01.jpg"_s, u"image12.jpg"_s},
                        {0, 12, u"5"_s, u"image5.jpg"_s, u"image16.jpg"_s},
                        {1, 1, u"1"_s, u"image.jpg"_s, u"image.jpg"_s}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.first.toStdString());
        reset();
        // Listed in reverse name order, numbered in list order.
        for (int i = row.files; i >= 1; --i)
            add(own, {u"f%1.jpg"_s.arg(i, 2, 10, QChar(u'0'))});
        settings.format = row.format;
        const RenameReport report = run(20, u"image"_s, row.start);
        ASSERT_TRUE(report.ok());
        EXPECT_EQ(report.done.front().newPath, own + row.first);
        EXPECT_EQ(report.done.back().newPath, own + row.last);
        EXPECT_EQ(contents(report.done.front().newPath), request.entries.front().name.toUtf8());
        EXPECT_EQ(names(own).size(), qsizetype(row.files));
    }
}

TEST_F(RenameRun, AnExistingFileStopsTheRunAndIsKept)
{
    add(own, {u"a.jpg"_s, u"b.jpg"_s, u"c.jpg"_s});
    ASSERT_TRUE(makeFile(own + u"image02.jpg"_s, "UNRELATED"));
    keep(true, false);

    const RenameReport report = run(20);
    ASSERT_FALSE(report.ok());
    EXPECT_EQ(report.failure->index, 1);
    EXPECT_EQ(report.failure->message,
              fileops::systemDescription(EEXIST) + u" : "_s + own + u"image02.jpg"_s);
    ASSERT_EQ(report.done.size(), 1u);
    // The first entry is done, with its copy back under the old name; the failing entry's
    // temporary copy is gone again; the third is untouched.
    EXPECT_EQ(names(own),
              Names({u"a.jpg"_s, u"image01.jpg"_s, u"b.jpg"_s, u"image02.jpg"_s, u"c.jpg"_s}));
    EXPECT_EQ(contents(own + u"image02.jpg"_s), "UNRELATED");
    EXPECT_EQ(contents(own + u"b.jpg"_s), "b.jpg");
}

TEST_F(RenameRun, ATakenPlaceForTheKeptCopyStopsBeforeTheRename)
{
    struct Row
    {
        const char* what;
        bool inDest; // the copy is kept in the destination, which is also "RenomDest"
        QString blocker;
    };
    const Row rows[] = {
        {"temporary name taken", false, u"Plage.JPGTemp"_s},
        {"same name taken in the destination", true, u"Plage.JPG"_s},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        reset();
        add(own, {u"Plage.JPG"_s});
        const QString out = row.inDest ? dest : own;
        ASSERT_TRUE(makeFile(out + row.blocker, "USER'S FILE"));
        keep(true, row.inDest, row.inDest);

        const RenameReport report = run(20);
        ASSERT_FALSE(report.ok());
        EXPECT_TRUE(report.failure->message.endsWith(out + row.blocker));
        EXPECT_EQ(contents(out + row.blocker), "USER'S FILE");
        EXPECT_EQ(contents(own + u"Plage.JPG"_s), "Plage.JPG");
        EXPECT_FALSE(QFile::exists(out + u"image.JPG"_s));
    }
}

TEST_F(RenameRun, ACopyThatCollidesWithItsOwnRenameIsRemovedAgain)
{
    // Form 13 keeps "Plage.JPG", so the copy kept in the destination takes the new name.
    add(own, {u"Plage.JPG"_s, u"mer.jpg"_s});
    keep(true, true, true);
    const RenameReport report = run(13);
    ASSERT_FALSE(report.ok());
    EXPECT_EQ(report.failure->index, 0);
    EXPECT_TRUE(report.failure->message.endsWith(dest + u"Plage.JPG"_s));
    EXPECT_EQ(names(own), Names({u"Plage.JPG"_s, u"mer.jpg"_s}));
    EXPECT_EQ(names(dest), Names());
}

TEST_F(RenameRun, ANameAlreadyRightIsNeitherCopiedNorRenamed)
{
    add(own, {u"IMG_0001.JPG"_s, u"img_0002.JPG"_s});
    EntryResult::Status second = EntryResult::Status::Renamed;
    for (const bool inDest : {true, false}) {
        SCOPED_TRACE(inDest);
        // The destination is the entries' own folder written another way.
        keep(true, inDest, true);
        settings.repertNom = own + u"../"_s + QDir(own).dirName();
        const RenameReport report = run(10);
        ASSERT_TRUE(report.ok()) << report.failure->message.toStdString();
        EXPECT_EQ(report.done[0].status, EntryResult::Status::Unchanged);
        EXPECT_EQ(report.done[0].copyPath, QString());
        EXPECT_EQ(report.done[1].status, second);
        // The second round finds the renamed file already right.
        request.entries[1].name = u"IMG_0002.JPG"_s;
        second = EntryResult::Status::Unchanged;
    }
    EXPECT_EQ(names(own), Names({u"IMG_0001.JPG"_s, u"IMG_0002.JPG"_s, u"img_0002.JPG"_s}));
}

TEST_F(RenameRun, LetterCaseOnlyIsRenamedInPlace)
{
    add(own, {u"plage.jpg"_s});
    keep(true, false);
    ASSERT_TRUE(run(10).ok());
    EXPECT_EQ(names(own), Names({u"plage.jpg"_s, u"PLAGE.jpg"_s}));
    EXPECT_EQ(contents(own + u"PLAGE.jpg"_s), "plage.jpg");
}

TEST_F(RenameRun, ANameTextWithASlashIsRefused)
{
    add(own, {u"a.jpg"_s, u"b.jpg"_s});
    for (const QString& text : {u"../x"_s, u"sub/x"_s}) {
        const RenameReport report = run(20, text);
        ASSERT_FALSE(report.ok());
        EXPECT_EQ(report.failure->message,
                  u"Nom de fichier incorrect : « %1 »"_s.arg(text + u"01.jpg"_s));
        EXPECT_TRUE(report.done.empty());
    }
    EXPECT_EQ(names(own), Names({u"a.jpg"_s, u"b.jpg"_s}));
    EXPECT_FALSE(names(own + u".."_s).contains(u"x01.jpg"_s));
}

TEST_F(RenameRun, AVanishedFileFailsOnlyForFormsThatReadItsTime)
{
    request.entries.push_back({own, u"gone.jpg"_s});
    const RenameReport timeForm = run(17);
    ASSERT_FALSE(timeForm.ok());
    EXPECT_EQ(timeForm.failure->message,
              fileops::systemDescription(ENOENT) + u" : "_s + own + u"gone.jpg"_s);
    // The other forms get as far as the rename, which fails the same way.
    const RenameReport plain = run(10);
    ASSERT_FALSE(plain.ok());
    EXPECT_TRUE(plain.failure->message.startsWith(fileops::systemDescription(ENOENT)));
}

TEST_F(RenameRun, FileTimeFormsUseTheFilesOwnTime)
{
    add(own, {u"a.jpg"_s, u"b.jpg"_s});
    ASSERT_TRUE(makeFile(own + u"b.jpg"_s, "b", QDateTime(QDate(2001, 2, 3), QTime(0, 0, 0))));
    ASSERT_TRUE(run(18).ok());
    EXPECT_EQ(names(own),
              Names({u"[03-07-2007][18.45.12]01.jpg"_s, u"[03-02-2001][00.00.00]02.jpg"_s}));
}

TEST_F(RenameRun, StartNumberIsCheckedWhereItIsUsed)
{
    struct Row
    {
        int form;
        int entries;
        QString start;
        QString text;
        Refusal refusal;
    };
    const Row rows[] = {
        {20, 2, u"abc"_s, u"image"_s, Refusal::BadStartNumber},
        {14, 2, u"1.5"_s, u"image"_s, Refusal::BadStartNumber},
        {19, 3, u""_s, u"image"_s, Refusal::BadStartNumber},
        {20, 2, u"9223372036854775807"_s, u"image"_s, Refusal::BadStartNumber},
        {20, 2, u"9223372036854775806"_s, u"image"_s, Refusal::None},
        {20, 1, u"abc"_s, u"image"_s, Refusal::None},
        {13, 3, u"abc"_s, u"image"_s, Refusal::None},
        {20, 2, u" 7 "_s, u"image"_s, Refusal::None},
        {20, 2, u"abc"_s, u""_s, Refusal::EmptyName},
        {20, 0, u"1"_s, u""_s, Refusal::EmptyName},
        {20, 0, u"1"_s, u"image"_s, Refusal::EmptyList},
        {0, 0, u"abc"_s, u""_s, Refusal::EmptyList},
    };
    for (const Row& row : rows) {
        RenameRequest req;
        for (int i = 0; i < row.entries; ++i)
            req.entries.push_back({own, u"f%1.jpg"_s.arg(i)});
        req.form = row.form;
        req.startNumber = row.start;
        req.nameText = row.text;
        EXPECT_EQ(check(req), row.refusal)
            << row.form << " " << row.entries << " " << row.start.toStdString();
    }
    EXPECT_EQ(refusalText(Refusal::BadStartNumber), u"Entrer un numéro de début valide !"_s);

    // A run asked for anyway changes nothing; forms that ignore the number run normally.
    add(own, {u"a.jpg"_s, u"b.jpg"_s});
    keep(true, false);
    ASSERT_FALSE(run(20, u"image"_s, u"abc"_s).ok());
    EXPECT_EQ(names(own), Names({u"a.jpg"_s, u"b.jpg"_s}));
    ASSERT_TRUE(run(10, u"image"_s, u"abc"_s).ok());
    EXPECT_EQ(names(own), Names({u"a.jpg"_s, u"b.jpg"_s, u"A.jpg"_s, u"B.jpg"_s}));
}

TEST_F(RenameRun, EntriesFromSeveralFoldersAndAMissingDestination)
{
    QTemporaryDir second;
    add(own, {u"a.jpg"_s});
    add(second.path() + u'/', {u"b.jpg"_s});
    ASSERT_TRUE(run(20).ok());
    EXPECT_EQ(names(own), Names({u"image01.jpg"_s}));
    EXPECT_EQ(names(second.path()), Names({u"image02.jpg"_s}));

    request.entries = {{own, u"image01.jpg"_s}};
    settings.renomDest = true;
    settings.repertNom = dest + u"missing"_s;
    const RenameReport report = run(11);
    ASSERT_FALSE(report.ok());
    EXPECT_EQ(report.failure->message,
              fileops::systemDescription(ENOENT) + u" : "_s + dest + u"missing/image01.jpg"_s);
    EXPECT_EQ(names(own), Names({u"image01.jpg"_s}));
}

TEST_F(RenameRun, DestinationOnAnotherFileSystem)
{
    SecondFileSystem other(own);
    SKIP_WITHOUT_SECOND_FILE_SYSTEM(other);
    add(own, {u"Plage.JPG"_s, u"Mer.JPG"_s});
    keep(true, false, true);
    settings.repertNom = other.path();
    const RenameReport report = run(20);
    ASSERT_TRUE(report.ok()) << report.failure->message.toStdString();
    EXPECT_EQ(names(other.path()), Names({u"image01.JPG"_s, u"image02.JPG"_s}));
    EXPECT_EQ(names(own), Names({u"Plage.JPG"_s, u"Mer.JPG"_s}));
    EXPECT_EQ(contents(other.path() + u"image01.JPG"_s), "Plage.JPG");
    EXPECT_EQ(filetest::modified(other.path() + u"image02.JPG"_s), filetest::stamp());
}

TEST_F(RenameRun, AFailedReturnOfTheTemporaryCopyIsReported)
{
    add(own, {u"a.jpg"_s});
    keep(true, false);
    // The third rename of the run is the temporary copy's way back.
    int renames = 0;
    fileops::testing::setFailureHook([&renames](fileops::testing::Call call, const QString&) {
        return call == fileops::testing::Call::Rename && ++renames == 3 ? EIO : 0;
    });
    const RenameReport report = run(20);
    ASSERT_FALSE(report.ok());
    EXPECT_EQ(report.failure->message,
              fileops::systemDescription(EIO) + u" : "_s + own + u"a.jpg"_s);
    // The renamed file and its kept copy are both there: nothing is lost.
    EXPECT_EQ(names(own), Names({u"image.jpg"_s, u"a.jpgTemp"_s}));
}
