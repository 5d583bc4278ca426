#include "fileops/fileopscontroller.h"
#include "filetestutil.h"
#include "lists/browsepanel.h"
#include "recordingdesktop.h"
#include "scripteddialogs.h"
#include "settings/settingsschema.h"
#include "settings/settingsstore.h"

#include <QDir>
#include <QFile>
#include <QListView>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <tuple>

using namespace Qt::StringLiterals;

namespace {

using Routine = void (FileOpsController::*)();

// A browse panel on a temporary folder of files named `files` (content: the name), a
// controller with scripted dialogs and settings of its own, and a record of the clean-ups.
struct Fixture
{
    QTemporaryDir dir;
    QTemporaryDir target;
    BrowsePanel browse;
    ScriptedDialogs dialogs;
    RecordingDesktop desktop;
    QTemporaryDir config;
    SettingsStore settings{config.filePath(u"Morvane.ini"_s)};
    QList<bool> cleanUps;
    FileOpsController controller{
        {[this] { return browse.selectedNames(); }, [this] { return browse.folder(); }},
        &dialogs,
        &desktop,
        &settings,
        [this](bool refill) { cleanUps.append(refill); }};

    explicit Fixture(const QStringList& files)
    {
        for (const QString& name : files)
            filetest::makeFile(dir.filePath(name), name.toUtf8());
        browse.fillTypeFilter();
        browse.setFolder(dir.path());
    }
    void select(const QStringList& names)
    {
        QListView* view = browse.files();
        view->clearSelection();
        for (int row = 0; row < view->model()->rowCount(); ++row) {
            const QModelIndex index = view->model()->index(row, 0);
            if (names.contains(index.data().toString()))
                view->selectionModel()->select(index, QItemSelectionModel::Select);
        }
    }
    // Selects `names`, confirms, picks `folder` and runs `routine`.
    void run(Routine routine, const QStringList& names, const QString& folder)
    {
        select(names);
        dialogs.answerAsk(true);
        dialogs.answerFolder(folder);
        (controller.*routine)();
    }
    QString source(const QString& name) const { return dir.filePath(name); }
    QString copy(const QString& name) const { return target.filePath(name); }
    QSet<QString> sources() const { return filetest::names(dir.path()); }
};

} // namespace

class FileOpsControllerTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        // The Trash of every test is the home Trash of a temporary home on the file system of
        // the test files, never the real one.
        QVERIFY(m_home.isValid());
        qputenv("HOME", QFile::encodeName(m_home.path()));
        qputenv("XDG_DATA_HOME", QFile::encodeName(m_home.filePath(u"data"_s)));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_home.filePath(u"config"_s)));
    }

    void nothingSelected()
    {
        Fixture f({u"a.jpg"_s});
        for (Routine routine : {&FileOpsController::copie, &FileOpsController::deplace,
                                &FileOpsController::supprim, &FileOpsController::ouvr}) {
            f.dialogs.clear();
            (f.controller.*routine)();
            QCOMPARE(f.dialogs.calls(),
                     {ScriptedDialogs::shown(u"Selectionner un fichier!"_s, u"Attention"_s,
                                             DialogIcon::Critical)});
        }
        QVERIFY(f.cleanUps.isEmpty());
        QVERIFY(f.desktop.urls.isEmpty());
        QVERIFY(QFile::exists(f.source(u"a.jpg"_s)));
    }

    void cancelledQuestionOrPickerTouchesNothing()
    {
        const std::tuple<Routine, bool, QString, QString> rows[] = {
            {&FileOpsController::copie, false, u"Copier le(s) fichier(s) ?"_s,
             u"Confirmation de copie de fichier"_s},
            {&FileOpsController::deplace, true,
             u"Déplacer le(s) fichier(s) ?"_s, // picker cancelled
             u"Confirmation de déplacement de fichier"_s},
            {&FileOpsController::supprim, false, u"Supprimer le(s) fichier(s) ?"_s,
             u"Confirmation de suppression de fichier"_s}};
        for (const auto& [routine, confirm, question, title] : rows) {
            Fixture f({u"a.jpg"_s, u"b.jpg"_s});
            f.select({u"a.jpg"_s});
            f.dialogs.answerAsk(confirm);
            (f.controller.*routine)();
            const auto& calls = f.dialogs.calls();
            QCOMPARE(calls.first(), (ScriptedDialogs::Call{ScriptedDialogs::Kind::Ask, question,
                                                           title, DialogIcon::None}));
            QCOMPARE(calls.size(), confirm ? 2 : 1);
            if (confirm)
                QCOMPARE(calls.last().title, u"Selectionnez un répertoire"_s);
            QCOMPARE(f.cleanUps, QList<bool>{routine != &FileOpsController::copie});
            QCOMPARE(f.sources(), (QSet<QString>{u"a.jpg"_s, u"b.jpg"_s}));
            QVERIFY(filetest::names(f.target.path()).isEmpty());
        }
    }

    // a.jpg replaces an older copy, keeping its time; b.jpg's read-only copy stops the loop.
    void copyReplacesButNeverAReadOnlyFile()
    {
        const QStringList files{u"a.jpg"_s, u"b.jpg"_s, u"c.jpg"_s};
        Fixture f(files);
        filetest::makeFile(f.copy(u"a.jpg"_s), "old", QDateTime::currentDateTime());
        filetest::makeFile(f.copy(u"b.jpg"_s), "keep me");
        QVERIFY(QFile::setPermissions(f.copy(u"b.jpg"_s), QFile::ReadOwner | QFile::ReadGroup));
        f.run(&FileOpsController::copie, files, f.target.path());

        QCOMPARE(filetest::contents(f.copy(u"a.jpg"_s)), QByteArray("a.jpg"));
        QCOMPARE(filetest::modified(f.copy(u"a.jpg"_s)), filetest::stamp());
        QCOMPARE(filetest::contents(f.copy(u"b.jpg"_s)), QByteArray("keep me"));
        // c.jpg never reached, and no temporary left behind.
        QCOMPARE(filetest::names(f.target.path()), (QSet<QString>{u"a.jpg"_s, u"b.jpg"_s}));
        const QString told = f.dialogs.messages().value(0).text;
        QCOMPARE(f.dialogs.messages(),
                 {ScriptedDialogs::shown(told, u"Morvane"_s, DialogIcon::Warning)});
        QVERIFY(told.contains(u"b.jpg"_s));
        QCOMPARE(f.cleanUps, QList<bool>{false});
    }

    void copyIntoTheOwnFolderKeepsTheOriginal()
    {
        Fixture f({u"a.jpg"_s});
        // The same folder reached through another spelling.
        f.run(&FileOpsController::copie, {u"a.jpg"_s}, f.dir.path() + u"/./"_s);
        QCOMPARE(filetest::contents(f.source(u"a.jpg"_s)), QByteArray("a.jpg"));
        QCOMPARE(f.dialogs.messages().size(), 1);
        QVERIFY(f.dialogs.messages().first().text.contains(u"lui-même"_s));
    }

    void moveStopsAtAnExistingName()
    {
        const QStringList files{u"a.jpg"_s, u"b.jpg"_s, u"c.jpg"_s};
        Fixture f(files);
        filetest::makeFile(f.copy(u"b.jpg"_s), "already there");
        f.run(&FileOpsController::deplace, files, f.target.path());

        QCOMPARE(filetest::contents(f.copy(u"a.jpg"_s)), QByteArray("a.jpg"));
        QCOMPARE(filetest::contents(f.copy(u"b.jpg"_s)), QByteArray("already there"));
        QCOMPARE(f.sources(), (QSet<QString>{u"b.jpg"_s, u"c.jpg"_s}));
        QCOMPARE(f.dialogs.messages().size(), 1);
        QCOMPARE(f.cleanUps, QList<bool>{true});
    }

    void deleteFailingInTheMiddleStops()
    {
        const QStringList files{u"a.jpg"_s, u"b.jpg"_s, u"c.jpg"_s};
        Fixture f(files);
        QVERIFY(QFile::setPermissions(f.source(u"a.jpg"_s), QFile::ReadOwner));
        filetest::failOn(fileops::testing::Call::Unlink, EBUSY, {u"/b.jpg"_s});
        f.run(&FileOpsController::supprim, files, {});
        fileops::testing::setFailureHook({});

        // The read-only a.jpg went, b.jpg failed, c.jpg was never reached.
        QCOMPARE(f.sources(), (QSet<QString>{u"b.jpg"_s, u"c.jpg"_s}));
        const auto busy = fileops::FileResult::system(EBUSY, f.source(u"b.jpg"_s));
        QCOMPARE(f.dialogs.messages(), {ScriptedDialogs::shown(fileops::describe(busy),
                                                               u"Morvane"_s, DialogIcon::Warning)});
        QCOMPARE(f.cleanUps, QList<bool>{true});
    }

    // Corbeille on, missing (off) and unreadable (off).
    void deleteFollowsCorbeille()
    {
        for (const auto& [corbeille, toTrash] :
             {std::pair{u"Vrai"_s, true}, std::pair{QString(), false},
              std::pair{u"oui"_s, false}}) {
            const QString trash = m_home.filePath(u"data/Trash"_s);
            QDir(trash).removeRecursively();
            Fixture f({u"a.jpg"_s, u"b.jpg"_s});
            if (!corbeille.isEmpty())
                QVERIFY(f.settings.write(settings::names::corbeille, corbeille));
            f.run(&FileOpsController::supprim, {u"a.jpg"_s, u"b.jpg"_s}, {});

            QVERIFY(f.sources().isEmpty());
            QCOMPARE(f.dialogs.calls().size(), 1); // the confirmation only
            QCOMPARE(f.cleanUps, QList<bool>{true});
            const QSet<QString> trashed =
                toTrash ? QSet<QString>{u"a.jpg"_s, u"b.jpg"_s} : QSet<QString>{};
            QCOMPARE(filetest::names(trash + u"/files"_s), trashed);
            QCOMPARE(filetest::names(trash + u"/info"_s).size(), trashed.size());
            if (toTrash)
                QCOMPARE(filetest::contents(trash + u"/files/a.jpg"_s), QByteArray("a.jpg"));
        }
    }

    // No Trash folder can be made (its parent is a file), or its info folder is a file.
    void trashFailureAsksBeforeDeletingForGood()
    {
        const std::tuple<QString, QString, QString> rows[] = {
            // data home, blocker, reason
            {u"blocker/data"_s, u"blocker"_s,
             u"la corbeille n'est pas disponible sur ce volume."_s},
            {u"data2"_s, u"data2/Trash/info"_s, fileops::systemDescription(ENOTDIR) + u"."_s}};
        for (const auto& [dataHome, blocker, reason] : rows) {
            QVERIFY(QDir().mkpath(QFileInfo(m_home.filePath(blocker)).path()));
            QVERIFY(filetest::makeFile(m_home.filePath(blocker), "not a folder"));
            const QByteArray previous = qgetenv("XDG_DATA_HOME");
            qputenv("XDG_DATA_HOME", QFile::encodeName(m_home.filePath(dataHome)));
            Fixture f({u"a.jpg"_s, u"b.jpg"_s});
            QVERIFY(f.settings.write(settings::names::corbeille, u"1"_s));
            f.select({u"a.jpg"_s, u"b.jpg"_s});
            for (bool answer : {true, true, false}) // the confirmation, OK for a.jpg, not for b.jpg
                f.dialogs.answerAsk(answer);
            f.controller.supprim();
            qputenv("XDG_DATA_HOME", previous);

            QList<ScriptedDialogs::Call> questions;
            for (const QString& name : {u"a.jpg"_s, u"b.jpg"_s})
                questions << ScriptedDialogs::Call{ScriptedDialogs::Kind::Ask,
                                                   u"Impossible de mettre « "_s + name +
                                                       u" » à la corbeille : "_s + reason +
                                                       u" Le supprimer définitivement ?"_s,
                                                   u"Morvane"_s, DialogIcon::Question};
            QCOMPARE(f.dialogs.calls().mid(1), questions);
            QCOMPARE(f.sources(), QSet<QString>{u"b.jpg"_s});
            QCOMPARE(filetest::contents(f.source(u"b.jpg"_s)), QByteArray("b.jpg"));
            QCOMPARE(f.cleanUps, QList<bool>{true});
        }
    }

    void openOneFileOnly()
    {
        Fixture f({u"a.jpg"_s, u"b.jpg"_s});
        f.select({u"a.jpg"_s, u"b.jpg"_s});
        f.controller.ouvr();
        QCOMPARE(f.dialogs.calls(),
                 {ScriptedDialogs::shown(u"Selectionner un seul fichier à la fois !"_s,
                                         u"Attention"_s, DialogIcon::Critical)});
        QVERIFY(f.desktop.urls.isEmpty());

        f.select({u"b.jpg"_s});
        f.controller.ouvr();
        QCOMPARE(f.desktop.urls, QList<QUrl>{QUrl::fromLocalFile(f.source(u"b.jpg"_s))});
        QVERIFY(f.cleanUps.isEmpty());
    }

private:
    QTemporaryDir m_home;
};

QTEST_MAIN(FileOpsControllerTest)
#include "fileopscontroller_test.moc"
