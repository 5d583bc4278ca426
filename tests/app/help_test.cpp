#include "app/help.h"
#include "recordingdesktop.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBrowser>

using namespace Qt::StringLiterals;

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
    void helpFileBesideOrInstalledOrNone();
    void opensWithTheDesktopsProgramOrShowsItself_data();
    void opensWithTheDesktopsProgramOrShowsItself();
};

void HelpTest::helpFileBesideOrInstalledOrNone()
{
    QTemporaryDir dir;
    const QString bin = dir.filePath(u"bin"_s);
    QVERIFY(QDir().mkpath(bin));
    QCOMPARE(help::helpFilePath(bin), QString());
    // Without a help file the command shows nothing and asks nobody.
    RecordingDesktop desktop;
    bool probed = false;
    HelpCommand command(bin, &desktop, [&](const QString&) { return probed = true; });
    command.aide();
    QVERIFY(!probed && desktop.urls.isEmpty() && !command.window());
    const QString installed = dir.filePath(u"share/morvane/morvane.hlp"_s);
    writeHelp(installed);
    QCOMPARE(help::helpFilePath(bin), installed);
    writeHelp(bin + u"/morvane.hlp"_s);
    QCOMPARE(help::helpFilePath(bin + QLatin1Char('/')), bin + u"/morvane.hlp"_s);
}

// The desktop's program for the help file gets it only when it is also the one for web
// pages; otherwise, or when it fails to start, the help shows in its own window.
void HelpTest::opensWithTheDesktopsProgramOrShowsItself_data()
{
    QTest::addColumn<QString>("helpProgram");
    QTest::addColumn<QString>("htmlProgram");
    QTest::addColumn<bool>("opens");
    QTest::addColumn<bool>("handedOver");
    QTest::addColumn<bool>("ownWindow");
    QTest::newRow("the web browser takes both") << "browser.desktop"
                                                << "browser.desktop" << true << true << false;
    QTest::newRow("the type of another system's help format")
        << "helpviewer.desktop"
        << "browser.desktop" << true << false << true;
    QTest::newRow("no program for either") << ""
                                           << "" << true << false << true;
    QTest::newRow("the opener fails to start") << "browser.desktop"
                                               << "browser.desktop" << false << true << true;
}

void HelpTest::opensWithTheDesktopsProgramOrShowsItself()
{
    QFETCH(QString, helpProgram);
    QFETCH(QString, htmlProgram);
    QFETCH(bool, opens);
    QFETCH(bool, handedOver);
    QFETCH(bool, ownWindow);
    QTemporaryDir dir;
    const QString path = dir.filePath(u"morvane.hlp"_s);
    writeHelp(path);
    RecordingDesktop desktop;
    desktop.opens = opens;
    desktop.types.insert(path, u"application/winhlp"_s);
    desktop.defaults.insert(u"application/winhlp"_s, helpProgram);
    desktop.defaults.insert(u"text/html"_s, htmlProgram);
    QStringList probed;
    HelpCommand command(dir.path(), &desktop, [&](const QString& file) {
        probed.append(file);
        return help::opensWithDesktop(desktop, file);
    });
    command.aide();

    QCOMPARE(probed, QStringList{path});
    QCOMPARE(desktop.urls.size(), handedOver ? 1 : 0);
    QCOMPARE(bool(command.window()), ownWindow);
    if (ownWindow) {
        QVERIFY(command.window()->isVisible());
        QVERIFY(command.window()->toPlainText().contains(u"Aide de Morvane"_s));
        // A second request reuses the window.
        QTextBrowser* first = command.window();
        command.aide();
        QCOMPARE(command.window(), first);
    }
}

QTEST_MAIN(HelpTest)
#include "help_test.moc"
