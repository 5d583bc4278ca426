#include "lists/folderlisting.h"
#include "lists/volumes.h"

#include "listtestutil.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cerrno>

#include <fcntl.h>
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
