#include "rename/renamecontroller.h"

#include "fileops/fileops.h"
#include "filetestutil.h"
#include "lists/worklist.h"
#include "rename/nameforms.h"
#include "rename/renamejournal.h"
#include "rename/renamepanel.h"
#include "scripteddialogs.h"
#include "settings/settingsschema.h"
#include "settings/settingsstore.h"

#include <QComboBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace Qt::StringLiterals;

namespace {

using Kind = ScriptedDialogs::Kind;

// A panel with its controller over a work list of files made in a temporary folder.
struct Rig
{
    explicit Rig(const QString& settingsPath = {})
        : store(settingsPath.isEmpty() ? settingsDir.path() + u"/Morvane.ini"_s : settingsPath),
          controller(&panel, &list, &store, &dialogs)
    {
        store.initialise(files.path());
        controller.setClock([] { return QDateTime(QDate(2008, 2, 12), QTime(20, 59, 43)); });
        controller.rempliCombo();
    }

    void addFiles(const QStringList& names)
    {
        for (const QString& name : names)
            QVERIFY(filetest::makeFile(files.path() + QLatin1Char('/') + name, name.toUtf8()));
        list.add(files.path() + QLatin1Char('/'), names);
    }

    // The user picks an entry of a combo box.
    static void choose(QComboBox* combo, int index)
    {
        combo->setCurrentIndex(index);
        Q_EMIT combo->activated(index);
    }

    QTemporaryDir settingsDir;
    QTemporaryDir files;
    SettingsStore store;
    WorkList list;
    ScriptedDialogs dialogs;
    RenamePanel panel;
    RenameController controller;
};

bool enabled(const RenamePanel& panel, const char* name)
{
    const QWidget* widget = panel.findChild<QWidget*>(QLatin1String(name));
    return widget && widget->isEnabled();
}

} // namespace

class RenameControllerTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    // Rename journals go to a temporary state folder, never the real home folder.
    void initTestCase()
    {
        QVERIFY(m_home.isValid());
        qputenv("HOME", QFile::encodeName(m_home.path()));
        qputenv("XDG_STATE_HOME", QFile::encodeName(m_home.path() + u"/state"_s));
        qputenv("XDG_DATA_HOME", QFile::encodeName(m_home.path() + u"/data"_s));
    }
    void fillsTheListsFromTheCatalogueAndTheStoredStyle_data();
    void fillsTheListsFromTheCatalogueAndTheStoredStyle();
    void fieldRule_data();
    void fieldRule();
    void styleClickStoresFormatAndRefreshes();
    void styleWriteFailureIsToldOnce();
    void previewTriggersAndMessages();
    void refusedNameWhileTypingIsShownBesideTheField();
    void renomChecksBeforeAsking_data();
    void renomChecksBeforeAsking();
    void renomCancelChangesNothing();
    void renomRenamesAndFinishes();
    void renomConflictChangesNothing();
    void renomRenumbersAndUndoRestores();
    void renomFailureHalfWayPutsEveryFileBack();

private:
    QTemporaryDir m_home;
};

void RenameControllerTest::fillsTheListsFromTheCatalogueAndTheStoredStyle_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<int>("selected");
    QTest::newRow("default Auto") << QString() << 4;
    QTest::newRow("0000") << u"3"_s << 3;
    QTest::newRow("out of range") << u"9"_s << -1;
}

void RenameControllerTest::fillsTheListsFromTheCatalogueAndTheStoredStyle()
{
    QFETCH(QString, stored);
    QFETCH(int, selected);
    Rig rig;
    if (!stored.isEmpty()) {
        QVERIFY(rig.store.write(settings::names::format, stored));
        rig.controller.rempliCombo();
    }
    QComboBox* styles = rig.panel.numberingStyles();
    QCOMPARE(styles->count(), 5);
    QCOMPARE(styles->currentIndex(), selected);
    QComboBox* forms = rig.panel.nameForms();
    QCOMPARE(forms->count(), renaming::nameFormCount);
    for (int i = 0; i < forms->count(); ++i)
        QCOMPARE(forms->itemText(i), renaming::nameForms()[size_t(i)].text);
    QCOMPARE(forms->currentIndex(), renaming::textForm);
    QVERIFY(rig.panel.example()->text().isEmpty());
}

void RenameControllerTest::fieldRule_data()
{
    QTest::addColumn<int>("form");
    QTest::addColumn<bool>("nameText");
    QTest::addColumn<bool>("numbering");
    QTest::newRow("13") << 13 << false << false;
    QTest::newRow("14") << 14 << false << true;
    QTest::newRow("20") << 20 << true << true;
}

void RenameControllerTest::fieldRule()
{
    QFETCH(int, form);
    QFETCH(bool, nameText);
    QFETCH(bool, numbering);
    Rig rig;
    Rig::choose(rig.panel.nameForms(), 0); // start from everything greyed
    rig.panel.startNumber()->setText(u"5"_s);
    Rig::choose(rig.panel.nameForms(), form);
    for (const char* name : {"Label1", "Text1"})
        QCOMPARE(enabled(rig.panel, name), nameText);
    for (const char* name : {"Label2", "Text2", "Label7", "Combo2"})
        QCOMPARE(enabled(rig.panel, name), numbering);
    QCOMPARE(rig.panel.nameText()->text(), u"image"_s);
    QCOMPARE(rig.panel.startNumber()->text(), u"5"_s);
    QVERIFY(rig.dialogs.calls().isEmpty());
}

void RenameControllerTest::styleClickStoresFormatAndRefreshes()
{
    Rig rig;
    rig.addFiles({u"b.jpg"_s, u"a.JPG"_s});
    rig.panel.startNumber()->setText(u"7"_s);
    Rig::choose(rig.panel.numberingStyles(), 2);
    QCOMPARE(rig.store.readText(settings::names::format), u"2"_s);
    QCOMPARE(rig.panel.example()->text(), u"image007.jpg"_s);

    // The start number alone does not refresh the example; the name text does.
    rig.panel.startNumber()->setText(u"8"_s);
    QCOMPARE(rig.panel.example()->text(), u"image007.jpg"_s);
    rig.panel.nameText()->setText(u"vac"_s);
    QCOMPARE(rig.panel.example()->text(), u"vac008.jpg"_s);
    QVERIFY(rig.dialogs.calls().isEmpty());
}

void RenameControllerTest::styleWriteFailureIsToldOnce()
{
    QTemporaryDir dir;
    // The settings file's folder is a regular file: no write can succeed, even as root.
    QVERIFY(filetest::makeFile(dir.path() + u"/blocker"_s, "x"));
    Rig rig(dir.path() + u"/blocker/Morvane.ini"_s);
    Rig::choose(rig.panel.numberingStyles(), 1);
    Rig::choose(rig.panel.numberingStyles(), 2);
    const auto messages = rig.dialogs.messages();
    QCOMPARE(messages, {ScriptedDialogs::shown(rig.store.writeFailureText(), u"Morvane"_s,
                                               DialogIcon::Warning)});
}

void RenameControllerTest::previewTriggersAndMessages()
{
    Rig rig;
    // An empty list: no example and no message, whatever the fields say.
    rig.panel.nameText()->setText(QString());
    Rig::choose(rig.panel.nameForms(), 10);
    QVERIFY(rig.panel.example()->text().isEmpty());
    QVERIFY(rig.dialogs.calls().isEmpty());

    rig.addFiles({u"Plage.JPG"_s});
    rig.controller.VisuRenom();
    QCOMPARE(rig.panel.example()->text(), u"PLAGE.JPG"_s);

    // Form 20 with an empty name text: told on every trigger, example kept.
    Rig::choose(rig.panel.nameForms(), 20);
    rig.controller.VisuRenom();
    QCOMPARE(rig.dialogs.messages().size(), 2);
    QCOMPARE(rig.dialogs.messages()[0],
             ScriptedDialogs::shown(u"Entrer un nom !"_s, u"Attention"_s, DialogIcon::Critical));
    QCOMPARE(rig.panel.example()->text(), u"PLAGE.JPG"_s);

    // One entry: no number.
    rig.panel.nameText()->setText(u"image"_s);
    QCOMPARE(rig.panel.example()->text(), u"image.JPG"_s);

    // The first file vanished: forms that read its time fail, the others still work.
    rig.dialogs.clear();
    QVERIFY(QFile::remove(rig.files.path() + u"/Plage.JPG"_s));
    Rig::choose(rig.panel.nameForms(), 17);
    QCOMPARE(rig.dialogs.messages().size(), 1);
    QVERIFY(rig.dialogs.messages()[0].text.endsWith(rig.files.path() + u"/Plage.JPG"_s));
    QCOMPARE(rig.dialogs.messages()[0].title, u"Morvane"_s);
    QCOMPARE(rig.dialogs.messages()[0].icon, DialogIcon::Warning);
    QCOMPARE(rig.panel.example()->text(), u"image.JPG"_s);
    Rig::choose(rig.panel.nameForms(), 14);
    QCOMPARE(rig.panel.example()->text(), u"(12-02-2008).JPG"_s);
    QCOMPARE(rig.dialogs.messages().size(), 1);

    // The date options as the run reads them: a camera photo's date taken, year first.
    QVERIFY(rig.store.write(settings::names::ordreDates, u"aaaa-mm-jj"_s));
    QVERIFY(rig.store.write(settings::names::datePriseDeVue, u"1"_s));
    Rig::choose(rig.panel.nameForms(), 14);
    QCOMPARE(rig.panel.example()->text(), u"(2008-02-12).JPG"_s);
    rig.list.clear();
    QVERIFY(QFile::copy(QStringLiteral(MORVANE_TEST_DATA "/camera.jpg"),
                        rig.files.path() + u"/p.jpg"_s));
    rig.list.add(rig.files.path() + u'/', {u"p.jpg"_s});
    Rig::choose(rig.panel.nameForms(), 18);
    QCOMPARE(rig.panel.example()->text(), u"[2008-10-22][16.28.39].jpg"_s);
}

void RenameControllerTest::refusedNameWhileTypingIsShownBesideTheField()
{
    Rig rig;
    rig.addFiles({u"a.jpg"_s});
    QLineEdit* field = rig.panel.nameText();
    field->clear();
    rig.dialogs.clear();
    QTest::keyClicks(field, u"plage/mer"_s);
    // No message per key press, and no key press lost.
    QVERIFY(rig.dialogs.calls().isEmpty());
    QCOMPARE(field->text(), u"plage/mer"_s);
    const QString problem = u"Nom de fichier incorrect : « plage/mer.jpg »"_s;
    QCOMPARE(rig.panel.nameProblem(), problem);
    QCOMPARE(field->toolTip(), problem);

    // The run still refuses, with its message.
    rig.dialogs.answerAsk(true);
    rig.controller.renom();
    QCOMPARE(rig.dialogs.messages().size(), 1);
    QVERIFY(rig.dialogs.messages().first().text.contains(problem));
    QCOMPARE(filetest::names(rig.files.path()), QSet<QString>{u"a.jpg"_s});

    // A name put right clears the field's mark.
    for (int i = 0; i < 4; ++i)
        QTest::keyClick(field, Qt::Key_Backspace);
    QCOMPARE(rig.panel.nameProblem(), QString());
    QCOMPARE(field->toolTip(), u"Entrer le nom final"_s);
}

void RenameControllerTest::renomChecksBeforeAsking_data()
{
    QTest::addColumn<int>("files");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("start");
    QTest::addColumn<QString>("message");
    QTest::newRow("empty name") << 2 << QString() << u"1"_s << u"Entrer un nom !"_s;
    QTest::newRow("empty list") << 0 << u"image"_s << u"1"_s << u"Selectionner un fichier !"_s;
    QTest::newRow("bad start") << 2 << u"image"_s << u"1,5"_s
                               << u"Entrer un numéro de début valide !"_s;
}

void RenameControllerTest::renomChecksBeforeAsking()
{
    QFETCH(int, files);
    QFETCH(QString, text);
    QFETCH(QString, start);
    QFETCH(QString, message);
    Rig rig;
    QStringList names;
    for (int i = 0; i < files; ++i)
        names << u"f%1.jpg"_s.arg(i);
    rig.addFiles(names);
    rig.panel.nameText()->setText(text);
    rig.panel.startNumber()->setText(start);
    rig.dialogs.clear();
    rig.controller.renom();
    QCOMPARE(rig.dialogs.calls(),
             {ScriptedDialogs::shown(message, u"Attention"_s, DialogIcon::Critical)});
    QCOMPARE(filetest::names(rig.files.path()).size(), static_cast<qsizetype>(files));
}

void RenameControllerTest::renomCancelChangesNothing()
{
    Rig rig;
    rig.addFiles({u"a.jpg"_s});
    rig.dialogs.answerAsk(false);
    rig.controller.renom();
    const ScriptedDialogs::Call question{Kind::Ask, u"Voulez-vous changer le nom ?"_s,
                                         u"Confirmation "_s, DialogIcon::None};
    QCOMPARE(rig.dialogs.calls(), {question});
    QCOMPARE(filetest::names(rig.files.path()), QSet<QString>{u"a.jpg"_s});
    QVERIFY(!QGuiApplication::overrideCursor());
}

void RenameControllerTest::renomRenamesAndFinishes()
{
    Rig rig;
    rig.addFiles({u"b.jpg"_s, u"a.png"_s});
    QStringList steps;
    rig.controller.setFinishingSteps({[&] {
                                          steps << u"browse"_s;
                                          QVERIFY(QGuiApplication::overrideCursor());
                                      },
                                      [&] { steps << u"preview"_s; },
                                      [&] {
                                          steps << u"work list"_s;
                                          QVERIFY(!QGuiApplication::overrideCursor());
                                          QVERIFY(rig.panel.example()->text().isEmpty());
                                          QCOMPARE(rig.panel.nameText()->text(), u"image"_s);
                                      }});
    // A form that reads the file time: the name text set back must not run a preview
    // on the files that no longer have their old names.
    Rig::choose(rig.panel.nameForms(), 18);
    rig.panel.nameText()->setText(u"vacances"_s);
    rig.dialogs.clear();
    rig.dialogs.answerAsk(true);
    rig.controller.renom();
    QCOMPARE(rig.dialogs.calls().size(), 1);
    QCOMPARE(steps, (QStringList{u"browse"_s, u"preview"_s, u"work list"_s}));
    QCOMPARE(filetest::names(rig.files.path()),
             (QSet<QString>{u"[03-07-2007][18.45.12]1.jpg"_s, u"[03-07-2007][18.45.12]2.png"_s}));
    QCOMPARE(rig.panel.nameForms()->currentIndex(), 18);
}

void RenameControllerTest::renomConflictChangesNothing()
{
    Rig rig;
    rig.addFiles({u"a.jpg"_s, u"b.jpg"_s});
    QVERIFY(filetest::makeFile(rig.files.path() + u"/x2.jpg"_s, "in the way"));
    bool finished = false;
    rig.controller.setFinishingSteps({[&] { finished = true; }, {}, {}});
    rig.panel.nameText()->setText(u"x"_s);
    rig.panel.example()->setText(u"shown"_s);
    rig.dialogs.clear();
    rig.dialogs.answerAsk(true);
    rig.controller.renom();
    QVERIFY(!finished);
    QVERIFY(!QGuiApplication::overrideCursor());
    const QString folder = rig.files.path() + u'/';
    QCOMPARE(rig.dialogs.messages(),
             {ScriptedDialogs::shown(folder + u"b.jpg : Le fichier "_s + folder +
                                         u"x2.jpg existe déjà.\n"
                                         u"1 fichier(s) en conflit : rien n'a été changé."_s,
                                     u"Morvane"_s, DialogIcon::Warning)});
    QCOMPARE(rig.panel.nameText()->text(), u"x"_s);
    QCOMPARE(rig.panel.example()->text(), u"shown"_s);
    QCOMPARE(rig.list.count(), 2);
    QCOMPARE(filetest::names(rig.files.path()),
             (QSet<QString>{u"a.jpg"_s, u"b.jpg"_s, u"x2.jpg"_s}));
}

namespace {

QStringList numbered(int from, int to)
{
    QStringList names;
    for (int i = from; i <= to; ++i)
        names.append(u"image%1.jpg"_s.arg(i));
    return names;
}

} // namespace

void RenameControllerTest::renomRenumbersAndUndoRestores()
{
    Rig rig;
    rig.addFiles(numbered(1, 50));
    Rig::choose(rig.panel.numberingStyles(), 0);
    rig.panel.startNumber()->setText(u"2"_s);
    rig.dialogs.clear();
    rig.dialogs.answerAsk(true);
    rig.controller.renom();
    QCOMPARE(rig.dialogs.messages(), {});
    QVERIFY(rig.controller.lastReport().complete());
    const QStringList renumbered = numbered(2, 51);
    QCOMPARE(filetest::names(rig.files.path()),
             QSet<QString>(renumbered.begin(), renumbered.end()));
    QCOMPARE(filetest::contents(rig.files.path() + u"/image51.jpg"_s), "image50.jpg");

    // Ctrl+Z: every file gets its old name back.
    rig.dialogs.clear();
    rig.controller.annulerDernierRenommage();
    QCOMPARE(rig.dialogs.messages(),
             {ScriptedDialogs::shown(
                 u"50 fichier(s) remis sous leur ancien nom, 0 copie(s) gardée(s) supprimée(s)."_s,
                 u"Morvane"_s, DialogIcon::Information)});
    QCOMPARE(filetest::contents(rig.files.path() + u"/image50.jpg"_s), "image50.jpg");
    QCOMPARE(filetest::names(rig.files.path()).size(), 50);

    // A run cut short (its journal neither marked nor locked) is offered back at start.
    {
        renaming::RenameOptions options;
        options.nameText = u"cut"_s;
        const renaming::RenamePlan plan = renaming::planRename(
            {rig.files.path() + u"/image1.jpg"_s}, options, QDateTime::currentDateTime());
        renaming::RenameJournal journal;
        QVERIFY(!journal.begin(plan));
        QVERIFY(fileops::renameNoReplace(plan.entries[0].source, plan.entries[0].target).ok());
    }
    rig.dialogs.clear();
    rig.dialogs.answerAsk(true);
    rig.controller.checkInterruptedRun();
    QCOMPARE(rig.dialogs.calls().value(0),
             (ScriptedDialogs::Call{Kind::Ask,
                                    u"Un renommage a été interrompu. Remettre les anciens noms ?"_s,
                                    u"Morvane"_s, DialogIcon::Question}));
    QCOMPARE(filetest::contents(rig.files.path() + u"/image1.jpg"_s), "image1.jpg");
}

void RenameControllerTest::renomFailureHalfWayPutsEveryFileBack()
{
    Rig rig;
    rig.addFiles(numbered(1, 50));
    const QString failing = rig.files.path() + u"/image25.jpg"_s;
    fileops::testing::setFailureHook([failing](fileops::testing::Call call, const QString& path) {
        return call == fileops::testing::Call::Rename && path == failing ? EIO : 0;
    });
    Rig::choose(rig.panel.numberingStyles(), 0);
    rig.panel.startNumber()->setText(u"2"_s);
    rig.dialogs.clear();
    rig.dialogs.answerAsk(true);
    rig.controller.renom();
    fileops::testing::setFailureHook({});
    QCOMPARE(rig.dialogs.messages(),
             {ScriptedDialogs::shown(failing + u" : "_s +
                                         fileops::describe(fileops::FileResult::system(
                                             EIO, rig.files.path() + u"/image26.jpg"_s)) +
                                         u"\nChaque fichier a repris son ancien nom."_s,
                                     u"Morvane"_s, DialogIcon::Warning)});
    QCOMPARE(rig.controller.lastReport().undone, 25);
    QCOMPARE(rig.list.count(), 50);
    for (const QString& name : numbered(1, 50))
        QCOMPARE(filetest::contents(rig.files.path() + u'/' + name), name.toUtf8());
}

QTEST_MAIN(RenameControllerTest)
#include "renamecontroller_test.moc"
