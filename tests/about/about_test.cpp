#include "about/aboutbox.h"
#include "about/sysinfo.h"
#include "recordingdesktop.h"
#include "settings/settingsschema.h"
#include "settings/settingsstore.h"

#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

class AboutTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void versionLine_data();
    void versionLine();
    void systemInfoTool_data();
    void systemInfoTool();
    void boxTextsAndLinks();
};

void AboutTest::versionLine_data()
{
    QTest::addColumn<int>("major");
    QTest::addColumn<int>("minor");
    QTest::addColumn<int>("revision");
    QTest::addColumn<QString>("line");
    QTest::newRow("1.1.0") << 1 << 1 << 0 << "Version 1.1.0";
    QTest::newRow("2.10.3") << 2 << 10 << 3 << "Version 2.10.3";
}

void AboutTest::versionLine()
{
    QFETCH(int, major);
    QFETCH(int, minor);
    QFETCH(int, revision);
    QFETCH(QString, line);
    QCOMPARE(about::versionLine(major, minor, revision), line);
}

void AboutTest::systemInfoTool_data()
{
    QTest::addColumn<QString>("configured");
    QTest::addColumn<QStringList>("onPath");
    QTest::addColumn<QString>("expected");
    QTest::newRow("configured path is used as it is, even if missing")
        << "/nowhere/outil infos" << QStringList{QStringLiteral("hardinfo")}
        << "/nowhere/outil infos";
    QTest::newRow("first candidate found on PATH")
        << "" << QStringList{QStringLiteral("kinfocenter"), QStringLiteral("hardinfo")}
        << "/usr/bin/hardinfo";
    QTest::newRow("nothing found") << "" << QStringList{} << "";
}

void AboutTest::systemInfoTool()
{
    QFETCH(QString, configured);
    QFETCH(QStringList, onPath);
    QFETCH(QString, expected);
    QTemporaryDir dir;
    SettingsStore store(dir.filePath(QStringLiteral("Morvane.ini")));
    store.initialise(QStringLiteral("/opt"));
    if (!configured.isEmpty())
        QVERIFY(store.write(settings::names::infosSysteme, configured));
    const auto find = [&onPath](const QString& name) {
        return onPath.contains(name) ? QStringLiteral("/usr/bin/") + name : QString();
    };
    QCOMPARE(about::systemInfoTool(store, find), expected);
}

void AboutTest::boxTextsAndLinks()
{
    QTemporaryDir dir;
    SettingsStore store(dir.filePath(QStringLiteral("Morvane.ini")));
    store.initialise(QStringLiteral("/opt"));
    QVERIFY(store.write(settings::names::infosSysteme, QStringLiteral("/opt/tools/sysinfo")));
    RecordingDesktop desktop;
    AboutBox box(store, desktop);

    QCOMPARE(box.windowTitle(), QStringLiteral("Morvane"));
    QCOMPARE(box.findChild<QLabel*>(QStringLiteral("lblTitle"))->text(), QStringLiteral("Morvane"));
    QVERIFY(box.findChild<QLabel*>(QStringLiteral("lblVersion"))
                ->text()
                .startsWith(QStringLiteral("Version ")));
    auto* web = box.findChild<QLabel*>(QStringLiteral("Label6"));
    auto* mail = box.findChild<QLabel*>(QStringLiteral("Label1"));
    QCOMPARE(web->accessibleName(), QStringLiteral("Site Web : ") + AboutBox::webAddress);
    QCOMPARE(mail->accessibleName(), QStringLiteral("E-Mail :  ") + AboutBox::mailAddress);
    QCOMPARE(web->cursor().shape(), Qt::PointingHandCursor);

    Q_EMIT web->linkActivated(QString());
    Q_EMIT mail->linkActivated(QString());
    QCOMPARE(desktop.urls, (QList<QUrl>{QUrl(AboutBox::webAddress),
                                        QUrl(QStringLiteral("mailto:") + AboutBox::mailAddress)}));

    box.findChild<QPushButton*>(QStringLiteral("cmdSysInfo"))->click();
    QCOMPARE(desktop.programs, QStringList{QStringLiteral("/opt/tools/sysinfo")});
    QCOMPARE(box.findChild<QPushButton*>(QStringLiteral("cmdSysInfo"))->text(),
             QStringLiteral("&Infos système..."));
}

QTEST_MAIN(AboutTest)
#include "about_test.moc"
