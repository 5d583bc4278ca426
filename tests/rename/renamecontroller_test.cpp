#include "rename/renamecontroller.h"

#include "filetestutil.h"
#include "lists/worklist.h"
#include "rename/nameforms.h"
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

namespace {

using Kind = ScriptedDialogs::Kind;

// A panel with its controller over a work list of files made in a temporary folder.
struct Rig
{
    explicit Rig(const QString& settingsPath = {})
        : store(settingsPath.isEmpty() ? settingsDir.path() + QStringLiteral("/Morvane.ini")
                                       : settingsPath),
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
    void fillsTheListsFromTheCatalogueAndTheStoredStyle_data();
    void fillsTheListsFromTheCatalogueAndTheStoredStyle();
    void fieldRule_data();
    void fieldRule();
    void styleClickStoresFormatAndRefreshes();
    void styleWriteFailureIsToldOnce();
    void previewTriggersAndMessages();
    void renomChecksBeforeAsking_data();
    void renomChecksBeforeAsking();
    void renomCancelChangesNothing();
    void renomRenamesAndFinishes();
    void renomFailureLeavesTheListAlone();
};

void RenameControllerTest::fillsTheListsFromTheCatalogueAndTheStoredStyle_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<int>("selected");
    QTest::newRow("default Auto") << QString() << 4;
    QTest::newRow("0000") << QStringLiteral("3") << 3;
    QTest::newRow("out of range") << QStringLiteral("9") << -1;
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
    QCOMPARE(styles->itemText(4), QStringLiteral("Auto"));
    QCOMPARE(styles->currentIndex(), selected);
    QComboBox* forms = rig.panel.nameForms();
    QCOMPARE(forms->count(), renaming::nameFormCount);
    for (int i = 0; i < forms->count(); ++i)
        QCOMPARE(forms->itemText(i), renaming::nameForms()[static_cast<size_t>(i)].text);
    QCOMPARE(forms->currentText(), QStringLiteral("Remplace par Texte"));
    QVERIFY(rig.panel.example()->text().isEmpty());
}

void RenameControllerTest::fieldRule_data()
{
    QTest::addColumn<int>("form");
    QTest::addColumn<bool>("nameText");
    QTest::addColumn<bool>("numbering");
    QTest::newRow("0") << 0 << false << false;
    QTest::newRow("13") << 13 << false << false;
    QTest::newRow("14") << 14 << false << true;
    QTest::newRow("19") << 19 << false << true;
    QTest::newRow("20") << 20 << true << true;
}

void RenameControllerTest::fieldRule()
{
    QFETCH(int, form);
    QFETCH(bool, nameText);
    QFETCH(bool, numbering);
    Rig rig;
    Rig::choose(rig.panel.nameForms(), 0); // start from everything greyed
    rig.panel.startNumber()->setText(QStringLiteral("5"));
    Rig::choose(rig.panel.nameForms(), form);
    for (const char* name : {"Label1", "Text1"})
        QCOMPARE(enabled(rig.panel, name), nameText);
    for (const char* name : {"Label2", "Text2", "Label7", "Combo2"})
        QCOMPARE(enabled(rig.panel, name), numbering);
    QCOMPARE(rig.panel.nameText()->text(), QStringLiteral("image"));
    QCOMPARE(rig.panel.startNumber()->text(), QStringLiteral("5"));
    QVERIFY(rig.dialogs.calls().isEmpty());
}

void RenameControllerTest::styleClickStoresFormatAndRefreshes()
{
    Rig rig;
    rig.addFiles({QStringLiteral("b.jpg"), QStringLiteral("a.JPG")});
    rig.panel.startNumber()->setText(QStringLiteral("7"));
    Rig::choose(rig.panel.numberingStyles(), 2);
    QCOMPARE(rig.store.readText(settings::names::format), QStringLiteral("2"));
    QCOMPARE(rig.panel.example()->text(), QStringLiteral("image007.jpg"));

    // The start number alone does not refresh the example; the name text does.
    rig.panel.startNumber()->setText(QStringLiteral("8"));
    QCOMPARE(rig.panel.example()->text(), QStringLiteral("image007.jpg"));
    rig.panel.nameText()->setText(QStringLiteral("vac"));
    QCOMPARE(rig.panel.example()->text(), QStringLiteral("vac008.jpg"));
    QVERIFY(rig.dialogs.calls().isEmpty());
}

void RenameControllerTest::styleWriteFailureIsToldOnce()
{
    QTemporaryDir dir;
    // The settings file's folder is a regular file: no write can succeed, even as root.
    QVERIFY(filetest::makeFile(dir.path() + QStringLiteral("/blocker"), "x"));
    Rig rig(dir.path() + QStringLiteral("/blocker/Morvane.ini"));
    Rig::choose(rig.panel.numberingStyles(), 1);
    Rig::choose(rig.panel.numberingStyles(), 2);
    const auto messages = rig.dialogs.messages();
    QCOMPARE(messages.size(), 1);
    QCOMPARE(messages[0].text, rig.store.writeFailureText());
    QCOMPARE(messages[0].title, QStringLiteral("Morvane"));
    QCOMPARE(messages[0].icon, DialogIcon::Warning);
}

void RenameControllerTest::previewTriggersAndMessages()
{
    Rig rig;
    // An empty list: no example and no message, whatever the fields say.
    rig.panel.nameText()->setText(QString());
    Rig::choose(rig.panel.nameForms(), 10);
    QVERIFY(rig.panel.example()->text().isEmpty());
    QVERIFY(rig.dialogs.calls().isEmpty());

    rig.addFiles({QStringLiteral("Plage.JPG")});
    rig.controller.VisuRenom();
    QCOMPARE(rig.panel.example()->text(), QStringLiteral("PLAGE.JPG"));

    // Form 20 with an empty name text: told on every trigger, example kept.
    Rig::choose(rig.panel.nameForms(), 20);
    rig.controller.VisuRenom();
    QCOMPARE(rig.dialogs.messages().size(), 2);
    QCOMPARE(rig.dialogs.messages()[0].text, QStringLiteral("Entrer un nom !"));
    QCOMPARE(rig.dialogs.messages()[0].title, QStringLiteral("Attention"));
    QCOMPARE(rig.dialogs.messages()[0].icon, DialogIcon::Critical);
    QCOMPARE(rig.panel.example()->text(), QStringLiteral("PLAGE.JPG"));

    // One entry: no number.
    rig.panel.nameText()->setText(QStringLiteral("image"));
    QCOMPARE(rig.panel.example()->text(), QStringLiteral("image.JPG"));

    // The first file vanished: forms that read its time fail, the others still work.
    rig.dialogs.clear();
    QVERIFY(QFile::remove(rig.files.path() + QStringLiteral("/Plage.JPG")));
    Rig::choose(rig.panel.nameForms(), 17);
    QCOMPARE(rig.dialogs.messages().size(), 1);
    QVERIFY(
        rig.dialogs.messages()[0].text.endsWith(rig.files.path() + QStringLiteral("/Plage.JPG")));
    QCOMPARE(rig.dialogs.messages()[0].title, QStringLiteral("Morvane"));
    QCOMPARE(rig.dialogs.messages()[0].icon, DialogIcon::Warning);
    QCOMPARE(rig.panel.example()->text(), QStringLiteral("image.JPG"));
    Rig::choose(rig.panel.nameForms(), 14);
    QCOMPARE(rig.panel.example()->text(), QStringLiteral("(12-02-2008).JPG"));
    QCOMPARE(rig.dialogs.messages().size(), 1);
}

void RenameControllerTest::renomChecksBeforeAsking_data()
{
    QTest::addColumn<int>("files");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("start");
    QTest::addColumn<QString>("message");
    QTest::newRow("empty name") << 2 << QString() << QStringLiteral("1")
                                << QStringLiteral("Entrer un nom !");
    QTest::newRow("empty list") << 0 << QStringLiteral("image") << QStringLiteral("1")
                                << QStringLiteral("Selectionner un fichier !");
    QTest::newRow("bad start") << 2 << QStringLiteral("image") << QStringLiteral("1,5")
                               << QStringLiteral("Entrer un numéro de début valide !");
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
        names << QStringLiteral("f%1.jpg").arg(i);
    rig.addFiles(names);
    rig.panel.nameText()->setText(text);
    rig.panel.startNumber()->setText(start);
    rig.dialogs.clear();
    rig.controller.renom();
    QCOMPARE(rig.dialogs.calls().size(), 1);
    QCOMPARE(rig.dialogs.calls()[0].kind, Kind::Message);
    QCOMPARE(rig.dialogs.calls()[0].text, message);
    QCOMPARE(rig.dialogs.calls()[0].title, QStringLiteral("Attention"));
    QCOMPARE(rig.dialogs.calls()[0].icon, DialogIcon::Critical);
    QCOMPARE(filetest::names(rig.files.path()).size(), static_cast<qsizetype>(files));
}

void RenameControllerTest::renomCancelChangesNothing()
{
    Rig rig;
    rig.addFiles({QStringLiteral("a.jpg")});
    rig.dialogs.answerAsk(false);
    rig.controller.renom();
    QCOMPARE(rig.dialogs.calls().size(), 1);
    QCOMPARE(rig.dialogs.calls()[0].kind, Kind::Ask);
    QCOMPARE(rig.dialogs.calls()[0].text, QStringLiteral("Voulez-vous changer le nom ?"));
    QCOMPARE(rig.dialogs.calls()[0].title, QStringLiteral("Confirmation "));
    QCOMPARE(rig.dialogs.calls()[0].icon, DialogIcon::None);
    QCOMPARE(filetest::names(rig.files.path()), QSet<QString>{QStringLiteral("a.jpg")});
    QVERIFY(!QGuiApplication::overrideCursor());
}

void RenameControllerTest::renomRenamesAndFinishes()
{
    Rig rig;
    rig.addFiles({QStringLiteral("b.jpg"), QStringLiteral("a.png")});
    QStringList steps;
    rig.controller.setFinishingSteps({[&] {
                                          steps << QStringLiteral("browse");
                                          QVERIFY(QGuiApplication::overrideCursor());
                                      },
                                      [&] { steps << QStringLiteral("preview"); },
                                      [&] {
                                          steps << QStringLiteral("work list");
                                          QVERIFY(!QGuiApplication::overrideCursor());
                                          QVERIFY(rig.panel.example()->text().isEmpty());
                                          QCOMPARE(rig.panel.nameText()->text(),
                                                   QStringLiteral("image"));
                                      }});
    // A form that reads the file time: the name text set back must not run a preview
    // on the files that no longer have their old names.
    Rig::choose(rig.panel.nameForms(), 18);
    rig.panel.nameText()->setText(QStringLiteral("vacances"));
    rig.dialogs.clear();
    rig.dialogs.answerAsk(true);
    rig.controller.renom();
    QCOMPARE(rig.dialogs.calls().size(), 1);
    QCOMPARE(steps, (QStringList{QStringLiteral("browse"), QStringLiteral("preview"),
                                 QStringLiteral("work list")}));
    QCOMPARE(filetest::names(rig.files.path()),
             (QSet<QString>{QStringLiteral("[03-07-2007][18.45.12]1.jpg"),
                            QStringLiteral("[03-07-2007][18.45.12]2.png")}));
    QCOMPARE(rig.panel.nameForms()->currentIndex(), 18);
}

void RenameControllerTest::renomFailureLeavesTheListAlone()
{
    Rig rig;
    rig.addFiles({QStringLiteral("a.jpg"), QStringLiteral("b.jpg")});
    QVERIFY(filetest::makeFile(rig.files.path() + QStringLiteral("/x2.jpg"), "in the way"));
    bool finished = false;
    rig.controller.setFinishingSteps({[&] { finished = true; }, {}, {}});
    rig.panel.nameText()->setText(QStringLiteral("x"));
    rig.panel.example()->setText(QStringLiteral("shown"));
    rig.dialogs.clear();
    rig.dialogs.answerAsk(true);
    rig.controller.renom();
    QVERIFY(!finished);
    QVERIFY(!QGuiApplication::overrideCursor());
    const auto messages = rig.dialogs.messages();
    QCOMPARE(messages.size(), 1);
    QVERIFY(messages[0].text.endsWith(rig.files.path() + QStringLiteral("/x2.jpg")));
    QCOMPARE(messages[0].title, QStringLiteral("Morvane"));
    QCOMPARE(messages[0].icon, DialogIcon::Warning);
    QCOMPARE(rig.panel.nameText()->text(), QStringLiteral("x"));
    QCOMPARE(rig.panel.example()->text(), QStringLiteral("shown"));
    QCOMPARE(filetest::names(rig.files.path()),
             (QSet<QString>{QStringLiteral("x1.jpg"), QStringLiteral("b.jpg"),
                            QStringLiteral("x2.jpg")}));
    QCOMPARE(rig.controller.lastReport().done.size(), 1u);
}

QTEST_MAIN(RenameControllerTest)
#include "renamecontroller_test.moc"
