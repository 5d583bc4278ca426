#include "app/help.h"
#include "recordingdesktop.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBrowser>

namespace {

void writeHelp(const QString& path)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        qFatal("cannot write the help file");
    file.write("<html><body><h1>Aide de Morvane</h1></body></html>");
}

} // namespace

class HelpTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void helpFileBesideOrInstalled();
    void opensWithTheDesktopsProgramOrShowsItself_data();
    void opensWithTheDesktopsProgramOrShowsItself();
    void missingHelpFileShowsNothing();
    void handedToTheDesktopOnlyWhenItsProgramShowsWebPages_data();
    void handedToTheDesktopOnlyWhenItsProgramShowsWebPages();
};

void HelpTest::helpFileBesideOrInstalled()
{
    QTemporaryDir dir;
    const QString bin = dir.filePath(QStringLiteral("bin"));
    QVERIFY(QDir().mkpath(bin));
    QCOMPARE(help::helpFilePath(bin), QString());
    const QString installed = dir.filePath(QStringLiteral("share/morvane/morvane.hlp"));
    writeHelp(installed);
    QCOMPARE(help::helpFilePath(bin), installed);
    writeHelp(bin + QStringLiteral("/morvane.hlp"));
    QCOMPARE(help::helpFilePath(bin + QLatin1Char('/')), bin + QStringLiteral("/morvane.hlp"));
}

void HelpTest::opensWithTheDesktopsProgramOrShowsItself_data()
{
    QTest::addColumn<bool>("hasHandler");
    QTest::addColumn<bool>("opens");
    QTest::addColumn<bool>("ownWindow");
    QTest::newRow("the desktop has a program for it") << true << true << false;
    QTest::newRow("no program for the type") << false << true << true;
    QTest::newRow("the opener fails to start") << true << false << true;
}

void HelpTest::opensWithTheDesktopsProgramOrShowsItself()
{
    QFETCH(bool, hasHandler);
    QFETCH(bool, opens);
    QFETCH(bool, ownWindow);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("morvane.hlp"));
    writeHelp(path);
    RecordingDesktop desktop;
    desktop.opens = opens;
    QStringList probed;
    HelpCommand command(dir.path(), &desktop, [&](const QString& file) {
        probed.append(file);
        return hasHandler;
    });
    command.aide();

    QCOMPARE(probed, QStringList{path});
    QCOMPARE(desktop.urls.size(), hasHandler ? 1 : 0);
    QCOMPARE(bool(command.window()), ownWindow);
    if (ownWindow) {
        QVERIFY(command.window()->isVisible());
        QVERIFY(command.window()->toPlainText().contains(QStringLiteral("Aide de Morvane")));
        // A second request reuses the window.
        QTextBrowser* first = command.window();
        command.aide();
        QCOMPARE(command.window(), first);
    }
}

void HelpTest::missingHelpFileShowsNothing()
{
    QTemporaryDir dir;
    RecordingDesktop desktop;
    bool probed = false;
    HelpCommand command(dir.path(), &desktop, [&](const QString&) { return probed = true; });
    command.aide();
    QVERIFY(!probed);
    QVERIFY(desktop.urls.isEmpty());
    QVERIFY(!command.window());
}

void HelpTest::handedToTheDesktopOnlyWhenItsProgramShowsWebPages_data()
{
    QTest::addColumn<QString>("helpProgram");
    QTest::addColumn<QString>("htmlProgram");
    QTest::addColumn<bool>("handedOver");
    QTest::newRow("the web browser takes both") << "browser.desktop"
                                                << "browser.desktop" << true;
    QTest::newRow("the type of another system's help format") << "helpviewer.desktop"
                                                              << "browser.desktop" << false;
    QTest::newRow("no program for either") << ""
                                           << "" << false;
}

void HelpTest::handedToTheDesktopOnlyWhenItsProgramShowsWebPages()
{
    QFETCH(QString, helpProgram);
    QFETCH(QString, htmlProgram);
    QFETCH(bool, handedOver);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("morvane.hlp"));
    writeHelp(path);
    RecordingDesktop desktop;
    desktop.types.insert(path, QStringLiteral("application/winhlp"));
    desktop.defaults.insert(QStringLiteral("application/winhlp"), helpProgram);
    desktop.defaults.insert(QStringLiteral("text/html"), htmlProgram);
    QCOMPARE(help::opensWithDesktop(desktop, path), handedOver);

    HelpCommand command(dir.path(), &desktop,
                        [&](const QString& file) { return help::opensWithDesktop(desktop, file); });
    command.aide();
    QCOMPARE(desktop.urls.size(), handedOver ? 1 : 0);
    QCOMPARE(bool(command.window()), !handedOver);
}

QTEST_MAIN(HelpTest)
#include "help_test.moc"
