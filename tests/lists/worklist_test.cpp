#include "lists/worklist.h"
#include "lists/worklistmodel.h"

#include "listtestutil.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <unistd.h>

using namespace Qt::StringLiterals;
using listtest::words;

namespace {

QStringList paths(const WorkList& list)
{
    QStringList result;
    for (const WorkEntry& entry : list.entries())
        result << entry.path();
    return result;
}

class WorkListTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        folder = dir.path() + QLatin1Char('/');
        for (const QString& name : words("A.JPG a.jpg b.jpg c.jpg d.jpg"))
            ASSERT_TRUE(listtest::touch(folder + name));
    }

    QTemporaryDir dir;
    QString folder;
    WorkList list;
};

TEST_F(WorkListTest, TwoFilesDifferingInLetterCaseAreBothAdded)
{
    EXPECT_EQ(list.add(dir.path(), words("A.JPG a.jpg")), 2);
    EXPECT_EQ(paths(list), QStringList({folder + u"A.JPG"_s, folder + u"a.jpg"_s}));
    EXPECT_TRUE(list.marker());
    EXPECT_TRUE(list.isConsistent());
}

TEST_F(WorkListTest, TheSameFileReachedAnyWayIsAddedOnce)
{
    ASSERT_TRUE(QDir(folder).mkdir(u"sub"_s));
    ASSERT_TRUE(QFile::link(dir.path(), folder + u"sub/back"_s));
    ASSERT_EQ(::link(QFile::encodeName(folder + u"b.jpg"_s).constData(),
                     QFile::encodeName(folder + u"hard.jpg"_s).constData()),
              0);
    const struct
    {
        const char* name;
        QString folder;
        QString file;
    } spellings[] = {
        {"same text", folder, u"b.jpg"_s},
        {"no trailing slash", dir.path(), u"b.jpg"_s},
        {"through ..", folder + u"sub/.."_s, u"b.jpg"_s},
        {"through a linked folder", folder + u"sub/back/"_s, u"b.jpg"_s},
        {"hard link to the same file", folder, u"hard.jpg"_s},
    };
    ASSERT_EQ(list.add(folder, {u"b.jpg"_s}), 1);
    for (const auto& spelling : spellings) {
        EXPECT_EQ(list.add(spelling.folder, {spelling.file}), 0) << spelling.name;
        EXPECT_TRUE(list.marker()) << spelling.name;
    }
    EXPECT_EQ(list.count(), 1);
    EXPECT_TRUE(list.isConsistent());
}

TEST_F(WorkListTest, AVanishedFileIsComparedByItsCanonicalPath)
{
    ASSERT_TRUE(QFile::link(dir.path(), folder + u"alias"_s));
    // The file vanished between listing and adding: the rest of the addition goes on.
    EXPECT_EQ(list.add(folder, words("gone.jpg c.jpg")), 2);
    EXPECT_EQ(list.add(folder + u"alias"_s, words("gone.jpg c.jpg")), 0);
    EXPECT_EQ(list.count(), 2);
    EXPECT_TRUE(list.isConsistent());
}

TEST_F(WorkListTest, EntriesKeepTheirFolderWithOneSlashAndTheirName)
{
    WorkList rootList;
    EXPECT_EQ(rootList.add(u"/"_s, {u"not-there.jpg"_s}), 1);
    EXPECT_EQ(rootList.entries().front(), (WorkEntry{u"/"_s, u"not-there.jpg"_s}));
    list.add(dir.path(), {u"c.jpg"_s});
    EXPECT_EQ(list.entries().front(), (WorkEntry{folder, u"c.jpg"_s}));
}

TEST_F(WorkListTest, MovesAtTheEndsChangeNothing)
{
    const QStringList names = words("b.jpg c.jpg d.jpg");
    list.add(folder, names);
    const struct
    {
        const char* name;
        bool up;
        int row;
    } rows[] = {{"first up", true, 0},
                {"last down", false, 2},
                {"before first", true, -1},
                {"after last", false, 3},
                {"past the end up", true, 3}};
    for (const auto& row : rows) {
        EXPECT_FALSE(row.up ? list.moveUp(row.row) : list.moveDown(row.row)) << row.name;
        EXPECT_EQ(paths(list).size(), 3);
        EXPECT_EQ(list.entries()[0].name, names[0]) << row.name;
        EXPECT_EQ(list.entries()[2].name, names[2]) << row.name;
    }
    EXPECT_TRUE(list.moveUp(2));
    EXPECT_TRUE(list.moveUp(1));
    EXPECT_EQ(list.entries()[0].name, u"d.jpg"_s);
    EXPECT_TRUE(list.moveDown(0));
    EXPECT_EQ(list.entries()[1].name, u"d.jpg"_s);
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
    EXPECT_EQ(list.entries().back().name, u"c.jpg"_s);
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
