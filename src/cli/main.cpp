// morvane-batch: Morvane's engines without a window, for scripts.

#include "cli/commandline.h"
#include "cli/commands.h"
#include "cli/console.h"
#include "cli/exitstatus.h"
#include "cli/stopsignals.h"
#include "cli/testhooks.h"
#include "services/translation.h"

#include <QCoreApplication>

#include <csignal>
#include <cstdio>

namespace cli {

QString exitStatusHelp()
{
    return QStringLiteral(
        "Statut de sortie :\n"
        "  0    tous les fichiers traités ou ignorés\n"
        "  1    au moins un fichier en échec (rename : tout a été remis en place)\n"
        "  2    erreur d'utilisation, ou refus de la vérification préalable : rien n'a été "
        "changé\n"
        "  3    rename : un retour en arrière a échoué, des fichiers gardent un nouveau nom ou\n"
        "       un nom temporaire (indiqués sur la sortie d'erreur) ; l'emporte sur tout autre "
        "statut\n"
        "  130  arrêté par SIGINT (après les fichiers en cours)\n"
        "  143  arrêté par SIGTERM (après les fichiers en cours)\n");
}

QString programHelp()
{
    return QStringLiteral(
               "Utilisation : morvane-batch COMMANDE [options] FICHIER...\n"
               "Traite des lots de fichiers image sans fenêtre, avec les moteurs de Morvane.\n"
               "\n"
               "Commandes :\n"
               "  convert   convertit les fichiers en BMP, GIF, JPEG ou PNG\n"
               "  rename    renomme les fichiers par un type de nom, tout ou rien\n"
               "  undo      remet les anciens noms du dernier renommage (--list : les derniers)\n"
               "\n"
               "Options :\n"
               "  -h, --help   Affiche cette aide ; « morvane-batch COMMANDE --help » "
               "affiche celle d'une commande.\n"
               "  --version    Affiche la version.\n"
               "\n") +
           exitStatusHelp();
}

int usageError(const QString& command, const QString& message)
{
    Console::message(message);
    Console::line(command.isEmpty()
                      ? QStringLiteral("Essayez « morvane-batch --help ».")
                      : QStringLiteral("Essayez « morvane-batch %1 --help ».").arg(command));
    return ExitRefused;
}

} // namespace cli

int main(int argc, char* argv[])
{
    // First of all: the stop signals are blocked before any thread exists.
    cli::StopSignals stops;
    // A reader that goes away (`| head`) must not end a run half way: writes then fail
    // quietly and the run finishes (or is put back) as it would otherwise.
    std::signal(SIGPIPE, SIG_IGN);
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("morvane-batch"));
    QCoreApplication::setApplicationVersion(QStringLiteral(MORVANE_VERSION));
    installFrenchTranslation(app);
    if (const std::optional<QString> error = cli::testhooks::installFailures())
        return cli::usageError({}, *error);

    // From argv itself: QCoreApplication::arguments() would decode a name that is not valid
    // UTF-8 into one that is, and the command would then reach another file.
    const QStringList arguments = cli::decodeArguments(argc, argv);
    if (arguments.size() < 2)
        return cli::usageError({}, QStringLiteral("Aucune commande indiquée."));
    const QString& command = arguments.at(1);
    if (command == QLatin1String("--help") || command == QLatin1String("-h") ||
        command == QLatin1String("help")) {
        std::fputs(cli::programHelp().toUtf8().constData(), stdout);
        return cli::ExitOk;
    }
    if (command == QLatin1String("--version")) {
        std::printf("morvane-batch %s\n", MORVANE_VERSION);
        return cli::ExitOk;
    }
    if (command == QLatin1String("undo"))
        return cli::undoCommand(arguments.mid(1));
    if (command == QLatin1String("convert")) {
        cli::reportInterruptedRename();
        return cli::convertCommand(arguments.mid(1), stops);
    }
    if (command == QLatin1String("rename")) {
        cli::reportInterruptedRename();
        return cli::renameCommand(arguments.mid(1), stops);
    }
    if (command.startsWith(QLatin1Char('-')))
        return cli::usageError(
            {}, QStringLiteral("Option inconnue avant la commande : %1").arg(command));
    return cli::usageError({}, QStringLiteral("Commande inconnue : %1").arg(command));
}
