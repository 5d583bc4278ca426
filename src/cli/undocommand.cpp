#include "cli/commands.h"
#include "cli/console.h"
#include "cli/exitstatus.h"
#include "rename/renamejournal.h"

#include <cstdio>

namespace cli {

namespace {

QString undoHelp()
{
    return QStringLiteral(
        "Utilisation : morvane-batch undo [--list]\n"
        "Remet les anciens noms du dernier renommage (de la fenêtre ou de morvane-batch\n"
        "rename) : un renommage interrompu d'abord, sinon le dernier terminé. Les copies\n"
        "gardées qu'il a faites sont supprimées ; un fichier modifié ou déplacé depuis est\n"
        "laissé tel quel et indiqué.\n"
        "\n"
        "Options :\n"
        "  --list       Affiche les derniers renommages (20 au plus), du plus récent au plus\n"
        "               ancien.\n"
        "  -h, --help   Affiche cette aide.\n"
        "\n"
        "Journaux : $XDG_STATE_HOME/Morvane/ (par défaut ~/.local/state/Morvane/).\n");
}

} // namespace

void reportInterruptedRename()
{
    if (const auto journal = renaming::interruptedJournal())
        Console::message(QStringLiteral("Un renommage a été interrompu : %1 (« morvane-batch "
                                        "undo » remet les anciens noms).")
                             .arg(journal->path));
}

int undoCommand(const QStringList& arguments)
{
    bool list = false;
    for (const QString& argument : arguments.mid(1)) {
        if (argument == QLatin1String("--help") || argument == QLatin1String("-h")) {
            std::fputs(undoHelp().toUtf8().constData(), stdout);
            return ExitOk;
        }
        if (argument != QLatin1String("--list"))
            return usageError(QStringLiteral("undo"),
                              QStringLiteral("Argument inconnu : %1").arg(argument));
        list = true;
    }
    if (list) {
        const Console console(false);
        for (const renaming::JournalInfo& journal : renaming::listJournals())
            console.result(QStringLiteral("%1  %2 fichier(s)  %3  %4")
                               .arg(journal.started.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")))
                               .arg(journal.files)
                               .arg(renaming::stateText(journal.state), journal.path));
        return ExitOk;
    }

    const renaming::UndoReport report = renaming::undoLastRename();
    if (!report.journal) {
        Console::message(QStringLiteral("Aucun renommage à annuler."));
        return ExitOk;
    }
    if (report.error) {
        Console::message(QStringLiteral("Impossible de lire le journal de renommage : ") +
                         *report.error);
        return ExitSomeFailed;
    }
    for (const QString& line : report.leftAlone)
        Console::message(line);
    Console::message(QStringLiteral("%1 fichier(s) remis sous leur ancien nom, %2 copie(s) "
                                    "gardée(s) supprimée(s).")
                         .arg(report.restored)
                         .arg(report.copiesRemoved));
    return report.leftAlone.isEmpty() ? ExitOk : ExitSomeFailed;
}

} // namespace cli
