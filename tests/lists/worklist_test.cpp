#include "lists/worklist.h"
#include "lists/worklistmodel.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <unistd.h>

namespace {

QStringList strings(std::initializer_list<const char*> texts)
{
    QStringList result;
    for (const char* text : texts)
        result << QString::fromUtf8(text);
    return result;
}

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
        for (const char* name : {"A.JPG", "a.jpg", "b.jpg", "c.jpg", "d.jpg"})
            touch(folder + QLatin1String(name));
    }
    static void touch(const QString& path)
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
    }

    QTemporaryDir dir;
    QString folder;
    WorkList list;
};

TEST_F(WorkListTest, TwoFilesDifferingInLetterCaseAreBothAdded)
{
    EXPECT_EQ(list.add(dir.path(), strings({"A.JPG", "a.jpg"})), 2);
    EXPECT_EQ(paths(list),
              QStringList({folder + QStringLiteral("A.JPG"), folder + QStringLiteral("a.jpg")}));
    EXPECT_TRUE(list.marker());
    EXPECT_TRUE(list.isConsistent());
}

TEST_F(WorkListTest, TheSameFileReachedAnyWayIsAddedOnce)
{
    ASSERT_TRUE(QDir(folder).mkdir(QStringLiteral("sub")));
    ASSERT_TRUE(QFile::link(dir.path(), folder + QStringLiteral("sub/back")));
    ASSERT_EQ(::link(QFile::encodeName(folder + QStringLiteral("b.jpg")).constData(),
                     QFile::encodeName(folder + QStringLiteral("hard.jpg")).constData()),
              0);
    const struct
    {
        const char* name;
        QString folder;
        QString file;
    } spellings[] = {
        {"same text", folder, QStringLiteral("b.jpg")},
        {"no trailing slash", dir.path(), QStringLiteral("b.jpg")},
        {"through ..", folder + QStringLiteral("sub/.."), QStringLiteral("b.jpg")},
        {"through a linked folder", folder + QStringLiteral("sub/back/"), QStringLiteral("b.jpg")},
        {"hard link to the same file", folder, QStringLiteral("hard.jpg")},
    };
    ASSERT_EQ(list.add(folder, {QStringLiteral("b.jpg")}), 1);
    for (const auto& spelling : spellings) {
        EXPECT_EQ(list.add(spelling.folder, {spelling.file}), 0) << spelling.name;
        EXPECT_TRUE(list.marker()) << spelling.name;
    }
    EXPECT_EQ(list.count(), 1);
    EXPECT_TRUE(list.isConsistent());
}

TEST_F(WorkListTest, AVanishedFileIsComparedByItsCanonicalPath)
{
    ASSERT_TRUE(QFile::link(dir.path(), folder + QStringLiteral("alias")));
    // The file vanished between listing and adding: the rest of the addition goes on.
    EXPECT_EQ(list.add(folder, strings({"gone.jpg", "c.jpg"})), 2);
    EXPECT_EQ(list.add(folder + QStringLiteral("alias"), strings({"gone.jpg", "c.jpg"})), 0);
    EXPECT_EQ(list.count(), 2);
    EXPECT_TRUE(list.isConsistent());
}

TEST_F(WorkListTest, EntriesKeepTheirFolderWithOneSlashAndTheirName)
{
    WorkList rootList;
    EXPECT_EQ(rootList.add(QStringLiteral("/"), {QStringLiteral("not-there.jpg")}), 1);
    EXPECT_EQ(rootList.entries().front(),
              (WorkEntry{QStringLiteral("/"), QStringLiteral("not-there.jpg")}));
    list.add(dir.path(), {QStringLiteral("c.jpg")});
    EXPECT_EQ(list.entries().front(), (WorkEntry{folder, QStringLiteral("c.jpg")}));
}

TEST_F(WorkListTest, AddingNothingLeavesTheMarker)
{
    EXPECT_EQ(list.add(folder, {}), 0);
    EXPECT_FALSE(list.marker());
    list.add(folder, {QStringLiteral("b.jpg")});
    EXPECT_EQ(list.add(folder, {}), 0);
    EXPECT_TRUE(list.marker());
}

TEST_F(WorkListTest, MovesAtTheEndsChangeNothing)
{
    const QStringList names = strings({"b.jpg", "c.jpg", "d.jpg"});
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
    EXPECT_EQ(list.entries()[0].name, QStringLiteral("d.jpg"));
    EXPECT_TRUE(list.moveDown(0));
    EXPECT_EQ(list.entries()[1].name, QStringLiteral("d.jpg"));
    EXPECT_TRUE(list.isConsistent());
}

TEST_F(WorkListTest, ARemovedFileCanBeAddedAgain)
{
    list.add(folder, strings({"b.jpg", "c.jpg", "d.jpg"}));
    EXPECT_FALSE(list.remove(3));
    EXPECT_TRUE(list.marker()) << "a removal out of range changes nothing";
    EXPECT_TRUE(list.remove(1));
    EXPECT_FALSE(list.marker());
    EXPECT_TRUE(list.isConsistent());
    EXPECT_EQ(list.add(folder, strings({"b.jpg", "c.jpg", "d.jpg"})), 1);
    EXPECT_EQ(list.entries().back().name, QStringLiteral("c.jpg"));
    list.clear();
    EXPECT_TRUE(list.isEmpty());
    EXPECT_FALSE(list.marker());
    EXPECT_EQ(list.add(folder, {QStringLiteral("c.jpg")}), 1);
    EXPECT_TRUE(list.isConsistent());
}

TEST_F(WorkListTest, TheModelShowsNameAndFolderColumns)
{
    WorkListModel model;
    model.add(folder, strings({"b.jpg", "c.jpg"}));
    ASSERT_EQ(model.rowCount(), 2);
    EXPECT_EQ(model.columnCount(), 2);
    EXPECT_EQ(model.headerData(0, Qt::Horizontal).toString(), QStringLiteral("Fichiers"));
    EXPECT_EQ(model.headerData(1, Qt::Horizontal).toString(), QStringLiteral("Chemin d'accés"));
    EXPECT_EQ(model.index(1, 0).data().toString(), QStringLiteral("c.jpg"));
    EXPECT_EQ(model.index(1, 1).data().toString(), folder);
    model.moveUp(1);
    EXPECT_EQ(model.index(0, 0).data().toString(), QStringLiteral("c.jpg"));
    model.remove(0);
    EXPECT_EQ(model.rowCount(), 1);
    EXPECT_TRUE(model.list().isConsistent());
}

} // namespace
