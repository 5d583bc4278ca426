#include "settings/settingsschema.h"
#include "settings/settingsstore.h"
#include "testimages.h"

#include <QFile>
#include <QRandomGenerator>
#include <QSettings>
#include <QSysInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <tuple>

namespace {

namespace n = settings::names;
using namespace Qt::StringLiterals;

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

class SettingsStoreTest : public ::testing::Test
{
protected:
    QTemporaryDir dir;
    QString iniPath() const { return dir.filePath(u"config/Morvane/Morvane.ini"_s); }
};

TEST_F(SettingsStoreTest, FirstStartStoresTheTwelveDefaultsAndFlagsReadAsWritten)
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
    // The advanced options are not written: each reads as its default.
    for (const settings::Default& entry : settings::advancedDefaults) {
        EXPECT_FALSE(store.exists(entry.name));
        EXPECT_EQ(store.readFlag(entry.name), SettingsStore::parseFlag(entry.value));
    }

    // The values are written in the order of the table, under the product section.
    QSettings raw(iniPath(), QSettings::IniFormat);
    raw.beginGroup(u"software/Morvane"_s);
    EXPECT_EQ(raw.childKeys().size(), 12);

    // Flags written as words read like digits.
    ASSERT_TRUE(store.writeFlag(n::renomDest, true));
    ASSERT_TRUE(store.writeFlag(n::renomOrig, false));
    EXPECT_EQ(store.readText(n::renomDest) + store.readText(n::renomOrig), u"TrueFalse"_s);
    // GarderDates, never stored, reads as its default.
    const SettingsSnapshot got = store.snapshot();
    EXPECT_TRUE(got.renomDest && !got.renomOrig && got.repertCopieDest && got.format == 4 &&
                got.visu == u"1"_s && !got.garderDates);
}

TEST_F(SettingsStoreTest, ValuesSurviveLaterStartsAndChangesFromOutsideAreSeenUnlessBroken)
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

    // Another program rewrites the file: "Visu" removed, "Format" changed.
    QByteArray text = readAll(iniPath());
    text.replace("Morvane\\Visu=0\n", "");
    text.replace("Format=garbage", "Format=2");
    ASSERT_TRUE(testimages::writeBytes(iniPath(), text));

    EXPECT_FALSE(again.exists(n::visu));
    EXPECT_EQ(again.readText(n::visu), QString());
    EXPECT_EQ(again.readNumber(n::format), 2);

    // Broken while running: the next write fails and leaves the file as it is.
    const QByteArray broken = readAll(iniPath()) + "Morvane\\Visu\n";
    ASSERT_TRUE(testimages::writeBytes(iniPath(), broken));
    EXPECT_FALSE(again.write(n::format, u"1"_s));
    EXPECT_EQ(readAll(iniPath()), broken);
}

// Each stored text as a flag, a number, the JPEG quality (0 to 100, else 75), the PNG
// compression (0 to 9, else -1) and an advanced flag (anything but a flag: its default, on).
TEST_F(SettingsStoreTest, FlagNumberFormsAndFallbacks)
{
    SettingsStore store(iniPath());
    store.initialise(u"/a"_s);
    const SettingsSnapshot fresh = store.snapshot();
    EXPECT_EQ(fresh.qualiteJpeg, 90); // nothing stored
    EXPECT_EQ(fresh.compressionPng, -1);
    const std::tuple<const char*, bool, long long, int, int, bool> rows[] = {
        {"True", true, 0, 75, -1, true},    {"true", true, 0, 75, -1, true},
        {"VRAI", true, 0, 75, -1, true},    {"vrai", true, 0, 75, -1, true},
        {"1", true, 1, 1, 1, true},         {" 1 ", true, 1, 1, 1, true},
        {"-3", true, -3, 75, -1, true},     {"2.5", true, 0, 75, -1, true},
        {"False", false, 0, 75, -1, false}, {"FAUX", false, 0, 75, -1, false},
        {"faux", false, 0, 75, -1, false},  {"0", false, 0, 0, 0, false},
        {"0.0", false, 0, 75, -1, false},   {"", false, 0, 75, -1, true},
        {"oui", false, 0, 75, -1, true},    {"9", true, 9, 9, 9, true},
        {"10", true, 10, 10, -1, true},     {" 100 ", true, 100, 100, -1, true},
        {"101", true, 101, 75, -1, true},
    };
    for (const auto& [bytes, flag, number, quality, compression, advanced] : rows) {
        SCOPED_TRACE(bytes);
        const QString text = QString::fromUtf8(bytes);
        EXPECT_EQ(SettingsStore::parseFlag(text), flag);
        EXPECT_EQ(SettingsStore::parseNumber(text), number);
        for (const QString& name : {n::qualiteJpeg, n::compressionPng, n::garderMeta})
            ASSERT_TRUE(store.write(name, text));
        const SettingsSnapshot snapshot = store.snapshot();
        EXPECT_EQ(snapshot.qualiteJpeg, quality);
        EXPECT_EQ(snapshot.compressionPng, compression);
        EXPECT_EQ(snapshot.garderMeta, advanced);
    }
    EXPECT_EQ(SettingsStore::folderText(u"/"_s), u"/"_s);
}

TEST_F(SettingsStoreTest, UnwritableFileIsReportedAndReadsStillWork)
{
    // A settings path under a regular file cannot be created, even by root.
    ASSERT_TRUE(testimages::writeBytes(dir.filePath(u"blocker"_s), "x"));
    const QString path = dir.filePath(u"blocker/Morvane.ini"_s);
    SettingsStore store(path);
    const StartupReport report = store.initialise(u"/a"_s);
    EXPECT_FALSE(report.defaultsStored);
    EXPECT_FALSE(store.write(n::visu, u"0"_s));
    EXPECT_EQ(store.readText(n::visu), QString());
    EXPECT_TRUE(store.writeFailureText().contains(path)) << store.writeFailureText().toStdString();
    EXPECT_TRUE(store.writeFailureText().startsWith(u"Les réglages ne peuvent pas"_s));
}

// A file Morvane cannot read entirely is moved aside with its bytes intact, never rewritten;
// the run goes on from the defaults. A readable one is kept and written to.
TEST_F(SettingsStoreTest, OnlyAFileReadEntirelyIsRewritten)
{
    const QByteArray valid = "; Morvane\n\n# réglages\r\n[software]\nMorvane\\Visu = 0\n";
    QByteArray random(20 * 1024, '\0');
    QRandomGenerator generator(7);
    for (char& byte : random)
        byte = char(generator.bounded(256));
    const QString text = u"[software]\nMorvane\\Visu=0\n"_s;
    const QByteArray utf16 =
        "\xFF\xFE" + QByteArray(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
    const std::tuple<const char*, QByteArray, bool> rows[] = {
        {"unclosed section", "[software/Morvane\nVisu=0\n", false},
        {"random bytes", random, false},
        {"NUL bytes", QByteArray(4096, '\0'), false},
        {"prose", valid + "Ceci n'est pas un fichier de réglages.\n", false},
        {"UTF-16 with its byte order mark", utf16, false},
        {"1 MiB + 1", valid + QByteArray(RegAccess::maxFileSize - valid.size(), ';') + "\n", false},
        {"comments and blank lines, 1 MiB",
         valid + ';' + QByteArray(RegAccess::maxFileSize - valid.size() - 2, 'x') + '\n', true},
    };
    for (const auto& [name, bytes, kept] : rows) {
        SCOPED_TRACE(name);
        QTemporaryDir rowDir;
        const QString path = rowDir.filePath(u"Morvane.ini"_s);
        ASSERT_TRUE(testimages::writeBytes(path, bytes));

        SettingsStore store(path);
        const StartupReport report = store.initialise(u"/a"_s);
        EXPECT_TRUE(report.defaultsStored);
        EXPECT_EQ(store.readText(n::format), u"4"_s);
        if (kept) {
            EXPECT_FALSE(report.movedAside);
            EXPECT_EQ(store.readText(n::visu), u"0"_s);
            continue;
        }
        ASSERT_TRUE(report.movedAside);
        EXPECT_TRUE(report.movedAside->second.startsWith(path + u".illisible-"_s));
        EXPECT_EQ(readAll(report.movedAside->second), bytes);
        EXPECT_EQ(store.readText(n::visu), u"1"_s);
    }
}

// A lock file left by a start that was killed while writing does not hold the next one.
TEST_F(SettingsStoreTest, LeftoverLockFileIsRemoved)
{
    const std::pair<const char*, QByteArray> locks[] = {
        {"no such process", "2147483646\nmorvane\n" + QSysInfo::machineHostName().toUtf8() + '\n'},
        {"garbage", "\x93\x01 garbage\n\n"},
    };
    for (const auto& [name, lock] : locks) {
        SCOPED_TRACE(name);
        QTemporaryDir rowDir;
        const QString path = rowDir.filePath(u"Morvane.ini"_s);
        ASSERT_TRUE(testimages::writeBytes(path + u".lock"_s, lock));
        SettingsStore store(path);
        EXPECT_TRUE(store.initialise(u"/a"_s).defaultsStored);
        EXPECT_FALSE(QFile::exists(path + u".lock"_s));
    }
}

} // namespace
