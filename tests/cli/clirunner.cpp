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
    for (const QByteArray& line : out.split('\n')) {
        if (line.isEmpty())
            continue;
        QJsonParseError error;
        const QJsonDocument document = QJsonDocument::fromJson(line, &error);
        EXPECT_TRUE(document.isObject()) << "not a JSON object: " << line.toStdString();
        objects.append(document.object());
    }
    return objects;
}

QStringList Result::outLines() const
{
    return QString::fromUtf8(out).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

QProcessEnvironment environment()
{
    // One home per test process: rename journals never reach the real one.
    static const QTemporaryDir home;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("DISPLAY"));
    environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
    environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
    environment.insert(QStringLiteral("HOME"), home.path());
    environment.insert(QStringLiteral("XDG_STATE_HOME"), home.path() + QStringLiteral("/state"));
    environment.insert(QStringLiteral("XDG_DATA_HOME"), home.path() + QStringLiteral("/data"));
    return environment;
}

namespace {

Result runProgram(const QString& program, const QStringList& arguments, const Options& options)
{
    QProcess process;
    QProcessEnvironment environment = clirunner::environment();
    for (const QString& entry : options.environment) {
        const qsizetype equals = entry.indexOf(QLatin1Char('='));
        environment.insert(entry.left(equals), entry.mid(equals + 1));
    }
    process.setProcessEnvironment(environment);
    if (!options.workingDirectory.isEmpty())
        process.setWorkingDirectory(options.workingDirectory);
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
    return runProgram(QStringLiteral(MORVANE_BATCH_EXECUTABLE), arguments, options);
}

Result runWithRawArguments(const QStringList& escapedArguments, const Options& options)
{
    QString script = QStringLiteral("exec \"$0\"");
    for (const QString& argument : escapedArguments)
        script += QStringLiteral(" $'%1'").arg(argument);
    return runProgram(QStringLiteral("/bin/bash"),
                      {QStringLiteral("-c"), script, QStringLiteral(MORVANE_BATCH_EXECUTABLE)},
                      options);
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
