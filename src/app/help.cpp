#include "app/help.h"

#include "services/busycursor.h"
#include "services/desktop.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QScreen>
#include <QTextBrowser>
#include <QUrl>

namespace help {

QString helpFilePath(const QString& programFolder)
{
    const QDir folder(programFolder);
    const QString beside = folder.filePath(fileName);
    if (QFileInfo::exists(beside))
        return beside;
    const QString installed = QDir::cleanPath(folder.filePath(QStringLiteral("../share/morvane/")) +
                                              QLatin1Char('/') + fileName);
    if (QFileInfo::exists(installed))
        return installed;
    return {};
}

bool opensWithDesktop(Desktop& desktop, const QString& path)
{
    const QString type = desktop.fileType(path);
    if (type.isEmpty())
        return false;
    const QString program = desktop.defaultApplication(type);
    return !program.isEmpty() && program == desktop.defaultApplication(QStringLiteral("text/html"));
}

bool hasDefaultApplication(const QString& path)
{
    SystemDesktop desktop;
    return opensWithDesktop(desktop, path);
}

} // namespace help

HelpCommand::HelpCommand(QString programFolder, Desktop* desktop, HandlerProbe hasHandler,
                         QObject* parent)
    : QObject(parent), m_programFolder(std::move(programFolder)), m_desktop(desktop),
      m_hasHandler(std::move(hasHandler))
{
}

HelpCommand::~HelpCommand()
{
    delete m_window;
}

void HelpCommand::aide()
{
    QString path;
    bool handled = false;
    {
        BusyCursor busy;
        path = help::helpFilePath(m_programFolder);
        if (path.isEmpty())
            return;
        handled = m_hasHandler(path);
    }
    if (handled && m_desktop->openUrl(QUrl::fromLocalFile(path)))
        return;

    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return;
    if (!m_window) {
        m_window = new QTextBrowser;
        m_window->setAttribute(Qt::WA_DeleteOnClose);
        m_window->setObjectName(QStringLiteral("HelpWindow"));
        m_window->setWindowTitle(QStringLiteral("Aide de Morvane"));
        m_window->setAccessibleName(QStringLiteral("Aide de Morvane"));
        m_window->setOpenExternalLinks(true);
        m_window->resize(640, 560);
        if (const QScreen* screen = QGuiApplication::primaryScreen())
            m_window->move(screen->availableGeometry().center() - m_window->rect().center());
    }
    m_window->setHtml(QString::fromUtf8(file.readAll()));
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
}
