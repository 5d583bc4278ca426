#include "about/aboutbox.h"
#include "about/sysinfo.h"
#include "recordingdesktop.h"
#include "settings/settingsschema.h"
#include "settings/settingsstore.h"

#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <tuple>

using namespace Qt::StringLiterals;

class AboutTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void boxTextsLinksAndSystemInfoTool()
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
        QCOMPARE(desktop.urls, (QList<QUrl>{QUrl(AboutBox::webAddress),
                                            QUrl(u"mailto:"_s + AboutBox::mailAddress)}));

        auto* sysInfo = box.findChild<QPushButton*>(u"cmdSysInfo"_s);
        QCOMPARE(sysInfo->text(), u"&Infos système..."_s);
        sysInfo->click();
        QCOMPARE(desktop.programs, QStringList{u"/opt/tools/sysinfo"_s});

        // A configured tool is used as it is, even if missing; otherwise the first candidate found.
        const std::tuple<QString, QStringList, QString> rows[] = {
            {u"/nowhere/outil infos"_s, {u"hardinfo"_s}, u"/nowhere/outil infos"_s},
            {{}, {u"kinfocenter"_s, u"hardinfo"_s}, u"/usr/bin/hardinfo"_s},
            {{}, {}, {}},
        };
        for (const auto& [configured, onPath, expected] : rows) {
            QTemporaryDir rowDir;
            SettingsStore rowStore(rowDir.filePath(u"Morvane.ini"_s));
            rowStore.initialise(u"/opt"_s);
            if (!configured.isEmpty())
                QVERIFY(rowStore.write(settings::names::infosSysteme, configured));
            const auto find = [&onPath](const QString& name) {
                return onPath.contains(name) ? u"/usr/bin/"_s + name : QString();
            };
            QCOMPARE(about::systemInfoTool(rowStore, find), expected);
        }
    }
};

QTEST_MAIN(AboutTest)
#include "about_test.moc"
