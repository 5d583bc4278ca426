#include "app/desktop.h"

#include <QDesktopServices>
#include <QProcess>

bool SystemDesktop::openUrl(const QUrl& url)
{
    return QDesktopServices::openUrl(url);
}

bool SystemDesktop::startProgram(const QString& path)
{
    return QProcess::startDetached(path, {});
}
