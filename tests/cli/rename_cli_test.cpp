#include "clirunner.h"

#include <QDateTime>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>

#include <fstream>

using namespace clirunner;

namespace {

class RenameCliTest : public ::testing::Test
{
protected:
    QString path(const QString& name) const { return m_dir.path() + '/' + name; }
    QString folder() const { return m_dir.path(); }

    // Creates files whose content is their own name, so a test can tell them apart later.
    void make(const QStringList& files)
    {
        for (const QString& file : files)
            ASSERT_TRUE(touch(path(file), file.toUtf8()));
    }
    QByteArray content(const QString& name) const
    {
        QFile file(path(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
    }
    // One line per JSON row: result:target:status.
    static QStringList rows(const Result& result)
    {
        QStringList all;
        for (const QJsonObject& line : result.json())
            all.append(line.value("result").toString() + ":" + line.value("target").toString() +
                       ":" + QString::number(line.value("status").toInt()));
        return all;
    }
    Result rename(QStringList arguments, const QStringList& files, Options options = {})
    {
        options.workingDirectory = folder();
        arguments.prepend("rename");
        return run(arguments + files, options);
    }

    QTemporaryDir m_dir;
};

TEST_F(RenameCliTest, DryRunPrintsThePlanAndChangesNothing)
{
    make({"a.jpg", "b.jpg", "image1.jpg", "x2.jpg"});
    const Snapshot before = snapshot(folder());
    Result result = rename({"--form", "text", "--dry-run", "--keep-copy", "own"},
                           {"image1.jpg", "a.jpg", "b.jpg"});
    EXPECT_EQ(result.exitCode, 0) << result.errText().toStdString();
    EXPECT_EQ(result.outLines(), (QStringList{"image1.jpg -> image1.jpg (inchangé)",
                                              "a.jpg -> image2.jpg", "b.jpg -> image3.jpg"}));

    // A refused plan: the same status as the run, `target` only where the file would go.
    result = rename({"--form", "text", "--text", "x", "--dry-run", "--json"}, {"a.jpg", "b.jpg"});
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_EQ(rows(result), (QStringList{"planned:x1.jpg:0", "conflict::0"}));
    EXPECT_FALSE(result.json().value(1).contains("target"));
    EXPECT_EQ(snapshot(folder()), before);
}

// Names that are not valid UTF-8, from the arguments, standard input (by lines or NUL) or
// --dest, are refused by their bytes: caf\xe9.jpg never reaches the file caf\uFFFD.jpg.
TEST_F(RenameCliTest, NamesThatAreNotUtf8AreRefusedBeforeTheRun)
{
    const QByteArray raw = QFile::encodeName(folder()) + "/caf\xe9.jpg";
    ASSERT_TRUE(std::ofstream(raw.constData()).good());
    make({"caf\uFFFD.jpg", "a.jpg"});
    const QStringList before = names(folder());
    const QString refusal = "caf\\xe9.jpg : nom de fichier non UTF-8 : refusé";

    const std::pair<QStringList, QByteArray> cases[] = {
        // bash $'...' texts, standard input
        {{"a.jpg", "caf\\351.jpg"}, {}},
        {{"-"}, "a.jpg\ncaf\xe9.jpg\n"},
        {{"--null", "-"}, QByteArray("a.jpg\0caf\xe9.jpg\0", 15)},
        {{"--dest", "caf\\351.jpg", "a.jpg"}, {}},
    };
    for (const auto& [arguments, input] : cases) {
        SCOPED_TRACE(arguments.join(' ').toStdString());
        const Result result =
            runWithRawArguments(QStringList{"rename", "--form", "upper"} + arguments,
                                {.workingDirectory = folder(), .input = input});
        EXPECT_EQ(result.exitCode, 2);
        EXPECT_TRUE(result.errText().contains(refusal)) << result.errText().toStdString();
        EXPECT_TRUE(result.out.isEmpty());
        EXPECT_EQ(names(folder()), before);
        EXPECT_EQ(content("caf\uFFFD.jpg"), QByteArray("caf\uFFFD.jpg"));
    }
    EXPECT_EQ(::unlink(raw.constData()), 0); // QTemporaryDir cannot name it
}

// What the front end adds to the engine's results: form keywords, one JSON row per file
// (`target` only where the file now is) and the exit statuses.
TEST_F(RenameCliTest, JsonRowsAndExitStatuses)
{
    make({"a.jpg", "b.jpg", "c.jpg", "image.jpg"});
    const QStringList three{"a.jpg", "b.jpg", "c.jpg"};
    Result result = rename({"--form", "text"}, {"a.jpg"});
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_EQ(result.errText(), "morvane-batch: a.jpg : Le fichier image.jpg existe déjà.\n"
                                "morvane-batch: 1 fichier(s) en conflit : rien n'a été changé.\n");
    EXPECT_EQ(rows(rename({"--form", "text", "--json"}, {"a.jpg"})), QStringList{"conflict::0"});

    // c.jpg fails (EIO), then b.jpg cannot go back from x2.jpg.
    result = rename({"--form", "text", "--text", "x", "--json"}, three,
                    {.environment = {"MORVANE_BATCH_TEST_FAIL=rename:c.jpg,rename:x2.jpg"}});
    EXPECT_EQ(result.exitCode, 3);
    EXPECT_EQ(rows(result), (QStringList{"undone::0", "stranded:x2.jpg:0", "failed::5"}));
    EXPECT_TRUE(result.errText().contains("ATTENTION : b.jpg : Le fichier est maintenant x2.jpg"));
    ASSERT_EQ(::rename(QFile::encodeName(path("x2.jpg")), QFile::encodeName(path("b.jpg"))), 0);

    result = rename({"--form", "text", "--text", "x"}, three,
                    {.environment = {"MORVANE_BATCH_TEST_FAIL=rename:c.jpg"}});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_TRUE(result.errText().contains("Échec : 2 fichier(s) remis sous leur ancien nom."));

    result = rename({"--form", "UPPER", "--json"}, three);
    EXPECT_EQ(result.exitCode, 0) << result.errText().toStdString();
    EXPECT_EQ(rows(result), (QStringList{"ok:A.jpg:0", "ok:B.jpg:0", "ok:C.jpg:0"}));
    EXPECT_EQ(result.errText(), "morvane-batch: 3 fichier(s) renommé(s), 0 inchangé(s).\n");
}

TEST_F(RenameCliTest, StopSignalThroughTheTestPausePutsFilesBack)
{
    for (const int signal : {SIGINT, SIGTERM}) {
        SCOPED_TRACE(signal);
        QTemporaryDir dir;
        m_dir.swap(dir);
        make({"a.jpg", "b.jpg", "c.jpg"});
        const Snapshot before = snapshot(folder());
        const Result result =
            rename({"--form", "upper", "--keep-copy", "own", "--json"}, {"a.jpg", "b.jpg", "c.jpg"},
                   {.environment = {"MORVANE_BATCH_TEST_PAUSE_AFTER=2"},
                    .atPause = [signal](qint64 pid) { ::kill(static_cast<pid_t>(pid), signal); }});
        EXPECT_EQ(result.exitCode, signal == SIGINT ? 130 : 143) << result.errText().toStdString();
        EXPECT_EQ(snapshot(folder()), before);
        EXPECT_EQ(rows(result), (QStringList{"undone::0", "undone::0", "not-run::0"}));
    }
}

// A run killed half way through a cycle of 2000 names (one file under a temporary name):
// the next command names the journal, and undo puts every name back.
TEST_F(RenameCliTest, UndoAfterSigkillRestoresEveryName)
{
    QStringList files{"image2000.jpg"};
    for (int i = 1; i < 2000; ++i)
        files.append(QString("image%1.jpg").arg(i));
    make(files);
    const Snapshot before = snapshot(folder());
    Result result =
        rename({"--form", "text", "--style", "0"}, {"-"},
               {.input = files.join('\n').toUtf8(),
                .environment = {"MORVANE_BATCH_TEST_PAUSE_AFTER=1000"},
                .atPause = [](qint64 pid) { ::kill(static_cast<pid_t>(pid), SIGKILL); }});
    EXPECT_EQ(result.exitCode, -1);
    EXPECT_FALSE(names(folder()).filter(".morvane-cycle-").isEmpty());

    result = rename({"--form", "upper", "--dry-run"}, {"image1.jpg"});
    EXPECT_TRUE(result.errText().contains("Un renommage a été interrompu : "))
        << result.errText().toStdString();
    result = run({"undo"});
    EXPECT_EQ(result.exitCode, 0) << result.errText().toStdString();
    EXPECT_EQ(result.errText(), "morvane-batch: 1001 fichier(s) remis sous leur ancien nom, 0 "
                                "copie(s) gardée(s) supprimée(s).\n");
    EXPECT_EQ(snapshot(folder()), before);
    EXPECT_EQ(content("image7.jpg"), QByteArray("image7.jpg"));
    EXPECT_TRUE(run({"undo", "--list"}).out.contains("annulé"));
}

TEST_F(RenameCliTest, PathsFromStandardInputAndAfterDoubleDash)
{
    make({"a.jpg", "b c.jpg", "-x.jpg"});
    Result result = rename({"--form", "upper"}, {"-"}, {.input = "a.jpg\nb c.jpg\n"});
    EXPECT_EQ(result.exitCode, 0) << result.errText().toStdString();
    EXPECT_EQ(names(folder()), (QStringList{"-x.jpg", "A.jpg", "B C.jpg"}));
    result = rename({"--form", "lower", "--null"}, {"-"}, {.input = {"A.jpg\0B C.jpg\0", 14}});
    EXPECT_EQ(result.exitCode, 0) << result.errText().toStdString();
    result = rename({"--form", "upper", "--"}, {"-x.jpg"});
    EXPECT_EQ(result.exitCode, 0) << result.errText().toStdString();
    EXPECT_EQ(names(folder()), (QStringList{"-X.jpg", "a.jpg", "b c.jpg"}));
}

TEST_F(RenameCliTest, UsageErrorsExitTwoWithAFrenchMessage)
{
    make({"a.jpg"});
    const std::vector<std::pair<QStringList, const char*>> cases{
        {{"rename", "a.jpg"}, "--form est obligatoire"},
        {{"rename", "--form", "nope", "a.jpg"}, "Type de nom inconnu"},
        {{"rename", "--form", "21", "a.jpg"}, "Type de nom inconnu"},
        {{"rename", "--form", "text", "--style", "5", "a.jpg"}, "Format de numéro inconnu"},
        {{"rename", "--form", "text", "--keep-copy", "x", "a.jpg"}, "--keep-copy"},
        {{"rename", "--form", "text", "--text", "", "a.jpg"}, "Entrer un nom !"},
        {{"rename", "--form", "text", "--start", "abc", "a.jpg", "a.jpg"}, "numéro de début"},
        {{"rename", "--form", "text", "--bogus", "a.jpg"}, "bogus"},
        {{"rename", "--form", "text", "--date", "exif", "a.jpg"}, "--date vaut modified ou taken"},
        {{"rename", "--form", "text", "--date-order", "mdy", "a.jpg"}, "--date-order vaut dmy"},
        {{"rename", "--form", "text"}, "Aucun FICHIER"},
        {{"rename", "--form", "text", "-", "a.jpg"}, "seul FICHIER"},
        {{"frobnicate"}, "Commande inconnue"},
        {{}, "Aucune commande"},
    };
    const Snapshot before = snapshot(folder());
    for (const auto& [arguments, message] : cases) {
        SCOPED_TRACE(arguments.join(' ').toStdString());
        const Result result = run(arguments, {.workingDirectory = folder()});
        EXPECT_EQ(result.exitCode, 2);
        EXPECT_TRUE(result.errText().contains(QString::fromUtf8(message)))
            << result.errText().toStdString();
        EXPECT_TRUE(result.out.isEmpty());
    }
    EXPECT_EQ(snapshot(folder()), before);
}

// A camera photo named by its date taken, year first; a file without one by its own date.
TEST_F(RenameCliTest, DateTakenYearFirst)
{
    ASSERT_TRUE(QFile::copy(MORVANE_TEST_DATA "/camera.jpg", path("photo.jpg")));
    make({"plain.jpg"});
    QFile plain(path("plain.jpg"));
    ASSERT_TRUE(plain.open(QIODevice::ReadWrite) &&
                plain.setFileTime(QDateTime(QDate(2001, 2, 3), QTime(4, 5, 6)),
                                  QFileDevice::FileModificationTime));
    const Result result = rename({"--form", "17", "--date", "taken", "--date-order", "ymd"},
                                 {"photo.jpg", "plain.jpg"});
    EXPECT_EQ(result.exitCode, 0) << result.errText().toStdString();
    EXPECT_EQ(names(folder()), (QStringList{"[2001-02-03]2.jpg", "[2008-10-22]1.jpg"}));
}

TEST_F(RenameCliTest, HelpNamesTheFormsAndVersionIsPrinted)
{
    const Result result = run({"rename", "--help"});
    EXPECT_EQ(result.exitCode, 0);
    for (const char* expected : {"Remplace par Date et Heure Fichier", "lower-first-upper-rest"})
        EXPECT_TRUE(result.out.contains(expected)) << expected;
    EXPECT_EQ(run({"--version"}).out, QByteArray("morvane-batch " MORVANE_VERSION "\n"));
}

// A reader that stops early (`| head`) must not end the run half way.
TEST_F(RenameCliTest, ClosedOutputDoesNotStopTheRun)
{
    QStringList files;
    for (int i = 0; i < 3000; ++i)
        files.append(QString("photo-%1.jpg").arg(i));
    make(files);
    QProcess shell; // the tool's status, 141 if SIGPIPE ended it
    shell.setProcessEnvironment(environment());
    shell.setWorkingDirectory(folder());
    shell.start("/bin/bash",
                {"-c", "\"$0\" rename --form upper --json - | head -c 1; exit ${PIPESTATUS[0]}",
                 MORVANE_BATCH_EXECUTABLE});
    ASSERT_TRUE(shell.waitForStarted());
    shell.write(files.join('\n').toUtf8());
    shell.closeWriteChannel();
    ASSERT_TRUE(shell.waitForFinished(60000));
    EXPECT_EQ(shell.exitCode(), 0);
    EXPECT_EQ(names(folder()).filter("PHOTO-").size(), 3000);
}

} // namespace
