#include "imaging/datetaken.h"
#include "rename/newnamepreview.h"
#include "rename/renameplan.h"

#include "testimages.h"

#include <QFile>
#include <QTemporaryDir>

#include <exiv2/exiv2.hpp>
#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace Qt::StringLiterals;
using renaming::NameMark;

namespace {

QString text(const std::optional<QDateTime>& date)
{
    return date ? date->toString(u"yyyy-MM-dd hh:mm:ss"_s) : u"none"_s;
}

TEST(DateTaken, ExifDateTexts)
{
    const std::pair<std::string_view, const char*> rows[] = {
        {std::string_view("2007:07:03 00:00:00\0", 20), "2007-07-03 00:00:00"},
        {"", "none"},
        {"2007:02:30 18:45:12", "none"},
        {"2007:07:03 24:00:00", "none"},
        {"2007-07-03 18:45:12", "none"},
    };
    for (const auto& [exif, expected] : rows)
        EXPECT_EQ(text(imaging::parseExifDateTime(exif)), QLatin1String(expected)) << exif;
}

class DateTakenFiles : public ::testing::Test
{
protected:
    QString path(const QString& name) const { return m_dir.path() + u'/' + name; }

    // A JPEG with these EXIF values, modified at 2001-02-03 04:05:06.
    void makeJpeg(const QString& name, const std::vector<std::pair<const char*, const char*>>& tags)
    {
        ASSERT_TRUE(testimages::write(testimages::quadrants(32, 24), path(name), "JPEG"));
        Exiv2::Image::AutoPtr image = Exiv2::ImageFactory::open(path(name).toStdString());
        image->readMetadata();
        for (const auto& [key, value] : tags)
            image->exifData()[key] = std::string(value);
        image->writeMetadata();
        QFile file(path(name));
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        ASSERT_TRUE(file.setFileTime({{2001, 2, 3}, {4, 5, 6}}, QFileDevice::FileModificationTime));
    }

    QTemporaryDir m_dir;
};

// Which tag gives the date, and every way of having none, from real files.
TEST_F(DateTakenFiles, FirstValidTagElseNone)
{
    makeJpeg(u"digitized.jpg"_s, {{"Exif.Photo.DateTimeDigitized", "2005:06:07 08:09:10"},
                                  {"Exif.Image.DateTime", "2009:01:01 00:00:00"}});
    makeJpeg(u"badoriginal.jpg"_s, {{"Exif.Photo.DateTimeOriginal", "2007:13:01 10:00:00"},
                                    {"Exif.Image.DateTime", "2006:05:04 03:02:01"}});
    makeJpeg(u"blank.jpg"_s, {{"Exif.Photo.DateTimeOriginal", "0000:00:00 00:00:00"}});
    ASSERT_TRUE(testimages::write(testimages::quadrants(8, 8), path(u"plain.png"_s), "PNG"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(path(u"fifo.jpg"_s)).constData(), 0644), 0);
    ASSERT_TRUE(testimages::writeBytes(path(u"cut.jpg"_s), QByteArray("\xFF\xD8\xFF\xE1\x40", 5)));
    const std::pair<QString, const char*> rows[] = {
        {u"digitized.jpg"_s, "2005-06-07 08:09:10"},
        {u"badoriginal.jpg"_s, "2006-05-04 03:02:01"},
        {u"blank.jpg"_s, "none"},
        {u"plain.png"_s, "none"},
        {u"fifo.jpg"_s, "none"},
        {u"cut.jpg"_s, "none"},
        {u"missing.jpg"_s, "none"},
    };
    for (const auto& [name, expected] : rows)
        EXPECT_EQ(text(imaging::dateTaken(path(name))), QLatin1String(expected))
            << name.toStdString();
}

// The plan (and so the run) and the new-name column give one name from one date; the column
// marks a picture without a valid date taken, and a conflict outranks that mark.
TEST_F(DateTakenFiles, PlanAndColumnNameByDateTaken)
{
    makeJpeg(u"a.jpg"_s, {{"Exif.Photo.DateTimeOriginal", "2007:07:03 18:45:12"}});
    makeJpeg(u"b.jpg"_s, {{"Exif.Photo.DateTimeOriginal", "2007:13:03 18:45:12"}});
    makeJpeg(u"c.jpg"_s, {});
    // A camera photo: DateTimeOriginal 2008:10:22 16:28:39, DateTime 2008:11:01 21:15:07.
    ASSERT_TRUE(QFile::copy(QStringLiteral(MORVANE_TEST_DATA "/camera.jpg"), path(u"d.jpg"_s)));

    renaming::ColumnRequest request;
    request.options.form = 18; // "Remplace par Date et Heure Fichier"
    request.options.dateTaken = true;
    request.options.dateOrder = renaming::DateOrder::YearMonthDay;
    QStringList paths;
    for (const QString& file : {u"a.jpg"_s, u"b.jpg"_s, u"c.jpg"_s, u"d.jpg"_s}) {
        request.entries.push_back({m_dir.path() + u'/', file});
        paths.append(path(file));
    }
    const renaming::ColumnNames column = renaming::columnNames(request);
    const renaming::RenamePlan plan = renaming::planRename(paths, request.options, {});
    ASSERT_FALSE(plan.refused());
    const std::pair<const char*, NameMark> expected[] = {
        {"[2007-07-03][18.45.12]1.jpg", NameMark::None},
        {"[2001-02-03][04.05.06]2.jpg", NameMark::NoDateTaken},
        {"[2001-02-03][04.05.06]3.jpg", NameMark::NoDateTaken},
        {"[2008-10-22][16.28.39]4.jpg", NameMark::None},
    };
    for (std::size_t i = 0; i < std::size(expected); ++i) {
        EXPECT_EQ(column.names[i], QLatin1String(expected[i].first));
        EXPECT_EQ(plan.entries[i].target, path(QLatin1String(expected[i].first)));
        EXPECT_EQ(column.marks[i], expected[i].second) << i;
    }

    renaming::ColumnNames marked = column;
    marked.names[1] = marked.names[0];
    renaming::markNames(request, marked);
    EXPECT_EQ(marked.marks[1], NameMark::GivenTwice);
    EXPECT_EQ(marked.marks[2], NameMark::NoDateTaken);
}

} // namespace
