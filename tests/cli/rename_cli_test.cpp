#include "clirunner.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace clirunner;

namespace {

class RenameCliTest : public ::testing::Test
{
protected:
    QString path(const QString& name) const { return m_dir.path() + QLatin1Char('/') + name; }
    QString folder() const { return m_dir.path(); }

    // Creates files whose content is their own name, so a test can tell them apart later.
    void make(const QStringList& files)
    {
        for (const QString& file : files) {
            if (file.contains(QLatin1Char('/')))
                QDir(folder()).mkpath(file.left(file.lastIndexOf(QLatin1Char('/'))));
            ASSERT_TRUE(touch(path(file), file.toUtf8()));
        }
    }
    QByteArray content(const QString& name) const
    {
        QFile file(path(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
    }
    void setTime(const QString& name, const QDateTime& time)
    {
        QFile file(path(name));
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        ASSERT_TRUE(file.setFileTime(time, QFileDevice::FileModificationTime));
    }
    Result rename(QStringList arguments, const QStringList& files, Options options = {})
    {
        options.workingDirectory = folder();
        arguments.prepend(QStringLiteral("rename"));
        return run(arguments + files, options);
    }

    QTemporaryDir m_dir;
};

struct FormCase
{
    const char* form;
    QStringList extra;
    QStringList files;
    QStringList expected;
};

TEST_F(RenameCliTest, EachFormFamilyGivesTheWindowsNames)
{
    const QDateTime stamp(QDate(2007, 7, 3), QTime(18, 45, 12));
    const QDateTime midnight(QDate(2009, 1, 2), QTime(0, 0, 0));
    const std::vector<FormCase> cases{
        {"0", {}, {"pLAGE.JPG"}, {"Plage.JPG"}},
        {"lower-first-upper-rest", {}, {"Plage.jpg"}, {"pLAGE.jpg"}},
        {"upper", {}, {"plage.jpeg", "b.png"}, {"B.png", "PLAGE.jpe"}},
        {"LOWER", {}, {"PHOTO.JPG"}, {"photo.JPG"}},
        {"lower-first", {}, {"ABC.gif"}, {"aBC.gif"}},
        {"13", {}, {"abc.gif"}, {"Abc.gif"}},
        {"file-date-prefix", {}, {"Plage.JPG"}, {"[03-07-2007]Plage.JPG"}},
        {"file-date-suffix", {}, {"Plage.JPG"}, {"Plage[03-07-2007].JPG"}},
        {"file-time-suffix", {}, {"Plage.JPG"}, {"Plage[18.45.12].JPG"}},
        {"9", {}, {"Plage.JPG"}, {"[18.45.12]Plage.JPG"}},
        {"file-date", {}, {"a.jpg", "b.jpg"}, {"[03-07-2007]1.jpg", "[03-07-2007]2.jpg"}},
        {"file-date-time",
         {"--style", "00"},
         {"a.jpg", "b.jpg"},
         {"[03-07-2007][18.45.12]01.jpg", "[03-07-2007][18.45.12]02.jpg"}},
        {"file-time", {}, {"Plage.JPG"}, {"[18.45.12].JPG"}},
        {"text", {}, {"a.jpg"}, {"image.jpg"}},
        {"text",
         {"--text", "vac", "--style", "000"},
         {"a.jpg", "b.png", "c.gif"},
         {"vac001.jpg", "vac002.png", "vac003.gif"}},
        {"20", {"--style", "0", "--start", "9"}, {"a.jpg", "b.jpg"}, {"image10.jpg", "image9.jpg"}},
        {"text",
         {"--style", "0000", "--start", "12345"},
         {"a.jpg", "b.jpg"},
         {"image12345.jpg", "image12346.jpg"}},
    };
    for (const FormCase& row : cases) {
        SCOPED_TRACE(row.form);
        QTemporaryDir dir;
        m_dir.swap(dir);
        make(row.files);
        for (const QString& file : row.files)
            setTime(file, stamp);
        const Result result =
            rename(QStringList{QStringLiteral("--form"), QString::fromLatin1(row.form)} + row.extra,
                   row.files);
        EXPECT_EQ(result.exitCode, 0) << result.errText().toStdString();
        EXPECT_EQ(names(folder()), row.expected);
    }

    // Auto style follows the count; a midnight time stamp still writes its time.
    QTemporaryDir dir;
    m_dir.swap(dir);
    QStringList ten;
    for (int i = 0; i < 10; ++i)
        ten.append(QStringLiteral("f%1.png").arg(i));
    make(ten);
    Result result = rename({QStringLiteral("--form"), QStringLiteral("text")}, ten);
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_TRUE(QFile::exists(path(QStringLiteral("image01.png"))));
    EXPECT_TRUE(QFile::exists(path(QStringLiteral("image10.png"))));
    make({QStringLiteral("m.jpg")});
    setTime(QStringLiteral("m.jpg"), midnight);
    result =
        rename({QStringLiteral("--form"), QStringLiteral("file-time")}, {QStringLiteral("m.jpg")});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_TRUE(QFile::exists(path(QStringLiteral("[00.00.00].jpg"))));
}

TEST_F(RenameCliTest, SystemClockFormsUseTodaysDate)
{
    make({QStringLiteral("a.jpg")});
    const QString today = QDate::currentDate().toString(QStringLiteral("dd-MM-yyyy"));
    const Result result = rename(
        {QStringLiteral("--form"), QStringLiteral("system-date-prefix"), QStringLiteral("--json")},
        {QStringLiteral("a.jpg")});
    ASSERT_EQ(result.exitCode, 0);
    const QString target = result.json().value(0).value(QStringLiteral("target")).toString();
    // The run may cross midnight; either day is the clock's.
    const QString yesterday =
        QDate::currentDate().addDays(-1).toString(QStringLiteral("dd-MM-yyyy"));
    EXPECT_TRUE(target == QStringLiteral("(%1)a.jpg").arg(today) ||
                target == QStringLiteral("(%1)a.jpg").arg(yesterday))
        << target.toStdString();
    EXPECT_TRUE(QFile::exists(path(target)));
}

struct CopyCase
{
    const char* name;
    QStringList options;
    bool destElsewhere;
    QStringList own;  // the file's own folder afterwards
    QStringList dest; // the destination folder afterwards
};

// The window's table of copy settings, row for row, for Plage.JPG renamed to image01.JPG.
// A second file, in another folder, gives the run its numbering.
TEST_F(RenameCliTest, KeptCopiesFollowTheWindowsTable)
{
    const std::vector<CopyCase> cases{
        {"no copy, own folder", {}, false, {"image01.JPG"}, {}},
        {"no copy, dest", {}, true, {}, {"image01.JPG"}},
        {"copy in dest, own folder",
         {"--keep-copy", "dest"},
         false,
         {"Plage.JPG", "image01.JPG"},
         {}},
        {"copy in dest, dest", {"--keep-copy", "dest"}, true, {}, {"Plage.JPG", "image01.JPG"}},
        {"copy in own, dest", {"--keep-copy", "own"}, true, {"Plage.JPG"}, {"image01.JPG"}},
        {"copy in own, own folder",
         {"--keep-copy", "own"},
         false,
         {"Plage.JPG", "image01.JPG"},
         {}},
    };
    const QDateTime stamp(QDate(2010, 5, 6), QTime(7, 8, 9));
    for (const CopyCase& row : cases) {
        SCOPED_TRACE(row.name);
        QTemporaryDir dir;
        m_dir.swap(dir);
        make({QStringLiteral("own/Plage.JPG"), QStringLiteral("other/z.JPG")});
        QDir(folder()).mkdir(QStringLiteral("dest"));
        setTime(QStringLiteral("own/Plage.JPG"), stamp);
        QStringList options{QStringLiteral("--form"), QStringLiteral("text"),
                            QStringLiteral("--style"), QStringLiteral("00")};
        options += row.options;
        if (row.destElsewhere)
            options += {QStringLiteral("--dest"), QStringLiteral("dest")};
        const Result result =
            rename(options, {QStringLiteral("own/Plage.JPG"), QStringLiteral("other/z.JPG")});
        ASSERT_EQ(result.exitCode, 0) << result.errText().toStdString();
        EXPECT_EQ(names(path(QStringLiteral("own"))), row.own);
        QStringList dest = names(path(QStringLiteral("dest")));
        dest.removeAll(QStringLiteral("image02.JPG")); // the second file and its copy
        dest.removeAll(QStringLiteral("z.JPG"));
        EXPECT_EQ(dest, row.dest);
        // Copies and moves keep the modification time: a date form gives the same name again.
        const QString renamed =
            (row.destElsewhere ? QStringLiteral("dest/") : QStringLiteral("own/")) +
            QStringLiteral("image01.JPG");
        EXPECT_EQ(content(renamed), QByteArray("own/Plage.JPG"));
        EXPECT_EQ(QFileInfo(path(renamed)).lastModified(), stamp);
        for (const QString& copy :
             {QStringLiteral("own/Plage.JPG"), QStringLiteral("dest/Plage.JPG")}) {
            if (QFile::exists(path(copy))) {
                EXPECT_EQ(content(copy), QByteArray("own/Plage.JPG"));
                EXPECT_EQ(QFileInfo(path(copy)).lastModified(), stamp);
            }
        }
    }
}

TEST_F(RenameCliTest, DryRunChangesNothingAndPrintsEachFile)
{
    make({QStringLiteral("a.jpg"), QStringLiteral("b.jpg"), QStringLiteral("image1.jpg")});
    const Snapshot before = snapshot(folder());
    Result result =
        rename({QStringLiteral("--form"), QStringLiteral("text"), QStringLiteral("--dry-run"),
                QStringLiteral("--keep-copy"), QStringLiteral("own")},
               {QStringLiteral("image1.jpg"), QStringLiteral("a.jpg"), QStringLiteral("b.jpg")});
    EXPECT_EQ(result.exitCode, 0) << result.errText().toStdString();
    EXPECT_EQ(result.outLines(), (QStringList{QStringLiteral("image1.jpg -> image1.jpg (inchangé)"),
                                              QStringLiteral("a.jpg -> image2.jpg"),
                                              QStringLiteral("b.jpg -> image3.jpg")}));
    EXPECT_EQ(snapshot(folder()), before);

    // A refused run: the dry run gives the same status and report, and still changes nothing.
    result = rename({QStringLiteral("--form"), QStringLiteral("text"), QStringLiteral("--dry-run"),
                     QStringLiteral("--json")},
                    {QStringLiteral("a.jpg")});
    EXPECT_EQ(result.exitCode, 0);
    make({QStringLiteral("image.jpg")});
    const Snapshot before2 = snapshot(folder());
    result = rename({QStringLiteral("--form"), QStringLiteral("text"), QStringLiteral("--dry-run"),
                     QStringLiteral("--json")},
                    {QStringLiteral("a.jpg")});
    EXPECT_EQ(result.exitCode, 2);
    ASSERT_EQ(result.json().size(), 1);
    EXPECT_EQ(result.json()[0].value(QStringLiteral("result")).toString(),
              QStringLiteral("conflict"));
    EXPECT_EQ(snapshot(folder()), before2);
}

struct ConflictCase
{
    const char* name;
    QStringList make;
    QStringList options;
    QStringList files;
    int conflictAt; // the entry reported as conflicting
    const char* message;
};

TEST_F(RenameCliTest, PreflightReportsEachKindOfConflictAndChangesNothing)
{
    const QString longText(300, QLatin1Char('n'));
    const std::vector<ConflictCase> cases{
        {"given twice",
         {"a.jpg", "b.jpg"},
         {"--form", "text"},
         {"a.jpg", "b.jpg", "./a.jpg"},
         2,
         "deux fois"},
        {"same target",
         {"d1/a.jpg", "d2/a.jpg", "d/"},
         {"--form", "upper", "--dest", "d"},
         {"d1/a.jpg", "d2/a.jpg"},
         1,
         "Nom final A.jpg déjà pris"},
        {"target taken by a file that stays",
         {"a.jpg", "image.jpg"},
         {"--form", "text"},
         {"a.jpg"},
         0,
         "existe déjà"},
        {"target is a file kept under its name",
         {"AB.jpg", "Ab.jpg"},
         {"--form", "upper"},
         {"AB.jpg", "Ab.jpg"},
         1,
         "garde son nom"},
        {"kept copy's temporary name taken",
         {"a.jpg", "a.jpgTemp"},
         {"--form", "upper", "--keep-copy", "own"},
         {"a.jpg"},
         0,
         "a.jpgTemp existe déjà"},
        {"old names stay taken with kept copies",
         {"image1.jpg", "image2.jpg"},
         {"--form", "text", "--keep-copy", "own"},
         {"image2.jpg", "image1.jpg"},
         1,
         "copie gardée"},
        {"copy in the destination would take the new name",
         {"a/Plage.JPG", "d/"},
         {"--form", "0", "--dest", "d", "--keep-copy", "dest"},
         {"a/Plage.JPG"},
         0,
         "Plage.JPG"},
        {"slash in the name", {"a.jpg"}, {"--form", "text", "--text", "x/y"}, {"a.jpg"}, 0, ""},
        {"name too long",
         {"a.jpg"},
         {"--form", "text", "--text", longText.toLatin1().constData()},
         {"a.jpg"},
         0,
         "trop long"},
        {"missing destination",
         {"a.jpg"},
         {"--form", "upper", "--dest", "nowhere"},
         {"a.jpg"},
         0,
         "introuvable"},
        {"destination is a file",
         {"a.jpg", "f"},
         {"--form", "upper", "--dest", "f/"},
         {"a.jpg"},
         0,
         "introuvable"},
        {"missing source", {"a.jpg"}, {"--form", "upper"}, {"a.jpg", "gone.jpg"}, 1, "introuvable"},
        {"a folder", {"a.jpg", "sub/"}, {"--form", "upper"}, {"a.jpg", "sub"}, 1, "dossier"},
    };
    for (const ConflictCase& row : cases) {
        SCOPED_TRACE(row.name);
        QTemporaryDir dir;
        m_dir.swap(dir);
        for (const QString& file : row.make) {
            if (file.endsWith(QLatin1Char('/')))
                QDir(folder()).mkpath(file);
            else
                make({file});
        }
        const Snapshot before = snapshot(folder());
        const Result result =
            rename(row.options + QStringList{QStringLiteral("--json")}, row.files);
        EXPECT_EQ(result.exitCode, 2) << result.errText().toStdString();
        const QList<QJsonObject> lines = result.json();
        ASSERT_EQ(lines.size(), row.files.size()) << result.out.toStdString();
        for (int i = 0; i < lines.size(); ++i) {
            const QString got = lines[i].value(QStringLiteral("result")).toString();
            if (i == row.conflictAt) {
                EXPECT_EQ(got, QStringLiteral("conflict"));
                EXPECT_TRUE(lines[i]
                                .value(QStringLiteral("message"))
                                .toString()
                                .contains(QString::fromUtf8(row.message)))
                    << lines[i].value(QStringLiteral("message")).toString().toStdString();
            }
        }
        EXPECT_EQ(snapshot(folder()), before);
    }
}

// A FIFO would block the copy that --keep-copy makes, and a link to nothing fails the move:
// both are refused before anything changes.
TEST_F(RenameCliTest, FifosAndDanglingLinksAreRefusedBeforeTheRun)
{
    make({QStringLiteral("a.jpg")});
    ASSERT_EQ(::mkfifo(QFile::encodeName(path(QStringLiteral("p.jpg"))).constData(), 0644), 0);
    ASSERT_TRUE(QFile::link(path(QStringLiteral("gone.jpg")), path(QStringLiteral("d.jpg"))));
    const Snapshot before = snapshot(folder());
    const Result result =
        rename({QStringLiteral("--form"), QStringLiteral("upper"), QStringLiteral("--keep-copy"),
                QStringLiteral("own"), QStringLiteral("--json")},
               {QStringLiteral("a.jpg"), QStringLiteral("p.jpg"), QStringLiteral("d.jpg")});
    EXPECT_EQ(result.exitCode, 2) << result.errText().toStdString();
    const QList<QJsonObject> lines = result.json();
    ASSERT_EQ(lines.size(), 3);
    EXPECT_EQ(lines[1].value(QStringLiteral("result")).toString(), QStringLiteral("conflict"));
    EXPECT_TRUE(lines[1]
                    .value(QStringLiteral("message"))
                    .toString()
                    .startsWith(QStringLiteral("ce n'est pas un fichier ordinaire")));
    EXPECT_EQ(lines[2].value(QStringLiteral("message")).toString(),
              QStringLiteral("Lien symbolique sans cible."));
    EXPECT_EQ(snapshot(folder()), before);
}

// Names that are not valid UTF-8, from the arguments, standard input (by lines or NUL) or
// --dest, are refused by their bytes: caf\xe9.jpg never reaches the file caf\uFFFD.jpg.
TEST_F(RenameCliTest, NamesThatAreNotUtf8AreRefusedBeforeTheRun)
{
    const QByteArray raw = QFile::encodeName(folder()) + "/caf\xe9.jpg";
    const int fd = ::open(raw.constData(), O_CREAT | O_WRONLY, 0644);
    ASSERT_GE(fd, 0);
    ::close(fd);
    make({QStringLiteral("caf\uFFFD.jpg"), QStringLiteral("a.jpg")});
    const QStringList before = names(folder());
    const QString refusal = QStringLiteral("caf\\xe9.jpg : nom de fichier non UTF-8 : refusé");

    struct Case
    {
        const char* what;
        QStringList arguments; // bash $'...' texts
        QByteArray input;
    };
    const std::vector<Case> cases{
        {"argument", {"rename", "--form", "upper", "a.jpg", "caf\\351.jpg"}, {}},
        {"standard input", {"rename", "--form", "upper", "-"}, "a.jpg\ncaf\xe9.jpg\n"},
        {"standard input, NUL",
         {"rename", "--form", "upper", "--null", "-"},
         QByteArray("a.jpg\0caf\xe9.jpg\0", 15)},
        {"--dest", {"rename", "--form", "upper", "--dest", "caf\\351.jpg", "a.jpg"}, {}},
    };
    for (const Case& row : cases) {
        SCOPED_TRACE(row.what);
        Options options;
        options.workingDirectory = folder();
        options.input = row.input;
        const Result result = runWithRawArguments(row.arguments, options);
        EXPECT_EQ(result.exitCode, 2);
        EXPECT_TRUE(result.errText().contains(refusal)) << result.errText().toStdString();
        EXPECT_TRUE(result.out.isEmpty());
        EXPECT_EQ(names(folder()), before);
        EXPECT_EQ(content(QStringLiteral("caf\uFFFD.jpg")), QByteArray("caf\uFFFD.jpg"));
    }
    EXPECT_EQ(::unlink(raw.constData()), 0); // QTemporaryDir cannot name it
}

// On a volume that ignores case (set by the test script where it can mount one), a name
// taken in another spelling is a conflict before the run, and a change of case goes through.
TEST_F(RenameCliTest, LetterCaseOnACaseInsensitiveVolume)
{
    const QString volume = qEnvironmentVariable("MORVANE_TEST_CASE_INSENSITIVE_DIR");
    if (volume.isEmpty())
        GTEST_SKIP() << "MORVANE_TEST_CASE_INSENSITIVE_DIR not set";
    QTemporaryDir dir(volume + QStringLiteral("/rename-XXXXXX"));
    ASSERT_TRUE(dir.isValid());
    m_dir.swap(dir);
    make({QStringLiteral("image.jpg"), QStringLiteral("x.jpg")});
    Result result = rename({QStringLiteral("--form"), QStringLiteral("text"),
                            QStringLiteral("--text"), QStringLiteral("IMAGE")},
                           {QStringLiteral("x.jpg")});
    EXPECT_EQ(result.exitCode, 2) << result.errText().toStdString();
    EXPECT_TRUE(result.errText().contains(QStringLiteral("existe déjà")));
    result = rename({QStringLiteral("--form"), QStringLiteral("upper")}, {QStringLiteral("x.jpg")});
    EXPECT_EQ(result.exitCode, 0) << result.errText().toStdString();
    EXPECT_EQ(names(folder()), (QStringList{QStringLiteral("X.jpg"), QStringLiteral("image.jpg")}));
}

TEST_F(RenameCliTest, ChainsAndCyclesSucceed)
{
    const QStringList three{QStringLiteral("image1.jpg"), QStringLiteral("image2.jpg"),
                            QStringLiteral("image3.jpg")};
    make(three);
    // A chain: image3 -> image4 must go first, then image2 -> image3, then image1 -> image2.
    Result result = rename({QStringLiteral("--form"), QStringLiteral("text"),
                            QStringLiteral("--start"), QStringLiteral("2")},
                           three);
    EXPECT_EQ(result.exitCode, 0) << result.errText().toStdString();
    EXPECT_EQ(content(QStringLiteral("image2.jpg")), QByteArray("image1.jpg"));
    EXPECT_EQ(content(QStringLiteral("image3.jpg")), QByteArray("image2.jpg"));
    EXPECT_EQ(content(QStringLiteral("image4.jpg")), QByteArray("image3.jpg"));

    // A cycle of three names, through a temporary name that does not stay behind.
    result = rename(
        {QStringLiteral("--form"), QStringLiteral("text"), QStringLiteral("--start"),
         QStringLiteral("2")},
        {QStringLiteral("image4.jpg"), QStringLiteral("image2.jpg"), QStringLiteral("image3.jpg")});
    EXPECT_EQ(result.exitCode, 0) << result.errText().toStdString();
    EXPECT_EQ(names(folder()),
              (QStringList{QStringLiteral("image2.jpg"), QStringLiteral("image3.jpg"),
                           QStringLiteral("image4.jpg")}));
    EXPECT_EQ(content(QStringLiteral("image2.jpg")), QByteArray("image3.jpg"));
    EXPECT_EQ(content(QStringLiteral("image3.jpg")), QByteArray("image1.jpg"));
    EXPECT_EQ(content(QStringLiteral("image4.jpg")), QByteArray("image2.jpg"));

    // A swap undone after a failure in the middle comes back whole.
    Options options;
    options.environment = {QStringLiteral("MORVANE_BATCH_TEST_FAIL=rename:image2.jpg")};
    const Snapshot before = snapshot(folder());
    result = rename({QStringLiteral("--form"), QStringLiteral("text"), QStringLiteral("--start"),
                     QStringLiteral("2")},
                    {QStringLiteral("image3.jpg"), QStringLiteral("image2.jpg")}, options);
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(snapshot(folder()), before);
    EXPECT_EQ(content(QStringLiteral("image2.jpg")), QByteArray("image3.jpg"));
}

TEST_F(RenameCliTest, FailureInTheMiddlePutsEveryFileBack)
{
    make({QStringLiteral("a.jpg"), QStringLiteral("b.jpg"), QStringLiteral("c.jpg"),
          QStringLiteral("d.jpg")});
    const Snapshot before = snapshot(folder());
    Options options;
    options.environment = {QStringLiteral("MORVANE_BATCH_TEST_FAIL=rename:c.jpg")};
    for (const QString& keep : {QString(), QStringLiteral("own")}) {
        SCOPED_TRACE(keep.toStdString());
        QStringList arguments{QStringLiteral("--form"), QStringLiteral("text"),
                              QStringLiteral("--json")};
        if (!keep.isEmpty())
            arguments += {QStringLiteral("--keep-copy"), keep};
        const Result result = rename(arguments,
                                     {QStringLiteral("a.jpg"), QStringLiteral("b.jpg"),
                                      QStringLiteral("c.jpg"), QStringLiteral("d.jpg")},
                                     options);
        EXPECT_EQ(result.exitCode, 1) << result.errText().toStdString();
        QStringList results;
        for (const QJsonObject& line : result.json())
            results.append(line.value(QStringLiteral("result")).toString());
        EXPECT_EQ(results, (QStringList{QStringLiteral("undone"), QStringLiteral("undone"),
                                        QStringLiteral("failed"), QStringLiteral("not-run")}));
        EXPECT_EQ(snapshot(folder()), before); // names, sizes, times; kept copies removed
    }
}

TEST_F(RenameCliTest, FailedUndoStepIsReportedWithExitThree)
{
    make({QStringLiteral("a.jpg"), QStringLiteral("b.jpg"), QStringLiteral("c.jpg")});
    Options options;
    options.environment = {
        QStringLiteral("MORVANE_BATCH_TEST_FAIL=rename:c.jpg,rename:image2.jpg")};
    const Result result = rename(
        {QStringLiteral("--form"), QStringLiteral("text"), QStringLiteral("--json")},
        {QStringLiteral("a.jpg"), QStringLiteral("b.jpg"), QStringLiteral("c.jpg")}, options);
    EXPECT_EQ(result.exitCode, 3);
    const QList<QJsonObject> lines = result.json();
    ASSERT_EQ(lines.size(), 3);
    EXPECT_EQ(lines[0].value(QStringLiteral("result")).toString(), QStringLiteral("undone"));
    EXPECT_EQ(lines[1].value(QStringLiteral("result")).toString(), QStringLiteral("stranded"));
    EXPECT_EQ(lines[1].value(QStringLiteral("target")).toString(), QStringLiteral("image2.jpg"));
    EXPECT_EQ(lines[2].value(QStringLiteral("result")).toString(), QStringLiteral("failed"));
    EXPECT_TRUE(result.errText().contains(QStringLiteral("b.jpg")) &&
                result.errText().contains(QStringLiteral("image2.jpg")));
    EXPECT_EQ(names(folder()), (QStringList{QStringLiteral("a.jpg"), QStringLiteral("c.jpg"),
                                            QStringLiteral("image2.jpg")}));
}

TEST_F(RenameCliTest, StopSignalThroughTheTestPausePutsFilesBack)
{
    for (const int signal : {SIGINT, SIGTERM}) {
        SCOPED_TRACE(signal);
        QTemporaryDir dir;
        m_dir.swap(dir);
        make({QStringLiteral("a.jpg"), QStringLiteral("b.jpg"), QStringLiteral("c.jpg")});
        const Snapshot before = snapshot(folder());
        Options options;
        options.environment = {QStringLiteral("MORVANE_BATCH_TEST_PAUSE_AFTER=2")};
        options.atPause = [signal](qint64 pid) { ::kill(static_cast<pid_t>(pid), signal); };
        const Result result = rename(
            {QStringLiteral("--form"), QStringLiteral("upper"), QStringLiteral("--keep-copy"),
             QStringLiteral("own"), QStringLiteral("--json")},
            {QStringLiteral("a.jpg"), QStringLiteral("b.jpg"), QStringLiteral("c.jpg")}, options);
        EXPECT_EQ(result.exitCode, signal == SIGINT ? 130 : 143) << result.errText().toStdString();
        EXPECT_EQ(snapshot(folder()), before);
        QStringList results;
        for (const QJsonObject& line : result.json())
            results.append(line.value(QStringLiteral("result")).toString());
        EXPECT_EQ(results, (QStringList{QStringLiteral("undone"), QStringLiteral("undone"),
                                        QStringLiteral("not-run")}));
    }
}

TEST_F(RenameCliTest, PathsFromStandardInputAndAfterDoubleDash)
{
    make({QStringLiteral("a.jpg"), QStringLiteral("b c.jpg"), QStringLiteral("-x.jpg")});
    Options options;
    options.input = "a.jpg\nb c.jpg\n";
    Result result =
        rename({QStringLiteral("--form"), QStringLiteral("upper")}, {QStringLiteral("-")}, options);
    EXPECT_EQ(result.exitCode, 0) << result.errText().toStdString();
    EXPECT_TRUE(QFile::exists(path(QStringLiteral("A.jpg"))));
    EXPECT_TRUE(QFile::exists(path(QStringLiteral("B C.jpg"))));

    options.input = QByteArray("A.jpg\0B C.jpg\0", 14);
    result = rename({QStringLiteral("--form"), QStringLiteral("lower"), QStringLiteral("--null")},
                    {QStringLiteral("-")}, options);
    EXPECT_EQ(result.exitCode, 0) << result.errText().toStdString();
    EXPECT_TRUE(QFile::exists(path(QStringLiteral("b c.jpg"))));

    result = rename({QStringLiteral("--form"), QStringLiteral("upper"), QStringLiteral("--")},
                    {QStringLiteral("-x.jpg")});
    EXPECT_EQ(result.exitCode, 0) << result.errText().toStdString();
    EXPECT_TRUE(QFile::exists(path(QStringLiteral("-X.jpg"))));
}

TEST_F(RenameCliTest, UsageErrorsExitTwoWithAFrenchMessage)
{
    make({QStringLiteral("a.jpg")});
    const std::vector<std::pair<QStringList, const char*>> cases{
        {{"rename", "a.jpg"}, "--form est obligatoire"},
        {{"rename", "--form", "nope", "a.jpg"}, "Type de nom inconnu"},
        {{"rename", "--form", "21", "a.jpg"}, "Type de nom inconnu"},
        {{"rename", "--form", "text", "--style", "5", "a.jpg"}, "Format de numéro inconnu"},
        {{"rename", "--form", "text", "--keep-copy", "x", "a.jpg"}, "--keep-copy"},
        {{"rename", "--form", "text", "--text", "", "a.jpg"}, "Entrer un nom !"},
        {{"rename", "--form", "text", "--start", "abc", "a.jpg", "a.jpg"}, "numéro de début"},
        {{"rename", "--form", "text", "--bogus", "a.jpg"}, "bogus"},
        {{"rename", "--form", "text"}, "Aucun FICHIER"},
        {{"rename", "--form", "text", "-", "a.jpg"}, "seul FICHIER"},
        {{"frobnicate"}, "Commande inconnue"},
        {{}, "Aucune commande"},
    };
    const Snapshot before = snapshot(folder());
    for (const auto& [arguments, message] : cases) {
        SCOPED_TRACE(arguments.join(QLatin1Char(' ')).toStdString());
        Options options;
        options.workingDirectory = folder();
        const Result result = run(arguments, options);
        EXPECT_EQ(result.exitCode, 2);
        EXPECT_TRUE(result.errText().contains(QString::fromUtf8(message)))
            << result.errText().toStdString();
        EXPECT_TRUE(result.out.isEmpty());
    }
    EXPECT_EQ(snapshot(folder()), before);
}

TEST_F(RenameCliTest, HelpListsEveryFormKeywordAndExitStatus)
{
    const Result result = run({QStringLiteral("rename"), QStringLiteral("--help")});
    EXPECT_EQ(result.exitCode, 0);
    const QString help = QString::fromUtf8(result.out);
    for (const char* expected :
         {"--form", "--text", "--start", "--style", "--dest", "--keep-copy", "--dry-run", "--json",
          "Remplace par Date et Heure Fichier", "file-date-time", "lower-first-upper-rest",
          ".morvane-cycle-", "coupure de courant", "  3    ", "  130  ", "  143  "})
        EXPECT_TRUE(help.contains(QString::fromUtf8(expected))) << expected;
    EXPECT_EQ(run({QStringLiteral("--version")}).out,
              QByteArray("morvane-batch " MORVANE_VERSION "\n"));
}

} // namespace

namespace {

// A reader that stops early (`| head`) must not end the run half way.
TEST(RenameCliPipeTest, ClosedOutputDoesNotStopTheRun)
{
    QTemporaryDir dir;
    QByteArray paths;
    for (int i = 0; i < 3000; ++i) {
        const QString name = dir.path() + QStringLiteral("/photo-%1.jpg").arg(i);
        ASSERT_TRUE(touch(name));
        paths += QFile::encodeName(name) + '\n';
    }
    QProcess tool;
    QProcess reader;
    tool.setStandardOutputProcess(&reader);
    reader.start(QStringLiteral("head"), {QStringLiteral("-c"), QStringLiteral("1")});
    tool.start(QStringLiteral(MORVANE_BATCH_EXECUTABLE),
               {QStringLiteral("rename"), QStringLiteral("--form"), QStringLiteral("upper"),
                QStringLiteral("--json"), QStringLiteral("-")});
    ASSERT_TRUE(tool.waitForStarted());
    tool.write(paths);
    tool.closeWriteChannel();
    ASSERT_TRUE(tool.waitForFinished(60000));
    reader.waitForFinished();
    EXPECT_EQ(tool.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(tool.exitCode(), 0);
    const QStringList left = names(dir.path());
    EXPECT_EQ(left.size(), 3000);
    EXPECT_EQ(left.filter(QStringLiteral("PHOTO-")).size(), 3000);
}

} // namespace
