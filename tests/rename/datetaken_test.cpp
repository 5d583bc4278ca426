#include "imaging/datetaken.h"
#include "rename/newnamepreview.h"
#include "rename/renameplan.h"

#include "testimages.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <exiv2/exiv2.hpp>
#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace Qt::StringLiterals;

namespace {

// A camera photo: DateTimeOriginal 2008:10:22 16:28:39, DateTime (edited) 2008:11:01 21:15:07.
const QString cameraPhoto = QStringLiteral(MORVANE_TEST_CORPUS "/jpeg/exs_DSCN0010.jpg");

TEST(DateTaken, ExifDateTexts)
{
    struct Row
    {
        std::string_view text;
        const char* expected; // ISO form, or nullptr for no date
    };
    const Row rows[] = {
        {"2007:07:03 18:45:12", "2007-07-03T18:45:12"},
        {std::string_view("2007:07:03 18:45:12\0", 20), "2007-07-03T18:45:12"},
        {"2007:07:03 00:00:00", "2007-07-03T00:00:00"},
        {"", nullptr},
        {"                   ", nullptr},
        {"0000:00:00 00:00:00", nullptr},
        {"2007:13:03 18:45:12", nullptr},
        {"2007:02:30 18:45:12", nullptr},
        {"2007:07:03 24:00:00", nullptr},
        {"2007-07-03 18:45:12", nullptr},
        {"2007:07:03 18:45", nullptr},
        {"2007:07:3  18:45:12", nullptr},
    };
    for (const Row& row : rows) {
        const std::optional<QDateTime> date = imaging::parseExifDateTime(row.text);
        EXPECT_EQ(date ? date->toString(Qt::ISODate).remove(u'Z') : u"none"_s,
                  row.expected ? QString::fromLatin1(row.expected) : u"none"_s)
            << row.text;
    }
}

class DateTakenFiles : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(m_dir.isValid()); }

    QString path(const QString& name) const { return m_dir.path() + u'/' + name; }

    // A JPEG with the EXIF dates given (an empty text leaves the tag out) and a modification
    // time of 2001-02-03 04:05:06.
    void makeJpeg(const QString& name, const std::vector<std::pair<const char*, const char*>>& tags)
    {
        ASSERT_TRUE(testimages::write(testimages::quadrants(32, 24), path(name), "JPEG"));
        if (!tags.empty()) {
            Exiv2::Image::AutoPtr image =
                Exiv2::ImageFactory::open(QFile::encodeName(path(name)).toStdString());
            image->readMetadata();
            for (const auto& [key, value] : tags)
                image->exifData()[key] = std::string(value);
            image->writeMetadata();
        }
        setModified(name);
    }
    void setModified(const QString& name)
    {
        QFile file(path(name));
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        ASSERT_TRUE(file.setFileTime(QDateTime(QDate(2001, 2, 3), QTime(4, 5, 6)),
                                     QFileDevice::FileModificationTime));
    }

    QTemporaryDir m_dir;
};

// Which tag gives the date, and every way of having none, read from real files.
TEST_F(DateTakenFiles, FirstValidTagElseNone)
{
    makeJpeg(u"digitized.jpg"_s, {{"Exif.Photo.DateTimeDigitized", "2005:06:07 08:09:10"},
                                  {"Exif.Image.DateTime", "2009:01:01 00:00:00"}});
    makeJpeg(u"badoriginal.jpg"_s, {{"Exif.Photo.DateTimeOriginal", "2007:13:01 10:00:00"},
                                    {"Exif.Image.DateTime", "2006:05:04 03:02:01"}});
    makeJpeg(u"noexif.jpg"_s, {});
    makeJpeg(u"blank.jpg"_s, {{"Exif.Photo.DateTimeOriginal", "0000:00:00 00:00:00"}});
    ASSERT_TRUE(testimages::write(testimages::quadrants(8, 8), path(u"plain.png"_s), "PNG"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(path(u"fifo.jpg"_s)).constData(), 0644), 0);
    ASSERT_TRUE(testimages::writeBytes(path(u"cut.jpg"_s), QByteArray("\xFF\xD8\xFF\xE1\x40", 5)));

    const auto taken = [this](const QString& name) {
        const std::optional<QDateTime> date = imaging::dateTaken(path(name));
        return date ? date->toString(u"yyyy-MM-dd hh:mm:ss"_s) : u"none"_s;
    };
    EXPECT_EQ(taken(u"digitized.jpg"_s), u"2005-06-07 08:09:10"_s);
    EXPECT_EQ(taken(u"badoriginal.jpg"_s), u"2006-05-04 03:02:01"_s);
    for (const QString& none : {u"noexif.jpg"_s, u"blank.jpg"_s, u"plain.png"_s, u"fifo.jpg"_s,
                                u"cut.jpg"_s, u"missing.jpg"_s})
        EXPECT_EQ(taken(none), u"none"_s) << none.toStdString();

    if (!QFile::exists(cameraPhoto))
        GTEST_SKIP() << "no camera sample at " << cameraPhoto.toStdString();
    EXPECT_EQ(imaging::dateTaken(cameraPhoto)->toString(u"yyyy-MM-dd hh:mm:ss"_s),
              u"2008-10-22 16:28:39"_s);
}

// The plan (and so the run) and the new-name column give one name from one date, and the
// column marks a file whose date taken is missing, without refusing the run.
TEST_F(DateTakenFiles, PlanAndColumnNameByDateTaken)
{
    makeJpeg(u"a.jpg"_s, {{"Exif.Photo.DateTimeOriginal", "2007:07:03 18:45:12"}});
    makeJpeg(u"b.jpg"_s, {{"Exif.Photo.DateTimeOriginal", "2007:13:03 18:45:12"}});
    makeJpeg(u"c.jpg"_s, {});
    QStringList files{u"a.jpg"_s, u"b.jpg"_s, u"c.jpg"_s};
    const bool withCamera = QFile::exists(cameraPhoto);
    if (withCamera) {
        ASSERT_TRUE(QFile::copy(cameraPhoto, path(u"d.jpg"_s)));
        setModified(u"d.jpg"_s);
        files.append(u"d.jpg"_s);
    }

    renaming::ColumnRequest request;
    request.options.form = 18; // "Remplace par Date et Heure Fichier"
    request.options.dateTaken = true;
    request.options.dateOrder = renaming::DateOrder::YearMonthDay;
    request.clock = QDateTime(QDate(2008, 2, 12), QTime(20, 59, 43));
    QStringList paths;
    for (const QString& file : files) {
        request.entries.push_back({m_dir.path() + u'/', file});
        paths.append(path(file));
    }
    const renaming::ColumnNames column = renaming::columnNames(request);
    const renaming::RenamePlan plan = renaming::planRename(paths, request.options, request.clock);
    ASSERT_FALSE(plan.refused());

    QStringList expected{u"[2007-07-03][18.45.12]1.jpg"_s, u"[2001-02-03][04.05.06]2.jpg"_s,
                         u"[2001-02-03][04.05.06]3.jpg"_s};
    if (withCamera)
        expected.append(u"[2008-10-22][16.28.39]4.jpg"_s);
    const std::vector<renaming::NameMark> marks{
        renaming::NameMark::None, renaming::NameMark::NoDateTaken, renaming::NameMark::NoDateTaken,
        renaming::NameMark::None};
    for (qsizetype i = 0; i < files.size(); ++i) {
        const auto at = static_cast<std::size_t>(i);
        EXPECT_EQ(column.names[at], expected[i]);
        EXPECT_EQ(plan.entries[at].target, path(expected[i]));
        EXPECT_EQ(column.marks[at], marks[at]) << files[i].toStdString();
    }
    EXPECT_EQ(renaming::nameMarkText(renaming::NameMark::NoDateTaken),
              u"pas de date de prise de vue : date de modification utilisée"_s);

    // A conflict outranks the missing date: the run would refuse it.
    renaming::ColumnNames marked = column;
    marked.names[1] = marked.names[0];
    renaming::markNames(request, marked);
    EXPECT_EQ(marked.marks[1], renaming::NameMark::GivenTwice);
    EXPECT_EQ(marked.marks[2], renaming::NameMark::NoDateTaken);
}

} // namespace
