#include "scripteddialogs.h"
#include "settings/optionsdialog.h"
#include "settings/settingsschema.h"
#include "settings/settingsstore.h"

#include <QCheckBox>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabBar>
#include <QTemporaryDir>
#include <QTest>

namespace n = settings::names;
using namespace Qt::StringLiterals;

namespace {

// The settings path under `dir`; under a regular file when `blocked`, so no write can succeed,
// even as root.
QString settingsPath(const QTemporaryDir& dir, bool blocked)
{
    if (!blocked)
        return dir.filePath(u"Morvane.ini"_s);
    QFile blocker(dir.filePath(u"blocker"_s));
    if (!blocker.open(QIODevice::WriteOnly))
        qFatal("cannot create the blocker file");
    return dir.filePath(u"blocker/Morvane.ini"_s);
}

// The dialog over a store in a temporary folder, initialised with the program's folder
// "/opt/morvane" and loaded as the dialog opens.
struct Rig
{
    explicit Rig(bool blocked = false, const QList<std::pair<QString, QString>>& values = {})
        : store(settingsPath(dir, blocked))
    {
        store.initialise(u"/opt/morvane"_s);
        for (const auto& [name, value] : values)
            store.write(name, value);
        dialog.load();
    }
    template <typename T = QAbstractButton> T* child(const char* name)
    {
        T* control = dialog.findChild<T*>(QLatin1String(name));
        if (!control)
            qFatal("missing control %s", name);
        return control;
    }
    bool checked(const char* name) { return child(name)->isChecked(); }
    bool enabled(const char* name) { return child(name)->isEnabled(); }
    void click(const char* name) { child(name)->click(); }

    QTemporaryDir dir;
    SettingsStore store;
    ScriptedDialogs dialogs;
    OptionsDialog dialog{store, dialogs};
};

} // namespace

class OptionsDialogTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void freshLoad();
    void loadedPairs_data();
    void loadedPairs();
    void folderIsStoredAtOnceEvenWhenCancelled();
    void okWritesOnlyWhatChanged();
    void failedWritesAreReportedOnce();
    void dateOptions();
};

void OptionsDialogTest::freshLoad()
{
    Rig rig;
    for (const char* on : {"Option3", "Option1", "Option5", "Check1", "ChkGarderMeta"})
        QVERIFY2(rig.checked(on), on);
    for (const char* off : {"Option4", "Option2", "Check2", "Check3", "ChkCorbeille",
                            "ChkGarderDates", "ChkApercuTout", "ChkDernierDossier"})
        QVERIFY2(!rig.checked(off), off);
    for (const char* greyed : {"Option1", "Option2", "Command3", "Command4"})
        QVERIFY2(!rig.enabled(greyed), greyed);
    QCOMPARE(rig.child<QLineEdit>("Text1")->text(), u"/opt/morvane"_s);
    QCOMPARE(rig.child<QLineEdit>("Text2")->text(), u"/opt/morvane"_s);
    QVERIFY(rig.child<QLineEdit>("Text1")->isReadOnly());
    // The "Renommer" tab shows its two frames only.
    for (const char* frame : {"Frame1", "Frame4"})
        QVERIFY(!rig.child<QWidget>(frame)->isHidden());
    for (const char* frame : {"Frame2", "Frame3"})
        QVERIFY(rig.child<QWidget>(frame)->isHidden());
    QVERIFY(!rig.child<QWidget>("Frame5")->isVisibleTo(&rig.dialog));
    // The fourth tab shows its own frame only.
    auto* tabs = rig.child<QTabBar>("TS1");
    QCOMPARE(tabs->count(), 4);
    QCOMPARE(tabs->tabText(3), u"Options avancées"_s);
    tabs->setCurrentIndex(3);
    QVERIFY(rig.child<QWidget>("Frame5")->isVisibleTo(&rig.dialog));
    for (const char* frame : {"Frame1", "Frame4", "Frame2", "Frame3"})
        QVERIFY(rig.child<QWidget>(frame)->isHidden());

    // Enablings follow the clicks.
    QTest::mouseClick(rig.child("Check3"), Qt::LeftButton);
    QVERIFY(rig.enabled("Option1"));
    rig.click("Option6");
    QVERIFY(rig.enabled("Command4"));
    rig.click("Option5");
    QVERIFY(!rig.enabled("Command4"));
}

void OptionsDialogTest::loadedPairs_data()
{
    QTest::addColumn<QString>("orig");
    QTest::addColumn<QString>("dest");
    QTest::addColumn<bool>("origOn");
    QTest::addColumn<bool>("destOn");
    QTest::newRow("words") << u"False"_s << u"True"_s << false << true;
    QTest::newRow("french words and digits") << u"vrai"_s << u"0"_s << true << false;
    QTest::newRow("both true: the one set second wins") << u"True"_s << u"1"_s << false << true;
    QTest::newRow("both false: both off") << u"faux"_s << u"False"_s << false << false;
}

void OptionsDialogTest::loadedPairs()
{
    QFETCH(QString, orig);
    QFETCH(QString, dest);
    QFETCH(bool, origOn);
    QFETCH(bool, destOn);
    Rig rig(false, {{n::renomOrig, orig}, {n::renomDest, dest}});
    QCOMPARE(rig.checked("Option3"), origOn);
    QCOMPARE(rig.checked("Option4"), destOn);
    QCOMPARE(rig.enabled("Command3"), !origOn);
}

void OptionsDialogTest::folderIsStoredAtOnceEvenWhenCancelled()
{
    Rig rig;
    rig.click("Option4");
    rig.dialogs.answerFolder(rig.dir.path() + u"/"_s);
    rig.click("Command3");
    QCOMPARE(rig.store.readText(n::repertNom), rig.dir.path());
    QCOMPARE(rig.child<QLineEdit>("Text1")->text(), rig.dir.path());

    // A cancelled picker changes nothing and says nothing.
    rig.click("Command3");
    QCOMPARE(rig.store.readText(n::repertNom), rig.dir.path());

    rig.click("ChkCorbeille");
    rig.click("Command2");
    QCOMPARE(rig.dialog.result(), int(QDialog::Rejected));
    QCOMPARE(rig.store.readText(n::renomDest), u"0"_s);
    QVERIFY(!rig.store.exists(n::corbeille));
    QVERIFY(rig.dialogs.messages().isEmpty());
    QCOMPARE(rig.dialogs.calls().size(), 2);
    QCOMPARE(rig.dialogs.calls().first().kind, ScriptedDialogs::Kind::PickFolder);
    QCOMPARE(rig.dialogs.calls().first().title, QString());
}

void OptionsDialogTest::okWritesOnlyWhatChanged()
{
    Rig rig(false,
            {{n::supOriginal, u"1"_s}, {n::corbeille, u"Vrai"_s}, {n::garderMeta, u"peut-être"_s}});
    QVERIFY(rig.checked("ChkCorbeille"));
    QVERIFY(rig.checked("ChkGarderMeta")); // unreadable: its default
    // Another window stores its own choices while this dialog is open.
    SettingsStore other(rig.store.filePath());
    QVERIFY(other.write(n::supOriginal, u"0"_s));
    QVERIFY(other.writeFlag(n::convDest, true));
    QCOMPARE(rig.child<QSpinBox>("SpinQualiteJPEG")->value(), 90);
    rig.child<QSpinBox>("SpinQualiteJPEG")->setValue(80);
    rig.child<QLineEdit>("TextTailleMax")->setText(u"1920 X 1080"_s);
    for (const char* control :
         {"Check3", "Check1", "Option2", "Option4", "ChkCorbeille", "ChkGarderMeta",
          "ChkGarderDates", "ChkApercuTout", "ChkDernierDossier", "Command1"})
        rig.click(control);

    QCOMPARE(rig.dialog.result(), int(QDialog::Accepted));
    const std::pair<QString, const char*> expected[] = {
        {n::visu, "0"},
        {n::supOriginal, "0"},
        {n::copieOriginal, "1"},
        {n::repertCopieOriginal, "True"},
        {n::repertCopieDest, "False"},
        {n::renomOrig, "False"},
        {n::renomDest, "True"},
        {n::convOrig, "1"},
        {n::convDest, "True"},
        {n::corbeille, "0"},
        {n::garderMeta, "0"},
        {n::garderDates, "1"},
        {n::apercuTout, "1"},
        {n::dernierDossier, "1"},
        {n::format, "4"},
        {n::qualiteJpeg, "80"},
        {n::tailleMax, "1920x1080"},
    };
    for (const auto& [name, text] : expected)
        QCOMPARE(rig.store.readText(name), QLatin1String(text));
    QVERIFY(!rig.store.exists(n::compressionPng) && !rig.store.exists(n::tiffWebp));
    QVERIFY(rig.dialogs.calls().isEmpty());
}

void OptionsDialogTest::failedWritesAreReportedOnce()
{
    Rig rig(true);
    rig.click("Option4");
    rig.dialogs.answerFolder(rig.dir.path());
    rig.click("Command3");
    QCOMPARE(rig.dialogs.messages().size(), 1);

    rig.click("Command1");
    QCOMPARE(rig.dialog.result(), int(QDialog::Accepted));
    // "Ok" with nothing changed says it too.
    OptionsDialog unchanged(rig.store, rig.dialogs);
    unchanged.load();
    unchanged.confirm();
    const auto warning =
        ScriptedDialogs::shown(rig.store.writeFailureText(), u"Morvane"_s, DialogIcon::Warning);
    QCOMPARE(rig.dialogs.messages(), QList({warning, warning, warning}));
}

void OptionsDialogTest::dateOptions()
{
    {
        // Unset, each shows its default, and an Ok without a change stores neither.
        Rig rig;
        QVERIFY(rig.checked("OptDateModif") && rig.checked("OptOrdreJMA"));
        QVERIFY(!rig.checked("OptDatePriseDeVue") && !rig.checked("OptOrdreAMJ"));
        rig.click("Command1");
        QVERIFY(!rig.store.exists(n::datePriseDeVue) && !rig.store.exists(n::ordreDates));
    }
    Rig rig(false, {{n::datePriseDeVue, u"Vrai"_s}, {n::ordreDates, u" AAAA-MM-JJ"_s}});
    QVERIFY(rig.checked("OptDatePriseDeVue") && rig.checked("OptOrdreAMJ"));
    rig.click("OptDateModif");
    rig.click("OptOrdreJMA");
    rig.click("Command1");
    QCOMPARE(rig.store.readText(n::datePriseDeVue), u"0"_s);
    QCOMPARE(rig.store.readText(n::ordreDates), u"jj-mm-aaaa"_s);
}

QTEST_MAIN(OptionsDialogTest)
#include "optionsdialog_test.moc"
