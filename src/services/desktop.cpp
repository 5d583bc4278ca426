#include "services/desktop.h"

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

namespace {

// The first line xdg-mime prints, or empty text when it fails or is missing.
QString xdgMime(const QStringList& arguments)
{
    QProcess process;
    process.start(QStringLiteral("xdg-mime"), arguments);
    if (!process.waitForFinished(5000) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0) {
        process.kill();
        process.waitForFinished(1000);
        return {};
    }
    const QString output = QString::fromLocal8Bit(process.readAllStandardOutput());
    return output.section(QLatin1Char('\n'), 0, 0).trimmed();
}

} // namespace

QString SystemDesktop::fileType(const QString& path)
{
    return xdgMime({QStringLiteral("query"), QStringLiteral("filetype"), path});
}

QString SystemDesktop::defaultApplication(const QString& mimeType)
{
    return xdgMime({QStringLiteral("query"), QStringLiteral("default"), mimeType});
}
