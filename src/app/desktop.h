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
};

// QDesktopServices and QProcess.
class SystemDesktop : public Desktop
{
public:
    bool openUrl(const QUrl& url) override;
    bool startProgram(const QString& path) override;
};
