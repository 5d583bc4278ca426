#include "settings/settingsschema.h"
#include "settings/settingsstore.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

namespace n = settings::names;
using namespace Qt::StringLiterals;

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeAll(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

class SettingsStoreTest : public ::testing::Test
{
protected:
    QTemporaryDir dir;
    QString iniPath() const { return dir.filePath(u"config/Morvane/Morvane.ini"_s); }
};

TEST_F(SettingsStoreTest, FirstStartStoresTheTwelveDefaultsInOrder)
{
    SettingsStore store(iniPath());
    const StartupReport report = store.initialise(u"/opt/morvane/bin/"_s);
    EXPECT_TRUE(report.defaultsStored);
    EXPECT_FALSE(report.movedAside);

    const QStringList expected =
        u"1 /opt/morvane/bin /opt/morvane/bin 4 0 0 0 1 1 0 1 0"_s.split(u' ');
    ASSERT_EQ(settings::defaults.size(), static_cast<size_t>(expected.size()));
    for (size_t i = 0; i < settings::defaults.size(); ++i)
        EXPECT_EQ(store.readText(settings::defaults[i].name), expected[int(i)])
            << settings::defaults[i].name.toStdString();

    // The values are written in the order of the table, under the product section.
    QSettings raw(iniPath(), QSettings::IniFormat);
    raw.beginGroup(u"software/Morvane"_s);
    EXPECT_EQ(raw.childKeys().size(), 12);
}

TEST_F(SettingsStoreTest, FolderDefaultKeepsOnlyTheRootSeparator)
{
    EXPECT_EQ(SettingsStore::folderText(u"/"_s), u"/"_s);
    EXPECT_EQ(SettingsStore::folderText(u"/usr/bin/"_s), u"/usr/bin"_s);
    EXPECT_EQ(SettingsStore::folderText(u"/usr/bin"_s), u"/usr/bin"_s);
}

TEST_F(SettingsStoreTest, ExistingValuesSurviveLaterStarts)
{
    {
        SettingsStore store(iniPath());
        store.initialise(u"/a"_s);
        ASSERT_TRUE(store.write(n::visu, u"0"_s));
        ASSERT_TRUE(store.write(n::repertNom, u"/photos"_s));
        ASSERT_TRUE(store.write(n::format, u"garbage"_s));
    }
    SettingsStore again(iniPath());
    EXPECT_TRUE(again.initialise(u"/b"_s).defaultsStored);
    EXPECT_EQ(again.readText(n::visu), u"0"_s);
    EXPECT_EQ(again.readText(n::repertNom), u"/photos"_s);
    EXPECT_EQ(again.readText(n::repertConv), u"/a"_s);
    EXPECT_EQ(again.readText(n::format), u"garbage"_s);
}

TEST(SettingsReaders, FlagAndNumberForms)
{
    struct Row
    {
        const char* text;
        bool flag;
        long long number;
    };
    const Row rows[] = {
        {"True", true, 0},   {"true", true, 0},  {"VRAI", true, 0},  {"vrai", true, 0},
        {"1", true, 1},      {" 1 ", true, 1},   {"-3", true, -3},   {"2.5", true, 0},
        {"False", false, 0}, {"FAUX", false, 0}, {"faux", false, 0}, {"0", false, 0},
        {"0.0", false, 0},   {"", false, 0},     {"oui", false, 0},  {"4", true, 4},
    };
    for (const Row& row : rows) {
        const QString text = QString::fromUtf8(row.text);
        EXPECT_EQ(SettingsStore::parseFlag(text), row.flag) << row.text;
        EXPECT_EQ(SettingsStore::parseNumber(text), row.number) << row.text;
    }
}

TEST_F(SettingsStoreTest, FlagsWrittenAsWordsReadLikeDigits)
{
    SettingsStore store(iniPath());
    store.initialise(u"/a"_s);
    EXPECT_FALSE(store.readFlag(n::renomDest)); // "0"
    ASSERT_TRUE(store.writeFlag(n::renomDest, true));
    EXPECT_EQ(store.readText(n::renomDest), u"True"_s);
    EXPECT_TRUE(store.readFlag(n::renomDest));
    ASSERT_TRUE(store.writeFlag(n::renomOrig, false));
    EXPECT_EQ(store.readText(n::renomOrig), u"False"_s);

    const SettingsSnapshot snapshot = store.snapshot();
    EXPECT_TRUE(snapshot.renomDest);
    EXPECT_FALSE(snapshot.renomOrig);
    EXPECT_TRUE(snapshot.repertCopieDest);
    EXPECT_EQ(snapshot.format, 4);
    EXPECT_EQ(snapshot.visu, u"1"_s);
}

TEST_F(SettingsStoreTest, ChangesFromOutsideAreSeenAtTheNextRead)
{
    SettingsStore store(iniPath());
    store.initialise(u"/a"_s);
    ASSERT_EQ(store.readText(n::visu), u"1"_s);

    // Another program rewrites the file: "Visu" removed, "Format" changed.
    QByteArray text = readAll(iniPath());
    text.replace("Visu=1\n", "");
    text.replace("Format=4", "Format=2");
    writeAll(iniPath(), text);

    EXPECT_FALSE(store.exists(n::visu));
    EXPECT_EQ(store.readText(n::visu), QString());
    EXPECT_EQ(store.readNumber(n::format), 2);
}

TEST_F(SettingsStoreTest, UnwritableFileIsReportedAndReadsStillWork)
{
    // A settings path under a regular file cannot be created, even by root.
    writeAll(dir.filePath(u"blocker"_s), "x");
    const QString path = dir.filePath(u"blocker/Morvane.ini"_s);
    SettingsStore store(path);
    const StartupReport report = store.initialise(u"/a"_s);
    EXPECT_FALSE(report.defaultsStored);
    EXPECT_FALSE(store.write(n::visu, u"0"_s));
    EXPECT_EQ(store.readText(n::visu), QString());
    EXPECT_TRUE(store.writeFailureText().contains(path)) << store.writeFailureText().toStdString();
    EXPECT_TRUE(store.writeFailureText().startsWith(u"Les réglages ne peuvent pas"_s));
}

TEST_F(SettingsStoreTest, MalformedFileIsMovedAsideNeverRewritten)
{
    QDir().mkpath(QFileInfo(iniPath()).absolutePath());
    const QByteArray broken = "[software/Morvane\nVisu=0\n\x01\x02 not an ini file\n";
    writeAll(iniPath(), broken);

    SettingsStore store(iniPath());
    const StartupReport report = store.initialise(u"/a"_s);
    ASSERT_TRUE(report.movedAside);
    EXPECT_EQ(report.movedAside->first, iniPath());
    EXPECT_TRUE(report.movedAside->second.startsWith(iniPath() + u".illisible-"_s));
    EXPECT_EQ(readAll(report.movedAside->second), broken);
    EXPECT_TRUE(report.defaultsStored);
    EXPECT_EQ(store.readText(n::visu), u"1"_s);

    const QString text =
        SettingsStore::movedAsideText(report.movedAside->first, report.movedAside->second);
    EXPECT_TRUE(text.contains(report.movedAside->first) &&
                text.contains(report.movedAside->second));
}

TEST_F(SettingsStoreTest, FileBrokenWhileRunningIsNotOverwritten)
{
    SettingsStore store(iniPath());
    store.initialise(u"/a"_s);
    const QByteArray broken = "[software/Morvane\nVisu=0\n";
    writeAll(iniPath(), broken);
    EXPECT_FALSE(store.write(n::format, u"1"_s));
    EXPECT_EQ(readAll(iniPath()), broken);
}

} // namespace
