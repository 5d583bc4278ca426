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

#include <tuple>

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

    QString at(const QString& name) const { return files.path() + u'/' + name; }
    QSet<QString> names() const { return filetest::names(files.path()); }
    void addFiles(const QStringList& names)
    {
        for (const QString& name : names)
            QVERIFY(filetest::makeFile(at(name), name.toUtf8()));
        list.add(at({}), names);
    }

    // The user answers OK to the question before the run.
    void renameConfirmed()
    {
        dialogs.clear();
        dialogs.answerAsk(true);
        controller.renom();
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

ScriptedDialogs::Call warning(const QString& text)
{
    return ScriptedDialogs::shown(text, u"Morvane"_s, DialogIcon::Warning);
}

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

    void fillsTheListsFromTheCatalogueAndTheStoredStyle()
    {
        Rig rig;
        QComboBox* forms = rig.panel.nameForms();
        QCOMPARE(forms->count(), renaming::nameFormCount);
        for (int i = 0; i < forms->count(); ++i)
            QCOMPARE(forms->itemText(i), renaming::nameForms()[size_t(i)].text);
        QCOMPARE(forms->currentIndex(), renaming::textForm);
        QVERIFY(rig.panel.example()->text().isEmpty());
        // The stored style: Auto when none, none selected when out of range.
        QComboBox* styles = rig.panel.numberingStyles();
        QCOMPARE(styles->currentIndex(), 4);
        for (const auto& [stored, selected] : {std::pair{"3", 3}, std::pair{"9", -1}}) {
            QVERIFY(rig.store.write(settings::names::format, QString::fromLatin1(stored)));
            rig.controller.rempliCombo();
            QCOMPARE(styles->count(), 5);
            QCOMPARE(styles->currentIndex(), selected);
        }
    }

    void fieldRule()
    {
        Rig rig;
        Rig::choose(rig.panel.nameForms(), 0); // everything greyed
        rig.panel.startNumber()->setText(u"5"_s);
        for (const auto& [form, nameText] : {std::pair{14, false}, std::pair{20, true}}) {
            Rig::choose(rig.panel.nameForms(), form);
            for (const char* name : {"Label1", "Text1"})
                QCOMPARE(enabled(rig.panel, name), nameText);
            for (const char* name : {"Label2", "Text2", "Label7", "Combo2"})
                QVERIFY(enabled(rig.panel, name));
        }
        QCOMPARE(rig.panel.nameText()->text(), u"image"_s);
        QCOMPARE(rig.panel.startNumber()->text(), u"5"_s);
        QVERIFY(rig.dialogs.calls().isEmpty());
    }

    void styleClickStoresFormatAndRefreshes()
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

    void styleWriteFailureIsToldOnce()
    {
        QTemporaryDir dir;
        // The settings file's folder is a regular file: no write can succeed, even as root.
        QVERIFY(filetest::makeFile(dir.path() + u"/blocker"_s, "x"));
        Rig rig(dir.path() + u"/blocker/Morvane.ini"_s);
        Rig::choose(rig.panel.numberingStyles(), 1);
        Rig::choose(rig.panel.numberingStyles(), 2);
        QCOMPARE(rig.dialogs.messages(), {warning(rig.store.writeFailureText())});
    }

    void previewTriggersAndMessages()
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
        const auto noName =
            ScriptedDialogs::shown(u"Entrer un nom !"_s, u"Attention"_s, DialogIcon::Critical);
        QCOMPARE(rig.dialogs.messages(), QList({noName, noName}));
        QCOMPARE(rig.panel.example()->text(), u"PLAGE.JPG"_s);

        // One entry: no number.
        rig.panel.nameText()->setText(u"image"_s);
        QCOMPARE(rig.panel.example()->text(), u"image.JPG"_s);

        // The first file vanished: forms that read its time fail, the others still work.
        rig.dialogs.clear();
        QVERIFY(QFile::remove(rig.at(u"Plage.JPG"_s)));
        Rig::choose(rig.panel.nameForms(), 17);
        QCOMPARE(rig.dialogs.messages().size(), 1);
        QVERIFY(rig.dialogs.messages()[0].text.endsWith(rig.at(u"Plage.JPG"_s)));
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
        QVERIFY(QFile::copy(QStringLiteral(MORVANE_TEST_DATA "/camera.jpg"), rig.at(u"p.jpg"_s)));
        rig.list.add(rig.at({}), {u"p.jpg"_s});
        Rig::choose(rig.panel.nameForms(), 18);
        QCOMPARE(rig.panel.example()->text(), u"[2008-10-22][16.28.39].jpg"_s);
    }

    void refusedNameWhileTypingIsShownBesideTheField()
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
        rig.renameConfirmed();
        QCOMPARE(rig.dialogs.messages().size(), 1);
        QVERIFY(rig.dialogs.messages().first().text.contains(problem));
        QCOMPARE(rig.names(), QSet<QString>{u"a.jpg"_s});

        // A name put right clears the field's mark.
        for (int i = 0; i < 4; ++i)
            QTest::keyClick(field, Qt::Key_Backspace);
        QCOMPARE(rig.panel.nameProblem(), QString());
        QCOMPARE(field->toolTip(), u"Entrer le nom final"_s);
    }

    void renomChecksBeforeAsking()
    {
        const std::tuple<int, QString, QString, QString> rows[] = {
            {2, QString(), u"1"_s, u"Entrer un nom !"_s},
            {0, u"image"_s, u"1"_s, u"Selectionner un fichier !"_s},
            {2, u"image"_s, u"1,5"_s, u"Entrer un numéro de début valide !"_s}};
        for (const auto& [files, text, start, message] : rows) {
            Rig rig;
            rig.addFiles(QStringList{u"f1.jpg"_s, u"f2.jpg"_s}.mid(0, files));
            rig.panel.nameText()->setText(text);
            rig.panel.startNumber()->setText(start);
            rig.renameConfirmed();
            QCOMPARE(rig.dialogs.calls(),
                     {ScriptedDialogs::shown(message, u"Attention"_s, DialogIcon::Critical)});
            QCOMPARE(rig.names().size(), static_cast<qsizetype>(files));
        }
    }

    void renomRenamesAndFinishes()
    {
        Rig rig;
        rig.addFiles({u"b.jpg"_s, u"a.png"_s});
        // Cancel at the question: nothing changes.
        rig.dialogs.answerAsk(false);
        rig.controller.renom();
        QCOMPARE(rig.dialogs.calls(),
                 {(ScriptedDialogs::Call{Kind::Ask, u"Voulez-vous changer le nom ?"_s,
                                         u"Confirmation "_s, DialogIcon::None})});
        QCOMPARE(rig.names(), (QSet<QString>{u"b.jpg"_s, u"a.png"_s}));
        QVERIFY(!QGuiApplication::overrideCursor());

        QStringList steps;
        const auto step = [&steps](const QString& name) {
            return [&steps, name] {
                steps << name + (QGuiApplication::overrideCursor() ? u" busy"_s : u""_s);
            };
        };
        rig.controller.setFinishingSteps({step(u"browse"_s), step(u"preview"_s), step(u"list"_s)});
        // A form that reads the file time: the name text set back must not run a preview
        // on the files that no longer have their old names.
        Rig::choose(rig.panel.nameForms(), 18);
        rig.panel.nameText()->setText(u"vacances"_s);
        rig.renameConfirmed();
        QCOMPARE(rig.dialogs.calls().size(), 1);
        QCOMPARE(steps, (QStringList{u"browse busy"_s, u"preview busy"_s, u"list"_s}));
        QVERIFY(rig.panel.example()->text().isEmpty());
        QCOMPARE(rig.panel.nameText()->text(), u"image"_s);
        QCOMPARE(rig.names(), (QSet<QString>{u"[03-07-2007][18.45.12]1.jpg"_s,
                                             u"[03-07-2007][18.45.12]2.png"_s}));
        QCOMPARE(rig.panel.nameForms()->currentIndex(), 18);

        // Ctrl+Z: every file gets its old name back.
        rig.controller.setFinishingSteps({});
        rig.dialogs.clear();
        rig.controller.annulerDernierRenommage();
        QCOMPARE(
            rig.dialogs.messages(),
            {ScriptedDialogs::shown(
                u"2 fichier(s) remis sous leur ancien nom, 0 copie(s) gardée(s) supprimée(s)."_s,
                u"Morvane"_s, DialogIcon::Information)});
        QCOMPARE(filetest::contents(rig.at(u"b.jpg"_s)), "b.jpg");
        QCOMPARE(rig.names(), (QSet<QString>{u"b.jpg"_s, u"a.png"_s}));
    }

    void renomConflictChangesNothing()
    {
        Rig rig;
        rig.addFiles({u"a.jpg"_s, u"b.jpg"_s});
        QVERIFY(filetest::makeFile(rig.at(u"x2.jpg"_s), "in the way"));
        bool finished = false;
        rig.controller.setFinishingSteps({[&] { finished = true; }, {}, {}});
        rig.panel.nameText()->setText(u"x"_s);
        rig.panel.example()->setText(u"shown"_s);
        rig.renameConfirmed();
        QVERIFY(!finished);
        QVERIFY(!QGuiApplication::overrideCursor());
        QCOMPARE(rig.dialogs.messages(),
                 {warning(rig.at(u"b.jpg : Le fichier "_s) + rig.at(u"x2.jpg existe déjà.\n"_s) +
                          u"1 fichier(s) en conflit : rien n'a été changé."_s)});
        QCOMPARE(rig.panel.nameText()->text(), u"x"_s);
        QCOMPARE(rig.panel.example()->text(), u"shown"_s);
        QCOMPARE(rig.list.count(), 2);
        QCOMPARE(rig.names(), (QSet<QString>{u"a.jpg"_s, u"b.jpg"_s, u"x2.jpg"_s}));
    }

    // A run cut short (its journal neither marked nor locked) is offered back at start.
    void interruptedRunIsOfferedBack()
    {
        Rig rig;
        rig.addFiles({u"image1.jpg"_s});
        {
            renaming::RenameOptions options;
            options.nameText = u"cut"_s;
            const renaming::RenamePlan plan =
                renaming::planRename({rig.at(u"image1.jpg"_s)}, options, {});
            renaming::RenameJournal journal;
            QVERIFY(!journal.begin(plan));
            QVERIFY(fileops::renameNoReplace(plan.entries[0].source, plan.entries[0].target).ok());
        }
        rig.dialogs.clear();
        rig.dialogs.answerAsk(true);
        rig.controller.checkInterruptedRun();
        QCOMPARE(rig.dialogs.calls().value(0),
                 (ScriptedDialogs::Call{
                     Kind::Ask, u"Un renommage a été interrompu. Remettre les anciens noms ?"_s,
                     u"Morvane"_s, DialogIcon::Question}));
        QCOMPARE(filetest::contents(rig.at(u"image1.jpg"_s)), "image1.jpg");
    }

    void renomFailureHalfWayPutsEveryFileBack()
    {
        Rig rig;
        const QStringList files{u"a.jpg"_s, u"b.jpg"_s, u"c.jpg"_s};
        rig.addFiles(files);
        filetest::failOn(fileops::testing::Call::Rename, EIO, {u"/b.jpg"_s});
        rig.renameConfirmed();
        fileops::testing::setFailureHook({});
        const auto eio = fileops::FileResult::system(EIO, rig.at(u"image2.jpg"_s));
        QCOMPARE(rig.dialogs.messages(), {warning(rig.at(u"b.jpg : "_s) + fileops::describe(eio) +
                                                  u"\nChaque fichier a repris son ancien nom."_s)});
        QCOMPARE(rig.list.count(), 3);
        for (const QString& name : files)
            QCOMPARE(filetest::contents(rig.at(name)), name.toUtf8());
    }

private:
    QTemporaryDir m_home;
};

QTEST_MAIN(RenameControllerTest)
#include "renamecontroller_test.moc"
