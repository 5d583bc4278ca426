#include "lists/folderlisting.h"
#include "lists/folderwalk.h"
#include "lists/volumes.h"
#include "lists/worklistmodel.h"

#include "listtestutil.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cerrno>
#include <tuple>

using namespace Qt::StringLiterals;
using listtest::words;

namespace {

// A temporary folder, `folder` with its slash, holding the files each test names.
class ListsTest : public ::testing::Test
{
protected:
    void make(const char* names)
    {
        for (const QString& name : words(names))
            ASSERT_TRUE(listtest::touch(folder + name));
    }
    QTemporaryDir dir;
    const QString folder = dir.path() + u'/';
};

// One file of each kind the filter must tell apart.
class FolderListingTest : public ListsTest
{
protected:
    void SetUp() override
    {
        make("A.JPG b.jpg C.JPEG d.Jpeg e.bmp F.GIF g.ico h.png i.tif j.TIFF k.txt l.jpgx "
             ".hidden.jpg Zeta.BMP alpha.bmp m.jpe n.wmf");
        ASSERT_TRUE(QDir(dir.path()).mkdir(u"folder.jpg"_s));
        ASSERT_TRUE(QFile::link(folder + u"e.bmp"_s, folder + u"link.bmp"_s));
        ASSERT_TRUE(QFile::link(folder + u"gone"_s, folder + u"broken.bmp"_s));
    }
    QStringList list(int filter) const
    {
        const lists::FolderListing listing = lists::listFolder(dir.path(), filter);
        EXPECT_TRUE(listing.ok());
        return listing.names;
    }
};

TEST_F(FolderListingTest, EachFilterListsItsTypesInCaseInsensitiveOrder)
{
    const std::pair<int, QStringList> rows[] = {
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
    for (const auto& [filter, expected] : rows)
        EXPECT_EQ(list(filter), expected) << "filter " << filter;
}

TEST_F(FolderListingTest, NamesThatAreNotUtf8AreLeftOut)
{
    const QByteArray raw = QFile::encodeName(dir.path()) + "/caf\xe9.jpg";
    ASSERT_EQ(::close(::open(raw.constData(), O_CREAT | O_WRONLY, 0644)), 0);
    ASSERT_TRUE(listtest::touch(folder + u"café.jpg"_s));
    EXPECT_EQ(list(3), words("A.JPG b.jpg café.jpg"));
    // QTemporaryDir cannot name it either, so remove it here.
    EXPECT_EQ(::unlink(raw.constData()), 0);
}

TEST_F(ListsTest, AFolderThatCannotBeListedGivesTheSystemsDescription)
{
    make("plain");
    const std::pair<QString, int> rows[] = {
        {folder + u"plain"_s, ENOTDIR},
        {folder + u"plain/below"_s, ENOTDIR},
        {folder + u"missing"_s, ENOENT},
    };
    for (const auto& [path, error] : rows) {
        const lists::FolderListing listing = lists::listFolder(path, 0);
        ASSERT_FALSE(listing.ok()) << path.toStdString();
        EXPECT_EQ(*listing.error, qt_error_string(error));
        EXPECT_TRUE(listing.names.isEmpty());
    }
}

TEST(ChooseVolume, FallsBackToThePreviousVolumeOnceThenToTheStartupVolume)
{
    const std::tuple<const char*, QStringList, QString, bool> rows[] = {
        {"chosen readable", words("/card/ / /home/"), u"/card/"_s, true},
        {"chosen unreadable", words("/ /home/"), u"/home/"_s, true},
        {"previous pulled out too", words("/"), u"/"_s, true},
        {"nothing readable", words(""), u"/"_s, false},
    };
    for (const auto& [name, readable, expectedRoot, expectedOk] : rows) {
        QStringList attempts;
        const lists::VolumeChoice choice =
            lists::chooseVolume(u"/card/"_s, u"/home/"_s, u"/"_s, [&](const QString& root) {
                attempts << root;
                lists::FolderListing listing;
                if (!readable.contains(root))
                    listing.error = u"unreadable"_s;
                return listing;
            });
        EXPECT_EQ(choice.root, expectedRoot) << name;
        EXPECT_EQ(choice.listing.ok(), expectedOk) << name;
        EXPECT_EQ(attempts.removeDuplicates(), 0) << name << ": a root was tried twice";
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

// Each folder of a walk as "folder/: names", the folder relative to `root`.
QStringList described(const lists::FolderWalk& walk, const QString& root)
{
    QStringList result;
    for (const lists::FolderFiles& folder : walk.folders)
        result << folder.folder.mid(root.size()) + u": "_s + folder.names.join(u' ');
    return result;
}

TEST_F(ListsTest, WalkTakesTheFilteredPicturesOfTheTreeWithoutHiddenFoldersOrLinksToFolders)
{
    QDir tree(dir.path());
    for (const char* path : {"b/deep", "A", ".cache", "A/.thumbs", "empty", "outside"})
        ASSERT_TRUE(tree.mkpath(QString::fromUtf8(path)));
    make("top.jpg top.txt b/x.PNG b/deep/y.jpg A/z.gif A/a.JPG .cache/c.jpg A/.thumbs/t.jpg "
         "outside/o.jpg");
    // A link to a folder is not followed (it could lead anywhere, itself included); a link to
    // a file is taken as the browse list takes it.
    ASSERT_TRUE(QFile::link(folder + u"outside"_s, folder + u"b/loop"_s));
    ASSERT_TRUE(QFile::link(folder + u"outside/o.jpg"_s, folder + u"b/link.jpg"_s));

    const lists::FolderWalk all = lists::walkFolder(dir.path(), 0);
    EXPECT_EQ(described(all, folder),
              (QStringList{u": top.jpg"_s, u"A/: a.JPG z.gif"_s, u"b/: link.jpg x.PNG"_s,
                           u"b/deep/: y.jpg"_s, u"outside/: o.jpg"_s}));
    EXPECT_TRUE(all.unreadable.empty());
    EXPECT_EQ(all.fileCount(), 7);
    // The type filter chosen in the browse panel applies to the whole tree.
    EXPECT_EQ(described(lists::walkFolder(dir.path(), 3), folder),
              (QStringList{u": top.jpg"_s, u"A/: a.JPG"_s, u"b/: link.jpg"_s, u"b/deep/: y.jpg"_s,
                           u"outside/: o.jpg"_s}));

    // Files named one by one are taken whatever their type, folders walked, in order.
    const lists::FolderWalk named = lists::collectPaths(
        {folder + u"top.txt"_s, folder + u"top.jpg"_s, folder + u"A"_s, folder + u"missing.jpg"_s},
        0);
    EXPECT_EQ(described(named, folder),
              (QStringList{u": top.txt top.jpg"_s, u"A/: a.JPG z.gif"_s}));

    EXPECT_EQ(lists::nearestExistingFolder(folder + u"b/gone/deeper"_s), folder + u"b/"_s);
}

TEST_F(ListsTest, WalkListsFoldersThatCannotBeReadAndTakesTheRest)
{
    make("ok.jpg");
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

class WorkListTest : public ListsTest
{
protected:
    void SetUp() override { make("A.JPG a.jpg b.jpg c.jpg d.jpg"); }
    QStringList names() const { return listtest::names(list); }
    WorkList list;
};

TEST_F(WorkListTest, TheSameFileReachedAnyWayIsAddedOnce)
{
    ASSERT_TRUE(QDir(folder).mkdir(u"sub"_s));
    ASSERT_TRUE(QFile::link(dir.path(), folder + u"sub/back"_s));
    ASSERT_EQ(::link(QFile::encodeName(folder + u"b.jpg"_s).constData(),
                     QFile::encodeName(folder + u"hard.jpg"_s).constData()),
              0);
    const std::tuple<const char*, QString, QString> spellings[] = {
        {"same text", folder, u"b.jpg"_s},
        {"no trailing slash", dir.path(), u"b.jpg"_s},
        {"through ..", folder + u"sub/.."_s, u"b.jpg"_s},
        {"through a linked folder", folder + u"sub/back/"_s, u"b.jpg"_s},
        {"hard link to the same file", folder, u"hard.jpg"_s},
    };
    ASSERT_EQ(list.add(folder, {u"b.jpg"_s}), 1);
    for (const auto& [name, where, file] : spellings) {
        EXPECT_EQ(list.add(where, {file}), 0) << name;
        EXPECT_TRUE(list.marker()) << name;
    }
    // Two files differing in letter case are both added.
    EXPECT_EQ(list.add(dir.path(), words("A.JPG a.jpg")), 2);
    EXPECT_EQ(names(), words("b.jpg A.JPG a.jpg"));
    EXPECT_EQ(list.entries()[2].path(), folder + u"a.jpg"_s);
    EXPECT_TRUE(list.isConsistent());
}

TEST_F(WorkListTest, EntriesKeepTheirFolderWithOneSlashAndAVanishedFileItsCanonicalPath)
{
    ASSERT_TRUE(QFile::link(dir.path(), folder + u"alias"_s));
    // The file vanished between listing and adding: the rest of the addition goes on.
    EXPECT_EQ(list.add(dir.path(), words("gone.jpg c.jpg")), 2);
    EXPECT_EQ(list.add(folder + u"alias"_s, words("gone.jpg c.jpg")), 0);
    EXPECT_EQ(list.entries()[1], (WorkEntry{folder, u"c.jpg"_s}));
    EXPECT_EQ(list.count(), 2);
    EXPECT_TRUE(list.isConsistent());
    WorkList rootList;
    EXPECT_EQ(rootList.add(u"/"_s, {u"not-there.jpg"_s}), 1);
    EXPECT_EQ(rootList.entries().front(), (WorkEntry{u"/"_s, u"not-there.jpg"_s}));
}

TEST_F(WorkListTest, MovesAtTheEndsChangeNothing)
{
    list.add(folder, words("b.jpg c.jpg d.jpg"));
    const std::tuple<const char*, bool, int> rows[] = {{"first up", true, 0},
                                                       {"last down", false, 2},
                                                       {"before first", true, -1},
                                                       {"after last", false, 3},
                                                       {"past the end up", true, 3}};
    for (const auto& [name, up, row] : rows) {
        EXPECT_FALSE(up ? list.moveUp(row) : list.moveDown(row)) << name;
        EXPECT_EQ(names(), words("b.jpg c.jpg d.jpg")) << name;
    }
    EXPECT_TRUE(list.moveUp(2));
    EXPECT_TRUE(list.moveUp(1));
    EXPECT_TRUE(list.moveDown(0));
    EXPECT_EQ(names(), words("b.jpg d.jpg c.jpg"));
    EXPECT_TRUE(list.isConsistent());
}

// The marker tells whether the last change added something.
TEST_F(WorkListTest, MarkerAndARemovedFileAddedAgain)
{
    EXPECT_EQ(list.add(folder, {}), 0);
    EXPECT_FALSE(list.marker());
    list.add(folder, words("b.jpg c.jpg d.jpg"));
    EXPECT_EQ(list.add(folder, {}), 0);
    EXPECT_TRUE(list.marker()) << "adding nothing leaves the marker";
    EXPECT_FALSE(list.remove(3));
    EXPECT_TRUE(list.marker()) << "a removal out of range changes nothing";
    EXPECT_TRUE(list.remove(1));
    EXPECT_FALSE(list.marker());
    EXPECT_TRUE(list.isConsistent());
    EXPECT_EQ(list.add(folder, words("b.jpg c.jpg d.jpg")), 1);
    EXPECT_EQ(names(), words("b.jpg d.jpg c.jpg"));
    list.clear();
    EXPECT_TRUE(list.isEmpty());
    EXPECT_FALSE(list.marker());
    EXPECT_EQ(list.add(folder, {u"c.jpg"_s}), 1);
    EXPECT_TRUE(list.isConsistent());
}

TEST_F(WorkListTest, TheModelShowsNameAndFolderAndFollowsTheList)
{
    WorkListModel model;
    model.add(folder, words("b.jpg c.jpg"));
    ASSERT_EQ(model.rowCount(), 2);
    EXPECT_EQ(model.columnCount(), 3);
    EXPECT_EQ(model.index(1, 0).data().toString(), u"c.jpg"_s);
    EXPECT_EQ(model.index(1, 1).data().toString(), folder);
    // The new names and their marks stay with their rows; a count that no longer fits the
    // list is refused.
    EXPECT_FALSE(model.setNewNames({u"x.jpg"_s}));
    ASSERT_TRUE(model.setNewNames({u"b2.jpg"_s, u"c2.jpg"_s}));
    ASSERT_TRUE(model.setNameMarks({QString(), u"Nom déjà pris"_s}));
    model.moveUp(1);
    EXPECT_EQ(model.index(0, 0).data().toString(), u"c.jpg"_s);
    EXPECT_EQ(model.index(0, 2).data().toString(), u"c2.jpg"_s);
    EXPECT_EQ(model.index(0, 2).data(Qt::ToolTipRole).toString(), u"Nom déjà pris"_s);
    model.remove(0);
    EXPECT_EQ(model.rowCount(), 1);
    EXPECT_EQ(model.index(0, 2).data().toString(), u"b2.jpg"_s);
    EXPECT_EQ(model.index(0, 2).data(Qt::ToolTipRole).toString(), folder + u"b.jpg"_s);
    EXPECT_TRUE(model.list().isConsistent());
}

} // namespace
