#include "about/aboutbox.h"
#include "about/sysinfo.h"
#include "recordingdesktop.h"
#include "settings/settingsschema.h"
#include "settings/settingsstore.h"

#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

class AboutTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void systemInfoTool_data();
    void systemInfoTool();
    void boxTextsAndLinks();
};

void AboutTest::systemInfoTool_data()
{
    QTest::addColumn<QString>("configured");
    QTest::addColumn<QStringList>("onPath");
    QTest::addColumn<QString>("expected");
    QTest::newRow("configured path is used as it is, even if missing")
        << "/nowhere/outil infos" << QStringList{u"hardinfo"_s} << "/nowhere/outil infos";
    QTest::newRow("first candidate found on PATH")
        << "" << QStringList{u"kinfocenter"_s, u"hardinfo"_s} << "/usr/bin/hardinfo";
    QTest::newRow("nothing found") << "" << QStringList{} << "";
}

void AboutTest::systemInfoTool()
{
    QFETCH(QString, configured);
    QFETCH(QStringList, onPath);
    QFETCH(QString, expected);
    QTemporaryDir dir;
    SettingsStore store(dir.filePath(u"Morvane.ini"_s));
    store.initialise(u"/opt"_s);
    if (!configured.isEmpty())
        QVERIFY(store.write(settings::names::infosSysteme, configured));
    const auto find = [&onPath](const QString& name) {
        return onPath.contains(name) ? u"/usr/bin/"_s + name : QString();
    };
    QCOMPARE(about::systemInfoTool(store, find), expected);
}

void AboutTest::boxTextsAndLinks()
{
    QTemporaryDir dir;
    SettingsStore store(dir.filePath(u"Morvane.ini"_s));
    store.initialise(u"/opt"_s);
    QVERIFY(store.write(settings::names::infosSysteme, u"/opt/tools/sysinfo"_s));
    RecordingDesktop desktop;
    AboutBox box(store, desktop);

    QCOMPARE(box.windowTitle(), u"Morvane"_s);
    QCOMPARE(box.findChild<QLabel*>(u"lblTitle"_s)->text(), u"Morvane"_s);
    QVERIFY(box.findChild<QLabel*>(u"lblVersion"_s)->text().startsWith(u"Version "_s));
    QCOMPARE(about::versionLine(2, 10, 3), u"Version 2.10.3"_s);
    auto* web = box.findChild<QLabel*>(u"Label6"_s);
    auto* mail = box.findChild<QLabel*>(u"Label1"_s);
    QCOMPARE(web->accessibleName(), u"Site Web : "_s + AboutBox::webAddress);
    QCOMPARE(mail->accessibleName(), u"E-Mail :  "_s + AboutBox::mailAddress);
    QCOMPARE(web->cursor().shape(), Qt::PointingHandCursor);

    Q_EMIT web->linkActivated(QString());
    Q_EMIT mail->linkActivated(QString());
    QCOMPARE(desktop.urls,
             (QList<QUrl>{QUrl(AboutBox::webAddress), QUrl(u"mailto:"_s + AboutBox::mailAddress)}));

    auto* sysInfo = box.findChild<QPushButton*>(u"cmdSysInfo"_s);
    QCOMPARE(sysInfo->text(), u"&Infos système..."_s);
    sysInfo->click();
    QCOMPARE(desktop.programs, QStringList{u"/opt/tools/sysinfo"_s});
}

QTEST_MAIN(AboutTest)
#include "about_test.moc"
