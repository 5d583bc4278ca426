#pragma once

#include "services/desktop.h"

#include <QHash>
#include <QList>
#include <QStringList>
#include <QUrl>

// Desktop services for tests: records what would be opened or started.
class RecordingDesktop : public Desktop
{
public:
    QList<QUrl> urls;
    QStringList programs;
    // What openUrl answers, as the desktop would when an opener starts or not.
    bool opens = true;
    // The desktop's MIME types by file path and default programs by MIME type.
    QHash<QString, QString> types;
    QHash<QString, QString> defaults;

    bool openUrl(const QUrl& url) override
    {
        urls.append(url);
        return opens;
    }
    bool startProgram(const QString& path) override
    {
        programs.append(path);
        return true;
    }
    QString fileType(const QString& path) override { return types.value(path); }
    QString defaultApplication(const QString& mimeType) override
    {
        return defaults.value(mimeType);
    }
};
