#include "clirunner.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QProcessEnvironment>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace clirunner {

QList<QJsonObject> Result::json() const
{
    QList<QJsonObject> objects;
    for (const QString& line : outLines()) {
        const QJsonDocument document = QJsonDocument::fromJson(line.toUtf8());
        EXPECT_TRUE(document.isObject()) << "not a JSON object: " << line.toStdString();
        objects.append(document.object());
    }
    return objects;
}

QStringList Result::outLines() const
{
    return QString::fromUtf8(out).split('\n', Qt::SkipEmptyParts);
}

QProcessEnvironment environment()
{
    // One home per test process: rename journals never reach the real one.
    static const QTemporaryDir home;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        environment.remove(name);
    environment.insert("HOME", home.path());
    environment.insert("XDG_STATE_HOME", home.path() + "/state");
    environment.insert("XDG_DATA_HOME", home.path() + "/data");
    return environment;
}

namespace {

Result runProgram(const QString& program, const QStringList& arguments, const Options& options)
{
    QProcess process;
    QProcessEnvironment environment = clirunner::environment();
    for (const QString& entry : options.environment)
        environment.insert(entry.section('=', 0, 0), entry.section('=', 1));
    process.setProcessEnvironment(environment);
    process.setWorkingDirectory(options.workingDirectory); // empty: this process's own
    process.start(program, arguments);
    Result result;
    if (!process.waitForStarted()) {
        ADD_FAILURE() << "morvane-batch did not start";
        return result;
    }
    process.write(options.input);
    process.closeWriteChannel();
    if (options.atPause) {
        const QDeadlineTimer deadline(30000);
        while (!result.err.contains("pause de test") && !deadline.hasExpired() &&
               process.state() == QProcess::Running) {
            process.waitForReadyRead(100);
            result.err += process.readAllStandardError();
        }
        EXPECT_TRUE(result.err.contains("pause de test")) << result.err.toStdString();
        options.atPause(process.processId());
    }
    if (!process.waitForFinished(60000)) {
        process.kill();
        process.waitForFinished();
        ADD_FAILURE() << "morvane-batch did not finish";
    }
    result.out = process.readAllStandardOutput();
    result.err += process.readAllStandardError();
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    return result;
}

} // namespace

Result run(const QStringList& arguments, const Options& options)
{
    return runProgram(MORVANE_BATCH_EXECUTABLE, arguments, options);
}

Result runWithRawArguments(const QStringList& escapedArguments, const Options& options)
{
    QString script = "exec \"$0\"";
    for (const QString& argument : escapedArguments)
        script += QString(" $'%1'").arg(argument);
    return runProgram("/bin/bash", {"-c", script, MORVANE_BATCH_EXECUTABLE}, options);
}

Snapshot snapshot(const QString& folder)
{
    Snapshot files;
    const QFileInfoList entries =
        QDir(folder).entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    for (const QFileInfo& info : entries)
        files.insert(info.fileName(), {info.size(), info.lastModified().toMSecsSinceEpoch()});
    return files;
}

QStringList names(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                                  QDir::Name);
}

bool touch(const QString& path, const QByteArray& content)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(content) == content.size();
}

} // namespace clirunner
