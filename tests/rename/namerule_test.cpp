#include "rename/nameforms.h"
#include "rename/namerule.h"

#include <gtest/gtest.h>

using namespace renaming;

namespace {

const QDateTime clock20080212(QDate(2008, 2, 12), QTime(20, 59, 43));
const QDateTime file20070703(QDate(2007, 7, 3), QTime(18, 45, 12));

// Plage.JPG, name text "image", number 1, style "00", twelve entries.
NameInput plage(int form)
{
    return {QStringLiteral("Plage.JPG"),
            form,
            QStringLiteral("image"),
            QStringLiteral("1"),
            1,
            12,
            clock20080212,
            file20070703};
}

QString nameOf(const NameInput& input)
{
    const NameResult result = newName(input);
    EXPECT_TRUE(result.ok()) << result.error.toStdString();
    return result.name;
}

} // namespace

TEST(NameRule, EveryFormOnPlage)
{
    const char* expected[nameFormCount] = {
        "Plage.JPG",
        "pLAGE.JPG",
        "(12-02-2008)Plage.JPG",
        "[03-07-2007]Plage.JPG",
        "Plage(12-02-2008).JPG",
        "Plage[03-07-2007].JPG",
        "Plage(20.59.43).JPG",
        "(20.59.43)Plage.JPG",
        "Plage[18.45.12].JPG",
        "[18.45.12]Plage.JPG",
        "PLAGE.JPG",
        "plage.JPG",
        "plage.JPG",
        "Plage.JPG",
        "(12-02-2008)01.JPG",
        "(12-02-2008)(20.59.43)01.JPG",
        "(20.59.43)01.JPG",
        "[03-07-2007]01.JPG",
        "[03-07-2007][18.45.12]01.JPG",
        "[18.45.12]01.JPG",
        "image01.JPG",
    };
    for (int form = 0; form < nameFormCount; ++form)
        EXPECT_EQ(nameOf(plage(form)), QString::fromUtf8(expected[form])) << "form " << form;
}

TEST(NameRule, OneEntryCarriesNoNumber)
{
    const char* expected[] = {"(12-02-2008).JPG", "(12-02-2008)(20.59.43).JPG", "(20.59.43).JPG",
                              "[03-07-2007].JPG", "[03-07-2007][18.45.12].JPG", "[18.45.12].JPG",
                              "image.JPG"};
    for (int form = 14; form <= 20; ++form) {
        NameInput input = plage(form);
        input.entryCount = 1;
        input.number = QStringLiteral("abc");
        EXPECT_EQ(nameOf(input), QString::fromUtf8(expected[form - 14])) << "form " << form;
    }
}

TEST(NameRule, NumberingStylesAndAutoThresholds)
{
    struct Row
    {
        int format;
        int entries;
        const char* number;
        const char* name;
    };
    const Row rows[] = {
        {4, 9, "1", "image1.JPG"},
        {4, 9, "9", "image9.JPG"},
        {4, 10, "1", "image01.JPG"},
        {4, 10, "10", "image10.JPG"},
        {4, 99, "5", "image05.JPG"},
        {4, 100, "1", "image001.JPG"},
        {4, 999, "1", "image001.JPG"},
        {4, 1000, "1", "image0001.JPG"},
        {4, 9999, "1", "image0001.JPG"},
        {4, 10000, "1", "image00001.JPG"},
        {4, 10000, "10000", "image10000.JPG"},
        {0, 12, "7", "image7.JPG"},
        {1, 12, "1234", "image1234.JPG"},
        {2, 12, "7", "image007.JPG"},
        {3, 12, "12345", "image12345.JPG"},
        {2, 12, " 7 ", "image007.JPG"},
        {0, 12, "007", "image7.JPG"},
        {2, 12, "-5", "image-005.JPG"},
        {9, 12, "1", "image1.JPG"},
        {-1, 12, "3", "image3.JPG"},
        // Text that does not read as a number is written unchanged, whatever the style.
        {2, 12, "abc", "imageabc.JPG"},
        {2, 12, "1.5", "image1.5.JPG"},
        {2, 12, "1e3", "image1e3.JPG"},
        {2, 12, "inf", "imageinf.JPG"},
        {2, 12, "", "image.JPG"},
        {2, 12, "99999999999999999999", "image99999999999999999999.JPG"},
    };
    for (const Row& row : rows) {
        NameInput input = plage(textForm);
        input.format = row.format;
        input.entryCount = row.entries;
        input.number = QString::fromUtf8(row.number);
        EXPECT_EQ(nameOf(input), QString::fromUtf8(row.name))
            << "format " << row.format << ", " << row.entries << " entries, number " << row.number;
    }
}

TEST(NameRule, AutoPadsToTheDigitsOfTheEntryCount)
{
    const std::pair<int, int> rows[] = {{1, 1},     {9999, 4},   {10000, 5},
                                        {99999, 5}, {100000, 6}, {1000000, 7}};
    for (const auto& [entries, width] : rows)
        EXPECT_EQ(numberWidth(autoStyle, entries), width) << entries << " entries";
}

TEST(NameRule, YearFirstDatesInEveryDateForm)
{
    const std::pair<int, const char*> rows[] = {
        {2, "(2008-02-12)Plage.JPG"},         {5, "Plage[2007-07-03].JPG"},
        {15, "(2008-02-12)(20.59.43)01.JPG"}, {18, "[2007-07-03][18.45.12]01.JPG"},
        {9, "[18.45.12]Plage.JPG"},
    };
    for (const auto& [form, name] : rows) {
        NameInput input = plage(form);
        input.dateOrder = DateOrder::YearMonthDay;
        EXPECT_EQ(nameOf(input), QString::fromUtf8(name)) << "form " << form;
    }
}

TEST(NameRule, ReadsAsNumber)
{
    struct Row
    {
        const char* text;
        bool number;
        long long value;
    };
    const Row rows[] = {{"1", true, 1},     {" 42 ", true, 42},
                        {"-3", true, -3},   {"0007", true, 7},
                        {"", false, 0},     {"-", false, 0},
                        {"+1", false, 0},   {"1.5", false, 0},
                        {"1e3", false, 0},  {"inf", false, 0},
                        {"0x1F", false, 0}, {"1 2", false, 0},
                        {"١٢", false, 0},   {"99999999999999999999", false, 0}};
    for (const Row& row : rows) {
        long long value = 0;
        EXPECT_EQ(readsAsNumber(QString::fromUtf8(row.text), &value), row.number) << row.text;
        EXPECT_EQ(value, row.value) << row.text;
    }
}

TEST(NameRule, BaseAndExtension)
{
    struct Row
    {
        const char* name;
        int form;
        const char* result;
    };
    const Row rows[] = {
        {"Plage.jpeg", 11, "plage.jpe"},
        {"scan.tiff", 10, "SCAN.tif"},
        {"Photo.WebP", 11, "photo.WebP"},
        {"PHOTO.JPG", 11, "photo.JPG"},
        {"a.b.png", 10, "A.B.png"},
        {"a.b.c.gif", 1, "a.B.C.gif"},
        {"a.JPG", 0, "A.JPG"},
        {"1abc.jpg", 0, "1abc.jpg"},
        {"1abc.jpg", 1, "1ABC.jpg"},
        {"1abc.jpg", 12, "1abc.jpg"},
        {"1abc.jpg", 13, "1abc.jpg"},
        {"éTÉ.png", 0, "Été.png"},
        {"x.p", 11, "x.p"},
        {"x.", 10, "X."},
        {".jpg", 20, "image01.jpg"},
        // No dot at all: the whole name is the base and no dot is added.
        {"README", 11, "readme"},
        {"README", 20, "image01"},
        {"README", 8, "README[18.45.12]"},
    };
    for (const Row& row : rows) {
        NameInput input = plage(row.form);
        input.name = QString::fromUtf8(row.name);
        EXPECT_EQ(nameOf(input), QString::fromUtf8(row.result)) << row.name << " form " << row.form;
    }
}

TEST(NameRule, FileTimeAtMidnightKeepsItsTime)
{
    struct Row
    {
        int form;
        int entries;
        const char* name;
    };
    const Row rows[] = {{8, 12, "Plage[00.00.00].JPG"},
                        {9, 12, "[00.00.00]Plage.JPG"},
                        {18, 12, "[03-07-2007][00.00.00]01.JPG"},
                        {19, 12, "[00.00.00]01.JPG"},
                        {19, 1, "[00.00.00].JPG"},
                        {3, 12, "[03-07-2007]Plage.JPG"}};
    for (const Row& row : rows) {
        NameInput input = plage(row.form);
        input.entryCount = row.entries;
        input.fileTime = QDateTime(QDate(2007, 7, 3), QTime(0, 0, 0));
        EXPECT_EQ(nameOf(input), QString::fromUtf8(row.name)) << "form " << row.form;
    }
    NameInput clockAtMidnight = plage(16);
    clockAtMidnight.clock = QDateTime(QDate(2008, 1, 5), QTime(0, 0, 0));
    EXPECT_EQ(nameOf(clockAtMidnight), QStringLiteral("(00.00.00)01.JPG"));
}

TEST(NameRule, RefusesNamesThatAreNoFileNames)
{
    struct Row
    {
        QString name;
        QString text;
        QString refused;
    };
    const Row rows[] = {
        {QStringLiteral("Plage.JPG"), QStringLiteral("../x"), QStringLiteral("../x01.JPG")},
        {QStringLiteral("Plage.JPG"), QStringLiteral("a/b"), QStringLiteral("a/b01.JPG")},
        {QStringLiteral("Plage.JPG"), QStringLiteral("a") + QChar(0), QStringLiteral("a\\001.JPG")},
        {QStringLiteral("noext"), QStringLiteral("."), QStringLiteral(".")},
        {QStringLiteral("noext"), QStringLiteral(".."), QStringLiteral("..")},
    };
    for (const Row& row : rows) {
        NameInput input = plage(textForm);
        input.name = row.name;
        input.nameText = row.text;
        if (!row.name.contains(QLatin1Char('.')))
            input.entryCount = 1;
        const NameResult result = newName(input);
        EXPECT_FALSE(result.ok()) << row.text.toStdString();
        EXPECT_EQ(result.error,
                  QStringLiteral("Nom de fichier incorrect : « %1 »").arg(row.refused));
    }
    EXPECT_FALSE(newName(plage(21)).ok());
    EXPECT_FALSE(newName(plage(-1)).ok());
}

TEST(NameForms, FieldRuleAndFileTime)
{
    for (int form = 0; form < nameFormCount; ++form) {
        const FieldState fields = fieldsFor(nameForms()[static_cast<size_t>(form)]);
        EXPECT_EQ(fields.nameText, form == 20) << form;
        EXPECT_EQ(fields.numbering, form >= 14) << form;
        // The file time stamp is read only by the forms that show it.
        const bool fileTime =
            form == 3 || form == 5 || form == 8 || form == 9 || (form >= 17 && form <= 19);
        EXPECT_EQ(nameForms()[static_cast<size_t>(form)].usesFileTime, fileTime) << form;
    }
}
