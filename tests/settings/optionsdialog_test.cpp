#include "scripteddialogs.h"
#include "settings/optionsdialog.h"
#include "settings/settingsschema.h"
#include "settings/settingsstore.h"

#include <QCheckBox>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>

namespace n = settings::names;

class OptionsDialogTest : public QObject
{
    Q_OBJECT

private:
    template <typename T> static T* child(QWidget& dialog, const char* name)
    {
        T* control = dialog.findChild<T*>(QLatin1String(name));
        if (!control)
            qFatal("missing control %s", name);
        return control;
    }

private Q_SLOTS:
    void freshLoad();
    void loadedPairs_data();
    void loadedPairs();
    void folderIsStoredAtOnceEvenWhenCancelled();
    void okWritesTheNineValues();
    void failedWritesAreReportedOnce();
};

void OptionsDialogTest::freshLoad()
{
    QTemporaryDir dir;
    SettingsStore store(dir.filePath(QStringLiteral("Morvane.ini")));
    store.initialise(QStringLiteral("/opt/morvane"));
    ScriptedDialogs dialogs;
    OptionsDialog dialog(store, dialogs);
    dialog.load();

    QVERIFY(child<QRadioButton>(dialog, "Option3")->isChecked());
    QVERIFY(!child<QRadioButton>(dialog, "Option4")->isChecked());
    QVERIFY(child<QRadioButton>(dialog, "Option1")->isChecked());
    QVERIFY(!child<QRadioButton>(dialog, "Option2")->isChecked());
    QVERIFY(child<QRadioButton>(dialog, "Option5")->isChecked());
    QVERIFY(child<QCheckBox>(dialog, "Check1")->isChecked());
    QVERIFY(!child<QCheckBox>(dialog, "Check2")->isChecked());
    QVERIFY(!child<QCheckBox>(dialog, "Check3")->isChecked());
    QVERIFY(!child<QRadioButton>(dialog, "Option1")->isEnabled());
    QVERIFY(!child<QRadioButton>(dialog, "Option2")->isEnabled());
    QVERIFY(!child<QPushButton>(dialog, "Command3")->isEnabled());
    QVERIFY(!child<QPushButton>(dialog, "Command4")->isEnabled());
    QCOMPARE(child<QLineEdit>(dialog, "Text1")->text(), QStringLiteral("/opt/morvane"));
    QCOMPARE(child<QLineEdit>(dialog, "Text2")->text(), QStringLiteral("/opt/morvane"));
    QVERIFY(child<QLineEdit>(dialog, "Text1")->isReadOnly());
    // The "Renommer" tab shows its two frames only.
    QVERIFY(!child<QWidget>(dialog, "Frame1")->isHidden());
    QVERIFY(!child<QWidget>(dialog, "Frame4")->isHidden());
    QVERIFY(child<QWidget>(dialog, "Frame2")->isHidden());
    QVERIFY(child<QWidget>(dialog, "Frame3")->isHidden());
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Options"));

    // Enablings follow the clicks.
    QTest::mouseClick(child<QCheckBox>(dialog, "Check3"), Qt::LeftButton);
    QVERIFY(child<QRadioButton>(dialog, "Option1")->isEnabled());
    child<QRadioButton>(dialog, "Option6")->click();
    QVERIFY(child<QPushButton>(dialog, "Command4")->isEnabled());
    child<QRadioButton>(dialog, "Option5")->click();
    QVERIFY(!child<QPushButton>(dialog, "Command4")->isEnabled());
}

void OptionsDialogTest::loadedPairs_data()
{
    QTest::addColumn<QString>("orig");
    QTest::addColumn<QString>("dest");
    QTest::addColumn<bool>("origOn");
    QTest::addColumn<bool>("destOn");
    QTest::newRow("words") << "False"
                           << "True" << false << true;
    QTest::newRow("french words and digits") << "vrai"
                                             << "0" << true << false;
    QTest::newRow("both true: the one set second wins") << "True"
                                                        << "1" << false << true;
    QTest::newRow("both false: both off") << "faux"
                                          << "False" << false << false;
}

void OptionsDialogTest::loadedPairs()
{
    QFETCH(QString, orig);
    QFETCH(QString, dest);
    QFETCH(bool, origOn);
    QFETCH(bool, destOn);
    QTemporaryDir dir;
    SettingsStore store(dir.filePath(QStringLiteral("Morvane.ini")));
    store.initialise(QStringLiteral("/opt"));
    QVERIFY(store.write(n::renomOrig, orig) && store.write(n::renomDest, dest));
    ScriptedDialogs dialogs;
    OptionsDialog dialog(store, dialogs);
    dialog.load();
    QCOMPARE(child<QRadioButton>(dialog, "Option3")->isChecked(), origOn);
    QCOMPARE(child<QRadioButton>(dialog, "Option4")->isChecked(), destOn);
    QCOMPARE(child<QPushButton>(dialog, "Command3")->isEnabled(), !origOn);
}

void OptionsDialogTest::folderIsStoredAtOnceEvenWhenCancelled()
{
    QTemporaryDir dir;
    SettingsStore store(dir.filePath(QStringLiteral("Morvane.ini")));
    store.initialise(QStringLiteral("/opt"));
    ScriptedDialogs dialogs;
    OptionsDialog dialog(store, dialogs);
    dialog.load();

    child<QRadioButton>(dialog, "Option4")->click();
    dialogs.answerFolder(dir.path() + QStringLiteral("/"));
    child<QPushButton>(dialog, "Command3")->click();
    QCOMPARE(store.readText(n::repertNom), dir.path());
    QCOMPARE(child<QLineEdit>(dialog, "Text1")->text(), dir.path());

    // A cancelled picker changes nothing and says nothing.
    child<QPushButton>(dialog, "Command3")->click();
    QCOMPARE(store.readText(n::repertNom), dir.path());

    child<QPushButton>(dialog, "Command2")->click();
    QCOMPARE(dialog.result(), int(QDialog::Rejected));
    QCOMPARE(store.readText(n::renomDest), QStringLiteral("0"));
    QVERIFY(dialogs.messages().isEmpty());
    QCOMPARE(dialogs.calls().size(), 2);
    QCOMPARE(dialogs.calls().first().kind, ScriptedDialogs::Kind::PickFolder);
    QCOMPARE(dialogs.calls().first().title, QString());
}

void OptionsDialogTest::okWritesTheNineValues()
{
    QTemporaryDir dir;
    SettingsStore store(dir.filePath(QStringLiteral("Morvane.ini")));
    store.initialise(QStringLiteral("/opt"));
    ScriptedDialogs dialogs;
    OptionsDialog dialog(store, dialogs);
    dialog.load();

    child<QCheckBox>(dialog, "Check3")->click();
    child<QCheckBox>(dialog, "Check1")->click();
    child<QCheckBox>(dialog, "Check2")->click();
    child<QRadioButton>(dialog, "Option2")->click();
    child<QRadioButton>(dialog, "Option4")->click();
    child<QPushButton>(dialog, "Command1")->click();

    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    const std::pair<QString, const char*> expected[] = {
        {n::visu, "0"},
        {n::supOriginal, "1"},
        {n::copieOriginal, "1"},
        {n::repertCopieOriginal, "True"},
        {n::repertCopieDest, "False"},
        {n::renomOrig, "False"},
        {n::renomDest, "True"},
        {n::convOrig, "True"},
        {n::convDest, "False"},
        {n::format, "4"},
    };
    for (const auto& [name, text] : expected)
        QCOMPARE(store.readText(name), QLatin1String(text));
    QVERIFY(dialogs.calls().isEmpty());
}

void OptionsDialogTest::failedWritesAreReportedOnce()
{
    QTemporaryDir dir;
    QFile blocker(dir.filePath(QStringLiteral("blocker")));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    SettingsStore store(dir.filePath(QStringLiteral("blocker/Morvane.ini")));
    ScriptedDialogs dialogs;
    OptionsDialog dialog(store, dialogs);
    dialog.load();

    child<QRadioButton>(dialog, "Option4")->click();
    dialogs.answerFolder(dir.path());
    child<QPushButton>(dialog, "Command3")->click();
    QCOMPARE(dialogs.messages().size(), 1);

    child<QPushButton>(dialog, "Command1")->click();
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    const auto messages = dialogs.messages();
    QCOMPARE(messages.size(), 2);
    for (const auto& message : messages) {
        QCOMPARE(message.text, store.writeFailureText());
        QCOMPARE(message.title, QStringLiteral("Morvane"));
        QCOMPARE(message.icon, DialogIcon::Warning);
    }
}

QTEST_MAIN(OptionsDialogTest)
#include "optionsdialog_test.moc"
