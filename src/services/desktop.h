#pragma once

#include <QString>
#include <QUrl>

// The desktop's services: open a file, a web page or a mail address with its default
// program, and start a program. Tests replace it with a recording implementation.
class Desktop
{
public:
    virtual ~Desktop() = default;
    // False when the desktop could not start an opener.
    virtual bool openUrl(const QUrl& url) = 0;
    // Starts the program at `path` detached from Morvane; false when it cannot be started.
    virtual bool startProgram(const QString& path) = 0;
    // The MIME type the desktop gives the file; empty when unknown.
    virtual QString fileType(const QString& path) = 0;
    // The desktop entry id ("firefox.desktop") of the default program for a MIME type; empty
    // when there is none.
    virtual QString defaultApplication(const QString& mimeType) = 0;
};

// QDesktopServices, QProcess and xdg-mime.
class SystemDesktop : public Desktop
{
public:
    bool openUrl(const QUrl& url) override;
    bool startProgram(const QString& path) override;
    QString fileType(const QString& path) override;
    QString defaultApplication(const QString& mimeType) override;
};
