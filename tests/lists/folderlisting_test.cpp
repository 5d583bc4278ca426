#include "lists/folderlisting.h"
#include "lists/folderwalk.h"
#include "lists/volumes.h"

#include "listtestutil.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;
using listtest::words;

namespace {

// A folder holding one file of each kind the filter must tell apart.
class FolderListingTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        for (const QString& name : words("A.JPG b.jpg C.JPEG d.Jpeg e.bmp F.GIF g.ico h.png i.tif "
                                         "j.TIFF k.txt l.jpgx .hidden.jpg Zeta.BMP alpha.bmp "
                                         "m.jpe n.wmf"))
            ASSERT_TRUE(listtest::touch(dir.filePath(name)));
        ASSERT_TRUE(QDir(dir.path()).mkdir(u"folder.jpg"_s));
        ASSERT_TRUE(QFile::link(dir.filePath(u"e.bmp"_s), dir.filePath(u"link.bmp"_s)));
        ASSERT_TRUE(QFile::link(dir.filePath(u"gone"_s), dir.filePath(u"broken.bmp"_s)));
    }

    QStringList list(int filter) const
    {
        const lists::FolderListing listing = lists::listFolder(dir.path(), filter);
        EXPECT_TRUE(listing.ok());
        return listing.names;
    }

    QTemporaryDir dir;
};

TEST_F(FolderListingTest, EachFilterListsItsTypesInCaseInsensitiveOrder)
{
    const struct
    {
        int filter;
        QStringList expected;
    } rows[] = {
        {0, words("A.JPG alpha.bmp b.jpg C.JPEG d.Jpeg e.bmp F.GIF g.ico h.png i.tif j.TIFF "
                  "link.bmp Zeta.BMP")},
        {1, words("alpha.bmp e.bmp link.bmp Zeta.BMP")},
        {2, words("F.GIF")},
        // JPG only: names ending in .JPEG appear under the first entry alone.
        {3, words("A.JPG b.jpg")},
        {4, words("g.ico")},
        {5, words("h.png")},
        {6, words("i.tif j.TIFF")},
    };
    for (const auto& row : rows)
        EXPECT_EQ(list(row.filter), row.expected) << "filter " << row.filter;
}

TEST_F(FolderListingTest, NamesThatAreNotUtf8AreLeftOut)
{
    const QByteArray raw = QFile::encodeName(dir.path()) + "/caf\xe9.jpg";
    const int fd = ::open(raw.constData(), O_CREAT | O_WRONLY, 0644);
    ASSERT_GE(fd, 0);
    ::close(fd);
    ASSERT_TRUE(listtest::touch(dir.filePath(u"café.jpg"_s)));
    EXPECT_EQ(list(3), words("A.JPG b.jpg café.jpg"));
    // QTemporaryDir cannot name it either, so remove it here.
    EXPECT_EQ(::unlink(raw.constData()), 0);
}

TEST(FolderListingFailure, AFolderThatCannotBeListedGivesTheSystemsDescription)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(u"plain"_s);
    ASSERT_TRUE(listtest::touch(file));
    const struct
    {
        QString folder;
        int error;
    } rows[] = {
        {file, ENOTDIR},
        {file + u"/below"_s, ENOTDIR},
        {dir.filePath(u"missing"_s), ENOENT},
    };
    for (const auto& row : rows) {
        const lists::FolderListing listing = lists::listFolder(row.folder, 0);
        ASSERT_FALSE(listing.ok()) << row.folder.toStdString();
        EXPECT_EQ(*listing.error, qt_error_string(row.error));
        EXPECT_TRUE(listing.names.isEmpty());
    }
}

TEST(ChooseVolume, FallsBackToThePreviousVolumeOnceThenToTheStartupVolume)
{
    const struct
    {
        const char* name;
        QStringList readable;
        QString expectedRoot;
        bool expectedOk;
    } rows[] = {
        {"chosen readable", words("/card/ / /home/"), u"/card/"_s, true},
        {"chosen unreadable", words("/ /home/"), u"/home/"_s, true},
        {"previous pulled out too", words("/"), u"/"_s, true},
        {"nothing readable", words(""), u"/"_s, false},
    };
    for (const auto& row : rows) {
        QStringList attempts;
        const lists::VolumeChoice choice =
            lists::chooseVolume(u"/card/"_s, u"/home/"_s, u"/"_s, [&](const QString& root) {
                attempts << root;
                lists::FolderListing listing;
                if (!row.readable.contains(root))
                    listing.error = u"unreadable"_s;
                return listing;
            });
        EXPECT_EQ(choice.root, row.expectedRoot) << row.name;
        EXPECT_EQ(choice.listing.ok(), row.expectedOk) << row.name;
        EXPECT_EQ(attempts.removeDuplicates(), 0) << row.name << ": a root was tried twice";
    }
}

TEST(Volumes, TheStartupVolumeIsAlwaysOffered)
{
    const QString root = lists::volumeRootOf(QDir::currentPath());
    EXPECT_TRUE(root.endsWith(QLatin1Char('/')));
    const QList<lists::Volume> volumes = lists::mountedVolumes(QDir::currentPath());
    EXPECT_TRUE(std::any_of(volumes.begin(), volumes.end(),
                            [&](const lists::Volume& volume) { return volume.root == root; }));
    for (const lists::Volume& volume : volumes)
        EXPECT_FALSE(volume.root.startsWith(u"/proc/"_s)) << volume.root.toStdString();
}

} // namespace

namespace {

// Each folder of a walk as "folder/: names", the folder relative to `root`.
QStringList described(const lists::FolderWalk& walk, const QString& root)
{
    QStringList result;
    for (const lists::FolderFiles& folder : walk.folders)
        result << folder.folder.mid(root.size()) + u": "_s + folder.names.join(u' ');
    return result;
}

} // namespace

TEST(FolderWalk, TakesTheFilteredPicturesOfTheTreeWithoutHiddenFoldersOrLinksToFolders)
{
    QTemporaryDir dir;
    const QString root = dir.path() + u'/';
    QDir tree(dir.path());
    for (const char* folder : {"b/deep", "A", ".cache", "A/.thumbs", "empty", "outside"})
        ASSERT_TRUE(tree.mkpath(QString::fromUtf8(folder)));
    for (const char* file : {"top.jpg", "top.txt", "b/x.PNG", "b/deep/y.jpg", "A/z.gif", "A/a.JPG",
                             ".cache/c.jpg", "A/.thumbs/t.jpg", "outside/o.jpg"})
        ASSERT_TRUE(listtest::touch(dir.filePath(QString::fromUtf8(file))));
    // A link to a folder is not followed (it could lead anywhere, itself included); a link to
    // a file is taken as the browse list takes it.
    ASSERT_TRUE(QFile::link(dir.filePath(u"outside"_s), dir.filePath(u"b/loop"_s)));
    ASSERT_TRUE(QFile::link(dir.filePath(u"outside/o.jpg"_s), dir.filePath(u"b/link.jpg"_s)));

    const lists::FolderWalk all = lists::walkFolder(dir.path(), 0);
    EXPECT_EQ(described(all, root),
              (QStringList{u": top.jpg"_s, u"A/: a.JPG z.gif"_s, u"b/: link.jpg x.PNG"_s,
                           u"b/deep/: y.jpg"_s, u"outside/: o.jpg"_s}));
    EXPECT_TRUE(all.unreadable.empty());
    EXPECT_EQ(all.fileCount(), 7);
    // The type filter chosen in the browse panel applies to the whole tree.
    EXPECT_EQ(described(lists::walkFolder(dir.path(), 3), root),
              (QStringList{u": top.jpg"_s, u"A/: a.JPG"_s, u"b/: link.jpg"_s, u"b/deep/: y.jpg"_s,
                           u"outside/: o.jpg"_s}));

    // Files named one by one are taken whatever their type, folders walked, in order.
    const lists::FolderWalk named =
        lists::collectPaths({dir.filePath(u"top.txt"_s), dir.filePath(u"top.jpg"_s),
                             dir.filePath(u"A"_s), dir.filePath(u"missing.jpg"_s)},
                            0);
    EXPECT_EQ(described(named, root), (QStringList{u": top.txt top.jpg"_s, u"A/: a.JPG z.gif"_s}));

    EXPECT_EQ(lists::nearestExistingFolder(dir.filePath(u"b/gone/deeper"_s)), root + u"b/"_s);
}

TEST(FolderWalk, FoldersThatCannotBeReadAreListedAndTheRestIsTaken)
{
    QTemporaryDir dir;
    ASSERT_TRUE(listtest::touch(dir.filePath(u"ok.jpg"_s)));
    const listtest::TooDeepFolder deep(dir.path());

    const lists::FolderWalk walk = lists::walkFolder(dir.path(), 0);
    ASSERT_EQ(walk.folders.size(), 1u);
    EXPECT_EQ(walk.folders[0].names, QStringList{u"ok.jpg"_s});
    ASSERT_EQ(walk.unreadable.size(), 1u);
    EXPECT_GT(walk.unreadable[0].folder.size(), 4096);
    EXPECT_TRUE(walk.unreadable[0].folder.startsWith(deep.top()));
    EXPECT_EQ(walk.unreadable[0].description, qt_error_string(ENAMETOOLONG));

    std::vector<lists::UnreadableFolder> many(14, {u"/a/"_s, u"Permission non accordée"_s});
    const QString text = lists::unreadableFoldersText(many);
    EXPECT_TRUE(text.startsWith(u"Ces dossiers n'ont pas pu être lus, leurs images n'ont pas "
                                u"été ajoutées :\n/a/ : Permission non accordée\n"_s));
    EXPECT_TRUE(text.endsWith(u"\net 2 autre(s)."_s));
    EXPECT_EQ(text.count(u'\n'), 13);
}
