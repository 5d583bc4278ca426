#include "settings/settingsschema.h"
#include "settings/settingsstore.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

namespace n = settings::names;

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
    QString iniPath() const { return dir.filePath(QStringLiteral("config/Morvane/Morvane.ini")); }
};

TEST_F(SettingsStoreTest, FirstStartStoresTheTwelveDefaultsInOrder)
{
    SettingsStore store(iniPath());
    const StartupReport report = store.initialise(QStringLiteral("/opt/morvane/bin/"));
    EXPECT_TRUE(report.defaultsStored);
    EXPECT_FALSE(report.movedAside);

    const QStringList expected = {
        QStringLiteral("1"), QStringLiteral("/opt/morvane/bin"), QStringLiteral("/opt/morvane/bin"),
        QStringLiteral("4"), QStringLiteral("0"),                QStringLiteral("0"),
        QStringLiteral("0"), QStringLiteral("1"),                QStringLiteral("1"),
        QStringLiteral("0"), QStringLiteral("1"),                QStringLiteral("0")};
    ASSERT_EQ(settings::defaults.size(), static_cast<size_t>(expected.size()));
    for (size_t i = 0; i < settings::defaults.size(); ++i)
        EXPECT_EQ(store.readText(settings::defaults[i].name), expected[int(i)])
            << settings::defaults[i].name.toStdString();

    // The values are written in the order of the table, under the product section.
    QSettings raw(iniPath(), QSettings::IniFormat);
    raw.beginGroup(QStringLiteral("software/Morvane"));
    EXPECT_EQ(raw.childKeys().size(), 12);
}

TEST_F(SettingsStoreTest, FolderDefaultKeepsOnlyTheRootSeparator)
{
    EXPECT_EQ(SettingsStore::folderText(QStringLiteral("/")), QStringLiteral("/"));
    EXPECT_EQ(SettingsStore::folderText(QStringLiteral("/usr/bin/")), QStringLiteral("/usr/bin"));
    EXPECT_EQ(SettingsStore::folderText(QStringLiteral("/usr/bin")), QStringLiteral("/usr/bin"));
}

TEST_F(SettingsStoreTest, ExistingValuesSurviveLaterStarts)
{
    {
        SettingsStore store(iniPath());
        store.initialise(QStringLiteral("/a"));
        ASSERT_TRUE(store.write(n::visu, QStringLiteral("0")));
        ASSERT_TRUE(store.write(n::repertNom, QStringLiteral("/photos")));
        ASSERT_TRUE(store.write(n::format, QStringLiteral("garbage")));
    }
    SettingsStore again(iniPath());
    EXPECT_TRUE(again.initialise(QStringLiteral("/b")).defaultsStored);
    EXPECT_EQ(again.readText(n::visu), QStringLiteral("0"));
    EXPECT_EQ(again.readText(n::repertNom), QStringLiteral("/photos"));
    EXPECT_EQ(again.readText(n::repertConv), QStringLiteral("/a"));
    EXPECT_EQ(again.readText(n::format), QStringLiteral("garbage"));
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
        {"True", true, 0},   {"true", true, 0},   {"VRAI", true, 0},  {"vrai", true, 0},
        {"1", true, 1},      {" 1 ", true, 1},    {"-3", true, -3},   {"2.5", true, 0},
        {"False", false, 0}, {"FAUX", false, 0},  {"faux", false, 0}, {"0", false, 0},
        {"0.0", false, 0},   {"", false, 0},      {"oui", false, 0},  {"4", true, 4},
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
    store.initialise(QStringLiteral("/a"));
    EXPECT_FALSE(store.readFlag(n::renomDest)); // "0"
    ASSERT_TRUE(store.writeFlag(n::renomDest, true));
    EXPECT_EQ(store.readText(n::renomDest), QStringLiteral("True"));
    EXPECT_TRUE(store.readFlag(n::renomDest));
    ASSERT_TRUE(store.writeFlag(n::renomOrig, false));
    EXPECT_EQ(store.readText(n::renomOrig), QStringLiteral("False"));

    const SettingsSnapshot snapshot = store.snapshot();
    EXPECT_TRUE(snapshot.renomDest);
    EXPECT_FALSE(snapshot.renomOrig);
    EXPECT_TRUE(snapshot.repertCopieDest);
    EXPECT_EQ(snapshot.format, 4);
    EXPECT_EQ(snapshot.visu, QStringLiteral("1"));
}

TEST_F(SettingsStoreTest, ChangesFromOutsideAreSeenAtTheNextRead)
{
    SettingsStore store(iniPath());
    store.initialise(QStringLiteral("/a"));
    ASSERT_EQ(store.readText(n::visu), QStringLiteral("1"));

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
    writeAll(dir.filePath(QStringLiteral("blocker")), "x");
    const QString path = dir.filePath(QStringLiteral("blocker/Morvane.ini"));
    SettingsStore store(path);
    const StartupReport report = store.initialise(QStringLiteral("/a"));
    EXPECT_FALSE(report.defaultsStored);
    EXPECT_FALSE(store.write(n::visu, QStringLiteral("0")));
    EXPECT_EQ(store.readText(n::visu), QString());
    EXPECT_TRUE(store.writeFailureText().contains(path)) << store.writeFailureText().toStdString();
    EXPECT_TRUE(store.writeFailureText().startsWith(QStringLiteral("Les réglages ne peuvent pas")));
}

TEST_F(SettingsStoreTest, MalformedFileIsMovedAsideNeverRewritten)
{
    QDir().mkpath(QFileInfo(iniPath()).absolutePath());
    const QByteArray broken = "[software/Morvane\nVisu=0\n\x01\x02 not an ini file\n";
    writeAll(iniPath(), broken);

    SettingsStore store(iniPath());
    const StartupReport report = store.initialise(QStringLiteral("/a"));
    ASSERT_TRUE(report.movedAside);
    EXPECT_EQ(report.movedAside->first, iniPath());
    EXPECT_TRUE(report.movedAside->second.startsWith(iniPath() + QStringLiteral(".illisible-")));
    EXPECT_EQ(readAll(report.movedAside->second), broken);
    EXPECT_TRUE(report.defaultsStored);
    EXPECT_EQ(store.readText(n::visu), QStringLiteral("1"));

    const QString text = SettingsStore::movedAsideText(report.movedAside->first,
                                                       report.movedAside->second);
    EXPECT_TRUE(text.contains(report.movedAside->first) &&
                text.contains(report.movedAside->second));
}

TEST_F(SettingsStoreTest, FileBrokenWhileRunningIsNotOverwritten)
{
    SettingsStore store(iniPath());
    store.initialise(QStringLiteral("/a"));
    const QByteArray broken = "[software/Morvane\nVisu=0\n";
    writeAll(iniPath(), broken);
    EXPECT_FALSE(store.write(n::format, QStringLiteral("1")));
    EXPECT_EQ(readAll(iniPath()), broken);
}

} // namespace
