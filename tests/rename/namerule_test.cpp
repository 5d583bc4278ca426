#include "rename/nameforms.h"
#include "rename/namerule.h"

#include <gtest/gtest.h>

#include <tuple>
#include <utility>

using namespace renaming;
using namespace Qt::StringLiterals;

namespace {

const QDateTime clock20080212(QDate(2008, 2, 12), QTime(20, 59, 43));
const QDateTime file20070703(QDate(2007, 7, 3), QTime(18, 45, 12));

// Plage.JPG, name text "image", number 1, style "00", twelve entries.
NameInput plage(int form)
{
    return {u"Plage.JPG"_s, form, u"image"_s, u"1"_s, 1, 12, clock20080212, file20070703};
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
    QStringList names;
    for (int form = 0; form < nameFormCount; ++form)
        names.append(nameOf(plage(form)));
    EXPECT_EQ(names.join(u' '),
              u"Plage.JPG pLAGE.JPG (12-02-2008)Plage.JPG [03-07-2007]Plage.JPG "
              "Plage(12-02-2008).JPG Plage[03-07-2007].JPG Plage(20.59.43).JPG (20.59.43)Plage.JPG "
              "Plage[18.45.12].JPG [18.45.12]Plage.JPG PLAGE.JPG plage.JPG plage.JPG Plage.JPG "
              "(12-02-2008)01.JPG (12-02-2008)(20.59.43)01.JPG (20.59.43)01.JPG [03-07-2007]01.JPG "
              "[03-07-2007][18.45.12]01.JPG [18.45.12]01.JPG image01.JPG"_s);
}

TEST(NameRule, OneEntryCarriesNoNumber)
{
    const std::pair<int, const char*> rows[] = {{15, "(12-02-2008)(20.59.43).JPG"},
                                                {20, "image.JPG"}};
    for (const auto& [form, name] : rows) {
        NameInput input = plage(form);
        input.entryCount = 1;
        input.number = QStringLiteral("abc");
        EXPECT_EQ(nameOf(input), QString::fromUtf8(name)) << "form " << form;
    }
}

// The number as written: padded to the style's width, never cut, its sign kept; text that does
// not read as a number is written unchanged.
TEST(NameRule, NumberText)
{
    const std::pair<const char*, const char*> rows[] = {
        {"7", "image007.JPG"},    {"12345", "image12345.JPG"}, {" 7 ", "image007.JPG"},
        {"0007", "image007.JPG"}, {"-5", "image-005.JPG"},     {"abc", "imageabc.JPG"},
        {"", "image.JPG"},
    };
    for (const auto& [number, name] : rows) {
        NameInput input = plage(textForm);
        input.format = 2;
        input.number = QString::fromUtf8(number);
        EXPECT_EQ(nameOf(input), QString::fromUtf8(name)) << number;
    }
    NameInput autoWidth = plage(textForm);
    autoWidth.format = autoStyle;
    autoWidth.entryCount = 100;
    EXPECT_EQ(nameOf(autoWidth), QStringLiteral("image001.JPG"));
}

// Fixed styles give 1 to 4 digits, Auto as many as the entry count has, others none.
TEST(NameRule, NumberWidth)
{
    const std::pair<int, int> styles[] = {{0, 1}, {3, 4}, {9, 0}, {-1, 0}}; // for 12 entries
    for (const auto& [format, width] : styles)
        EXPECT_EQ(numberWidth(format, 12), width) << "format " << format;
    const std::pair<int, int> counts[] = {{1, 1},   {9, 1},    {10, 2},    {99, 2},
                                          {100, 3}, {9999, 4}, {10000, 5}, {1000000, 7}};
    for (const auto& [entries, width] : counts)
        EXPECT_EQ(numberWidth(autoStyle, entries), width) << entries << " entries";
}

TEST(NameRule, YearFirstDatesFromTheClockAndTheFile)
{
    const std::pair<int, const char*> rows[] = {{15, "(2008-02-12)(20.59.43)01.JPG"},
                                                {5, "Plage[2007-07-03].JPG"}};
    for (const auto& [form, name] : rows) {
        NameInput input = plage(form);
        input.dateOrder = DateOrder::YearMonthDay;
        EXPECT_EQ(nameOf(input), QString::fromUtf8(name)) << "form " << form;
    }
}

TEST(NameRule, ReadsAsNumber)
{
    const std::pair<const char*, long long> numbers[] = {
        {"1", 1}, {" 42 ", 42}, {"-3", -3}, {"0007", 7}};
    for (const auto& [text, expected] : numbers) {
        long long value = 0;
        EXPECT_TRUE(readsAsNumber(QString::fromUtf8(text), &value)) << text;
        EXPECT_EQ(value, expected) << text;
    }
    for (const char* text :
         {"", "-", "+1", "1.5", "1e3", "inf", "0x1F", "1 2", "١٢", "99999999999999999999"}) {
        long long value = 0;
        EXPECT_FALSE(readsAsNumber(QString::fromUtf8(text), &value)) << text;
        EXPECT_EQ(value, 0) << text;
    }
}

TEST(NameRule, BaseAndExtension)
{
    // The last two: no dot at all, the whole name is the base and no dot is added.
    const std::tuple<const char*, int, const char*> rows[] = {
        {"Plage.jpeg", 11, "plage.jpe"},
        {"scan.tiff", 10, "SCAN.tif"},
        {"Photo.WebP", 11, "photo.WebP"},
        {"a.b.png", 10, "A.B.png"},
        {"a.b.c.gif", 1, "a.B.C.gif"},
        {"a.JPG", 0, "A.JPG"},
        {"1abc.jpg", 1, "1ABC.jpg"},
        {"éTÉ.png", 0, "Été.png"},
        {"x.p", 11, "x.p"},
        {"x.", 10, "X."},
        {".jpg", 20, "image01.jpg"},
        {"README", 11, "readme"},
        {"README", 8, "README[18.45.12]"},
    };
    for (const auto& [name, form, result] : rows) {
        NameInput input = plage(form);
        input.name = QString::fromUtf8(name);
        EXPECT_EQ(nameOf(input), QString::fromUtf8(result)) << name << " form " << form;
    }
}

TEST(NameRule, TimeAtMidnightIsStillWritten)
{
    NameInput file = plage(18);
    file.fileTime = QDateTime(QDate(2007, 7, 3), QTime(0, 0, 0));
    EXPECT_EQ(nameOf(file), QStringLiteral("[03-07-2007][00.00.00]01.JPG"));
    NameInput clock = plage(16);
    clock.clock = QDateTime(QDate(2008, 1, 5), QTime(0, 0, 0));
    EXPECT_EQ(nameOf(clock), QStringLiteral("(00.00.00)01.JPG"));
}

TEST(NameRule, RefusesNamesThatAreNoFileNames)
{
    const std::tuple<QString, QString, QString> rows[] = {
        {u"Plage.JPG"_s, u"../x"_s, u"../x01.JPG"_s},
        {u"Plage.JPG"_s, u"a/b"_s, u"a/b01.JPG"_s},
        {u"Plage.JPG"_s, u"a\0"_s, u"a\\001.JPG"_s},
        {u"noext"_s, u"."_s, u"."_s},
        {u"noext"_s, u".."_s, u".."_s},
    };
    for (const auto& [name, text, refused] : rows) {
        NameInput input = plage(textForm);
        input.name = name;
        input.nameText = text;
        input.entryCount = name.contains(u'.') ? 12 : 1;
        const NameResult result = newName(input);
        EXPECT_FALSE(result.ok()) << text.toStdString();
        EXPECT_EQ(result.error, u"Nom de fichier incorrect : « %1 »"_s.arg(refused));
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
