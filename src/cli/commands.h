#pragma once

#include <QString>
#include <QStringList>

namespace cli {

class StopSignals;

// Each command takes its own arguments, the command's name first, and returns the exit status.
int renameCommand(const QStringList& arguments, StopSignals& stops);
int convertCommand(const QStringList& arguments, StopSignals& stops);
// `undo [--list]`: puts back the names of the last rename run, or lists the runs kept.
int undoCommand(const QStringList& arguments);

// One line on standard error when a rename run was cut short and not undone yet.
void reportInterruptedRename();

// The help of the program as a whole: commands, exit statuses.
QString programHelp();

// The exit statuses, as listed in every help text.
QString exitStatusHelp();

// A usage error: the message and a hint on standard error; returns the exit status 2.
int usageError(const QString& command, const QString& message);

} // namespace cli
