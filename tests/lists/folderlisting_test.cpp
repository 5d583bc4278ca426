#include "lists/folderlisting.h"
#include "lists/volumes.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cerrno>

#include <fcntl.h>
#include <unistd.h>

namespace {

QStringList strings(std::initializer_list<const char*> texts)
{
    QStringList result;
    for (const char* text : texts)
        result << QString::fromUtf8(text);
    return result;
}

void touch(const QString& path)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
}

// A folder holding one file of each kind the filter must tell apart.
class FolderListingTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        for (const char* name : {"A.JPG", "b.jpg", "C.JPEG", "d.Jpeg", "e.bmp", "F.GIF", "g.ico",
                                 "h.png", "i.tif", "j.TIFF", "k.txt", "l.jpgx", ".hidden.jpg",
                                 "Zeta.BMP", "alpha.bmp", "m.jpe", "n.wmf"})
            touch(dir.filePath(QLatin1String(name)));
        ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("folder.jpg")));
        ASSERT_TRUE(QFile::link(dir.filePath(QStringLiteral("e.bmp")),
                                dir.filePath(QStringLiteral("link.bmp"))));
        ASSERT_TRUE(QFile::link(dir.filePath(QStringLiteral("gone")),
                                dir.filePath(QStringLiteral("broken.bmp"))));
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
        {0, strings({"A.JPG", "alpha.bmp", "b.jpg", "C.JPEG", "d.Jpeg", "e.bmp", "F.GIF", "g.ico",
                     "h.png", "i.tif", "j.TIFF", "link.bmp", "Zeta.BMP"})},
        {1, strings({"alpha.bmp", "e.bmp", "link.bmp", "Zeta.BMP"})},
        {2, strings({"F.GIF"})},
        // JPG only: names ending in .JPEG appear under the first entry alone.
        {3, strings({"A.JPG", "b.jpg"})},
        {4, strings({"g.ico"})},
        {5, strings({"h.png"})},
        {6, strings({"i.tif", "j.TIFF"})},
    };
    for (const auto& row : rows)
        EXPECT_EQ(list(row.filter), row.expected) << "filter " << row.filter;
}

TEST_F(FolderListingTest, FilterTextsAreTheDesignedOnes)
{
    QStringList texts;
    for (const lists::TypeFilter& filter : lists::typeFilters())
        texts << filter.text;
    EXPECT_EQ(texts,
              strings({"Tous fichiers Image", "BMP - Windows Bitmap", "GIF - Compuserve GIF",
                       "JPG/JPEG - JPG Images", "ICO - Windows Icons",
                       "PNG - Portable Network Graphics", "TIF - Tagged Image File Format"}));
    EXPECT_TRUE(lists::matchesTypeFilter(u"x.jpeg", 0));
    EXPECT_FALSE(lists::matchesTypeFilter(u"x.jpeg", 3));
    EXPECT_FALSE(lists::matchesTypeFilter(u"x.jpg", 7));
}

TEST_F(FolderListingTest, NamesThatAreNotUtf8AreLeftOut)
{
    const QByteArray raw = QFile::encodeName(dir.path()) + "/caf\xe9.jpg";
    const int fd = ::open(raw.constData(), O_CREAT | O_WRONLY, 0644);
    ASSERT_GE(fd, 0);
    ::close(fd);
    touch(dir.filePath(QStringLiteral("café.jpg")));
    EXPECT_EQ(list(3), strings({"A.JPG", "b.jpg", "café.jpg"}));
    // QTemporaryDir cannot name it either, so remove it here.
    EXPECT_EQ(::unlink(raw.constData()), 0);
}

TEST(FolderListingFailure, AFolderThatCannotBeListedGivesTheSystemsDescription)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("plain"));
    touch(file);
    const struct
    {
        QString folder;
        int error;
    } rows[] = {
        {file, ENOTDIR},
        {file + QStringLiteral("/below"), ENOTDIR},
        {dir.filePath(QStringLiteral("missing")), ENOENT},
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
        {"chosen readable", strings({"/card/", "/", "/home/"}), QStringLiteral("/card/"), true},
        {"chosen unreadable", strings({"/", "/home/"}), QStringLiteral("/home/"), true},
        {"previous pulled out too", strings({"/"}), QStringLiteral("/"), true},
        {"nothing readable", strings({}), QStringLiteral("/"), false},
    };
    for (const auto& row : rows) {
        QStringList attempts;
        const lists::VolumeChoice choice =
            lists::chooseVolume(QStringLiteral("/card/"), QStringLiteral("/home/"),
                                QStringLiteral("/"), [&](const QString& root) {
                                    attempts << root;
                                    lists::FolderListing listing;
                                    if (!row.readable.contains(root))
                                        listing.error = QStringLiteral("unreadable");
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
        EXPECT_FALSE(volume.root.startsWith(QStringLiteral("/proc/"))) << volume.root.toStdString();
}

} // namespace
