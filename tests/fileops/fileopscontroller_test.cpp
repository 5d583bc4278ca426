#include "fileops/fileopscontroller.h"
#include "filetestutil.h"
#include "lists/browsepanel.h"
#include "recordingdesktop.h"
#include "scripteddialogs.h"

#include <QDir>
#include <QFile>
#include <QListView>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>

namespace {

// A browse panel on a temporary folder, a controller with scripted dialogs, and a record of
// the clean-ups.
struct Fixture
{
    QTemporaryDir dir;
    QTemporaryDir target;
    BrowsePanel browse;
    ScriptedDialogs dialogs;
    RecordingDesktop desktop;
    QList<bool> cleanUps;
    FileOpsController controller{&browse, &dialogs, &desktop,
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
        for (int row = 0; row < view->model()->rowCount(); ++row) {
            const QModelIndex index = view->model()->index(row, 0);
            if (names.contains(index.data().toString()))
                view->selectionModel()->select(index, QItemSelectionModel::Select);
        }
    }
    QString source(const QString& name) const { return dir.filePath(name); }
    QString copy(const QString& name) const { return target.filePath(name); }
};

} // namespace

class FileOpsControllerTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void nothingSelected();
    void cancelledQuestionOrPickerTouchesNothing_data();
    void cancelledQuestionOrPickerTouchesNothing();
    void copyReplacesAndKeepsTheModificationTime();
    void copyNeverReplacesAReadOnlyFile();
    void copyIntoTheOwnFolderKeepsTheOriginal();
    void moveStopsAtAnExistingName();
    void deleteFailingInTheMiddleStops();
    void openOneFileOnly();
};

void FileOpsControllerTest::nothingSelected()
{
    Fixture f({QStringLiteral("a.jpg")});
    for (auto routine : {&FileOpsController::copie, &FileOpsController::deplace,
                         &FileOpsController::supprim, &FileOpsController::ouvr}) {
        f.dialogs.clear();
        (f.controller.*routine)();
        QCOMPARE(f.dialogs.calls().size(), 1);
        QCOMPARE(f.dialogs.calls().first().text, QStringLiteral("Selectionner un fichier!"));
        QCOMPARE(f.dialogs.calls().first().title, QStringLiteral("Attention"));
        QCOMPARE(f.dialogs.calls().first().icon, DialogIcon::Critical);
    }
    QVERIFY(f.cleanUps.isEmpty());
    QVERIFY(f.desktop.urls.isEmpty());
    QVERIFY(QFile::exists(f.source(QStringLiteral("a.jpg"))));
}

void FileOpsControllerTest::cancelledQuestionOrPickerTouchesNothing_data()
{
    QTest::addColumn<int>("operation"); // 0 copy, 1 move, 2 delete
    QTest::addColumn<bool>("confirm");
    QTest::addColumn<QString>("question");
    QTest::addColumn<QString>("title");
    QTest::newRow("copy, Cancel") << 0 << false << "Copier le(s) fichier(s) ?"
                                  << "Confirmation de copie de fichier";
    QTest::newRow("copy, picker cancelled") << 0 << true << "Copier le(s) fichier(s) ?"
                                            << "Confirmation de copie de fichier";
    QTest::newRow("move, Cancel") << 1 << false << "Déplacer le(s) fichier(s) ?"
                                  << "Confirmation de déplacement de fichier";
    QTest::newRow("move, picker cancelled") << 1 << true << "Déplacer le(s) fichier(s) ?"
                                            << "Confirmation de déplacement de fichier";
    QTest::newRow("delete, Cancel") << 2 << false << "Supprimer le(s) fichier(s) ?"
                                    << "Confirmation de suppression de fichier";
}

void FileOpsControllerTest::cancelledQuestionOrPickerTouchesNothing()
{
    QFETCH(int, operation);
    QFETCH(bool, confirm);
    QFETCH(QString, question);
    QFETCH(QString, title);
    Fixture f({QStringLiteral("a.jpg"), QStringLiteral("b.jpg")});
    f.select({QStringLiteral("a.jpg")});
    f.dialogs.answerAsk(confirm);
    const auto routine = operation == 0   ? &FileOpsController::copie
                         : operation == 1 ? &FileOpsController::deplace
                                          : &FileOpsController::supprim;
    (f.controller.*routine)();

    const auto& calls = f.dialogs.calls();
    QCOMPARE(calls.first().text, question);
    QCOMPARE(calls.first().title, title);
    QCOMPARE(calls.first().icon, DialogIcon::None);
    QCOMPARE(calls.size(), confirm ? 2 : 1);
    if (confirm)
        QCOMPARE(calls.last().title, QStringLiteral("Selectionnez un répertoire"));
    QCOMPARE(f.cleanUps, QList<bool>{operation != 0});
    QCOMPARE(filetest::names(f.dir.path()),
             (QSet<QString>{QStringLiteral("a.jpg"), QStringLiteral("b.jpg")}));
    QVERIFY(filetest::names(f.target.path()).isEmpty());
}

void FileOpsControllerTest::copyReplacesAndKeepsTheModificationTime()
{
    Fixture f({QStringLiteral("a.jpg"), QStringLiteral("b.jpg")});
    filetest::makeFile(f.copy(QStringLiteral("a.jpg")), "old", QDateTime::currentDateTime());
    f.select({QStringLiteral("a.jpg"), QStringLiteral("b.jpg")});
    f.dialogs.answerAsk(true);
    f.dialogs.answerFolder(f.target.path());
    f.controller.copie();

    QVERIFY(f.dialogs.messages().isEmpty());
    QCOMPARE(filetest::contents(f.copy(QStringLiteral("a.jpg"))), QByteArray("a.jpg"));
    QCOMPARE(filetest::contents(f.copy(QStringLiteral("b.jpg"))), QByteArray("b.jpg"));
    QCOMPARE(filetest::modified(f.copy(QStringLiteral("a.jpg"))), filetest::stamp());
    QCOMPARE(filetest::names(f.target.path()).size(), 2); // no temporary left behind
    QCOMPARE(f.cleanUps, QList<bool>{false});
}

void FileOpsControllerTest::copyNeverReplacesAReadOnlyFile()
{
    Fixture f({QStringLiteral("a.jpg"), QStringLiteral("b.jpg")});
    const QString protectedCopy = f.copy(QStringLiteral("a.jpg"));
    filetest::makeFile(protectedCopy, "keep me");
    QVERIFY(QFile::setPermissions(protectedCopy, QFile::ReadOwner | QFile::ReadGroup));
    f.select({QStringLiteral("a.jpg"), QStringLiteral("b.jpg")});
    f.dialogs.answerAsk(true);
    f.dialogs.answerFolder(f.target.path());
    f.controller.copie();

    QCOMPARE(filetest::contents(protectedCopy), QByteArray("keep me"));
    QVERIFY(!QFile::exists(f.copy(QStringLiteral("b.jpg")))); // the loop stopped
    const auto messages = f.dialogs.messages();
    QCOMPARE(messages.size(), 1);
    QCOMPARE(messages.first().title, QStringLiteral("Morvane"));
    QCOMPARE(messages.first().icon, DialogIcon::Warning);
    QVERIFY(messages.first().text.contains(QStringLiteral("a.jpg")));
    QCOMPARE(f.cleanUps, QList<bool>{false});
}

void FileOpsControllerTest::copyIntoTheOwnFolderKeepsTheOriginal()
{
    Fixture f({QStringLiteral("a.jpg")});
    f.select({QStringLiteral("a.jpg")});
    f.dialogs.answerAsk(true);
    // The same folder reached through another spelling.
    f.dialogs.answerFolder(f.dir.path() + QStringLiteral("/./"));
    f.controller.copie();
    QCOMPARE(filetest::contents(f.source(QStringLiteral("a.jpg"))), QByteArray("a.jpg"));
    QCOMPARE(f.dialogs.messages().size(), 1);
    QVERIFY(f.dialogs.messages().first().text.contains(QStringLiteral("lui-même")));
}

void FileOpsControllerTest::moveStopsAtAnExistingName()
{
    Fixture f({QStringLiteral("a.jpg"), QStringLiteral("b.jpg"), QStringLiteral("c.jpg")});
    filetest::makeFile(f.copy(QStringLiteral("b.jpg")), "already there");
    f.select({QStringLiteral("a.jpg"), QStringLiteral("b.jpg"), QStringLiteral("c.jpg")});
    f.dialogs.answerAsk(true);
    f.dialogs.answerFolder(f.target.path());
    f.controller.deplace();

    QCOMPARE(filetest::contents(f.copy(QStringLiteral("a.jpg"))), QByteArray("a.jpg"));
    QCOMPARE(filetest::contents(f.copy(QStringLiteral("b.jpg"))), QByteArray("already there"));
    QCOMPARE(filetest::names(f.dir.path()),
             (QSet<QString>{QStringLiteral("b.jpg"), QStringLiteral("c.jpg")}));
    QCOMPARE(f.dialogs.messages().size(), 1);
    QCOMPARE(f.cleanUps, QList<bool>{true});
}

void FileOpsControllerTest::deleteFailingInTheMiddleStops()
{
    Fixture f({QStringLiteral("a.jpg"), QStringLiteral("b.jpg"), QStringLiteral("c.jpg")});
    QVERIFY(QFile::setPermissions(f.source(QStringLiteral("a.jpg")), QFile::ReadOwner));
    f.select({QStringLiteral("a.jpg"), QStringLiteral("b.jpg"), QStringLiteral("c.jpg")});
    f.dialogs.answerAsk(true);
    fileops::testing::setFailureHook([](fileops::testing::Call call, const QString& path) {
        return call == fileops::testing::Call::Unlink && path.endsWith(QStringLiteral("b.jpg"))
                   ? EBUSY
                   : 0;
    });
    f.controller.supprim();
    fileops::testing::setFailureHook({});

    // The read-only a.jpg went, b.jpg failed, c.jpg was never reached.
    QCOMPARE(filetest::names(f.dir.path()),
             (QSet<QString>{QStringLiteral("b.jpg"), QStringLiteral("c.jpg")}));
    const auto messages = f.dialogs.messages();
    QCOMPARE(messages.size(), 1);
    QCOMPARE(messages.first().text, fileops::describe(fileops::FileResult::system(
                                        EBUSY, f.source(QStringLiteral("b.jpg")))));
    QCOMPARE(f.cleanUps, QList<bool>{true});
}

void FileOpsControllerTest::openOneFileOnly()
{
    Fixture f({QStringLiteral("a.jpg"), QStringLiteral("b.jpg")});
    f.select({QStringLiteral("a.jpg"), QStringLiteral("b.jpg")});
    f.controller.ouvr();
    QCOMPARE(f.dialogs.calls().size(), 1);
    QCOMPARE(f.dialogs.calls().first().text,
             QStringLiteral("Selectionner un seul fichier à la fois !"));
    QCOMPARE(f.dialogs.calls().first().icon, DialogIcon::Critical);
    QVERIFY(f.desktop.urls.isEmpty());

    f.browse.files()->clearSelection();
    f.select({QStringLiteral("b.jpg")});
    f.controller.ouvr();
    QCOMPARE(f.desktop.urls, QList<QUrl>{QUrl::fromLocalFile(f.source(QStringLiteral("b.jpg")))});
    QVERIFY(f.cleanUps.isEmpty());
}

QTEST_MAIN(FileOpsControllerTest)
#include "fileopscontroller_test.moc"
