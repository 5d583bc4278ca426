#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QMap>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

#include <functional>
#include <ostream>

// Readable QStrings in the failure messages of GoogleTest.
inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

// Runs the built morvane-batch as a process, as a script would.
namespace clirunner {

struct Result
{
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
    // Standard output read back as one JSON object per line; a line that is not one fails
    // the calling test.
    QList<QJsonObject> json() const;
    QStringList outLines() const;
    QString errText() const { return QString::fromUtf8(err); }
};

struct Options
{
    QString workingDirectory = {};
    QByteArray input = {};        // standard input
    QStringList environment = {}; // extra NAME=VALUE entries
    // Called once the tool has written "pause de test", with its process id.
    std::function<void(qint64 pid)> atPause = {};
};

Result run(const QStringList& arguments, const Options& options = {});

// The environment every run gets: HOME, XDG_STATE_HOME and XDG_DATA_HOME in a temporary
// folder of the test process.
QProcessEnvironment environment();

// Runs the tool with arguments given as bash $'...' texts ("caf\351.jpg"), through bash:
// the way to hand it bytes that are not valid UTF-8, which a QString cannot carry.
Result runWithRawArguments(const QStringList& escapedArguments, const Options& options = {});

// What a folder holds: name -> size and modification time, hidden files included.
using Snapshot = QMap<QString, QPair<qint64, qint64>>;
Snapshot snapshot(const QString& folder);

// Names in a folder, sorted, hidden files included.
QStringList names(const QString& folder);

bool touch(const QString& path, const QByteArray& content = "x");

} // namespace clirunner
