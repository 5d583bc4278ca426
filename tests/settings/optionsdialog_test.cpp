#include "scripteddialogs.h"
#include "settings/optionsdialog.h"
#include "settings/settingsschema.h"
#include "settings/settingsstore.h"

#include <QAbstractButton>
#include <QFile>
#include <QLineEdit>
#include <QSpinBox>
#include <QTabBar>
#include <QTemporaryDir>
#include <QTest>

#include <tuple>

namespace n = settings::names;
using namespace Qt::StringLiterals;

namespace {

// The dialog over a store in a temporary folder (under a regular file when `blocked`, so no
// write can succeed, even as root), initialised with "/opt/morvane" and loaded.
struct Rig
{
    explicit Rig(bool blocked = false, const QList<std::pair<QString, QString>>& values = {})
        : store(dir.filePath(blocked ? u"blocker/Morvane.ini"_s : u"Morvane.ini"_s))
    {
        if (blocked && !QFile(dir.filePath(u"blocker"_s)).open(QIODevice::WriteOnly))
            qFatal("cannot create the blocker file");
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
    void loadFreshAndPairs()
    {
        Rig rig;
        for (const char* on : {"Option3", "Option1", "Option5", "Check1", "ChkGarderMeta",
                               "OptDateModif", "OptOrdreJMA"})
            QVERIFY2(rig.checked(on), on);
        for (const char* off :
             {"Option4", "Option2", "Check2", "Check3", "ChkCorbeille", "ChkGarderDates",
              "ChkApercuTout", "ChkDernierDossier", "OptDatePriseDeVue", "OptOrdreAMJ"})
            QVERIFY2(!rig.checked(off), off);
        for (const char* greyed : {"Option1", "Option2", "Command3", "Command4"})
            QVERIFY2(!rig.enabled(greyed), greyed);
        QCOMPARE(rig.child<QLineEdit>("Text1")->text(), u"/opt/morvane"_s);
        QCOMPARE(rig.child<QLineEdit>("Text2")->text(), u"/opt/morvane"_s);
        QVERIFY(rig.child<QLineEdit>("Text1")->isReadOnly());
        // Each tab shows its own frames only: "Renommer" two, "Options avancées" one.
        const auto shownFrames = [&rig] {
            QStringList shown;
            for (const char* frame : {"Frame1", "Frame2", "Frame3", "Frame4", "Frame5"})
                if (rig.child<QWidget>(frame)->isVisibleTo(&rig.dialog))
                    shown << QLatin1String(frame);
            return shown.join(u' ');
        };
        QCOMPARE(shownFrames(), u"Frame1 Frame4"_s);
        auto* tabs = rig.child<QTabBar>("TS1");
        QCOMPARE(tabs->count(), 4);
        QCOMPARE(tabs->tabText(3), u"Options avancées"_s);
        tabs->setCurrentIndex(3);
        QCOMPARE(shownFrames(), u"Frame5"_s);

        // Enablings follow the clicks.
        QTest::mouseClick(rig.child("Check3"), Qt::LeftButton);
        QVERIFY(rig.enabled("Option1"));
        rig.click("Option6");
        QVERIFY(rig.enabled("Command4"));
        rig.click("Option5");
        QVERIFY(!rig.enabled("Command4"));
        // Ok leaves the date options it did not change unstored.
        rig.click("Command1");
        QVERIFY(!rig.store.exists(n::datePriseDeVue) && !rig.store.exists(n::ordreDates));

        // Of two options of one pair both stored as on, the one loaded second wins.
        const std::tuple<QString, QString, bool, bool> rows[] = {
            {u"vrai"_s, u"0"_s, true, false},
            {u"True"_s, u"1"_s, false, true},
            {u"faux"_s, u"False"_s, false, false},
        };
        for (const auto& [orig, dest, origOn, destOn] : rows) {
            Rig pair(false, {{n::renomOrig, orig}, {n::renomDest, dest}});
            QCOMPARE(pair.checked("Option3"), origOn);
            QCOMPARE(pair.checked("Option4"), destOn);
            QCOMPARE(pair.enabled("Command3"), !origOn);
        }
    }

    // Every tab's controls changed, then Ok or Annuler. Only the folder is stored at once.
    void storedOnOkOnly()
    {
        for (const bool ok : {false, true}) {
            Rig rig(false, {{n::supOriginal, u"1"_s},
                            {n::corbeille, u"Vrai"_s},
                            {n::garderMeta, u"peut-être"_s},
                            {n::datePriseDeVue, u"Vrai"_s},
                            {n::ordreDates, u" AAAA-MM-JJ"_s}});
            // "peut-être" reads as the default.
            for (const char* on :
                 {"ChkCorbeille", "ChkGarderMeta", "OptDatePriseDeVue", "OptOrdreAMJ"})
                QVERIFY2(rig.checked(on), on);
            rig.click("Option4");
            rig.dialogs.answerFolder(rig.dir.path() + u"/"_s);
            rig.click("Command3");
            QCOMPARE(rig.store.readText(n::repertNom), rig.dir.path());
            QCOMPARE(rig.child<QLineEdit>("Text1")->text(), rig.dir.path());
            rig.click("Command3"); // a cancelled picker changes nothing and says nothing
            const ScriptedDialogs::Call picker{
                ScriptedDialogs::Kind::PickFolder, {}, {}, DialogIcon::None};
            QCOMPARE(rig.dialogs.calls(), QList({picker, picker}));

            // Another window stores its own choices while this dialog is open.
            SettingsStore other(rig.store.filePath());
            QVERIFY(other.write(n::supOriginal, u"0"_s));
            QVERIFY(other.writeFlag(n::convDest, true));
            QFile file(rig.store.filePath());
            QVERIFY(file.open(QIODevice::ReadOnly));
            const QByteArray before = file.readAll();
            file.close();
            QCOMPARE(rig.child<QSpinBox>("SpinQualiteJPEG")->value(), 90);
            rig.child<QSpinBox>("SpinQualiteJPEG")->setValue(80);
            rig.child<QLineEdit>("TextTailleMax")->setText(u"1920 X 1080"_s);
            for (const char* control :
                 {"Check3", "Check1", "Option2", "ChkCorbeille", "ChkGarderMeta", "ChkGarderDates",
                  "ChkApercuTout", "ChkDernierDossier", "OptDateModif", "OptOrdreJMA"})
                rig.click(control);
            rig.click(ok ? "Command1" : "Command2");

            QCOMPARE(rig.dialogs.calls().size(), 2);
            QCOMPARE(rig.dialog.result(), int(ok ? QDialog::Accepted : QDialog::Rejected));
            if (!ok) {
                QVERIFY(file.open(QIODevice::ReadOnly));
                QCOMPARE(file.readAll(), before);
                continue;
            }
            QStringList stored;
            for (const QString& name :
                 {n::visu, n::supOriginal, n::copieOriginal, n::repertCopieOriginal,
                  n::repertCopieDest, n::renomOrig, n::renomDest, n::convOrig, n::convDest,
                  n::corbeille, n::garderMeta, n::garderDates, n::apercuTout, n::dernierDossier,
                  n::datePriseDeVue, n::ordreDates, n::format, n::qualiteJpeg, n::tailleMax})
                stored << name + u'=' + rig.store.readText(name);
            QCOMPARE(
                stored.join(u' '),
                u"Visu=0 SupOriginal=0 CopieOriginal=1 RepertCopieOriginal=True "
                u"RepertCopieDest=False RenomOrig=False RenomDest=True ConvOrig=1 ConvDest=True "
                u"Corbeille=0 GarderMeta=0 GarderDates=1 ApercuTout=1 DernierDossier=1 "
                u"DatePriseDeVue=0 OrdreDates=jj-mm-aaaa Format=4 QualiteJPEG=80 "
                u"TailleMax=1920x1080"_s);
            QVERIFY(!rig.store.exists(n::compressionPng) && !rig.store.exists(n::tiffWebp));
        }
    }

    void failedWritesAreReportedOnce()
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
};

QTEST_MAIN(OptionsDialogTest)
#include "optionsdialog_test.moc"
