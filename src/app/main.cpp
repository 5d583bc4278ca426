#include "app/mainwindow.h"
#include "app/messageboxdialogs.h"
#include "app/session.h"
#include "convert/codecregistry.h"
#include "lists/listscontroller.h"
#include "services/desktop.h"
#include "services/translation.h"
#include "settings/settingsstore.h"
#include "widgets/icons.h"

#include <QApplication>

#include <cstdio>
#include <cstring>
#include <optional>

namespace {

const char helpText[] =
    "Utilisation : morvane [FICHIER...]\n"
    "              morvane [DOSSIER]\n"
    "Renommer et convertir des lots de fichiers image.\n"
    "\n"
    "  FICHIER...     ajoute les fichiers à la liste des fichiers à renommer et ouvre le\n"
    "                 dossier du premier dans la sélection des fichiers\n"
    "  DOSSIER        ouvre ce dossier dans la sélection des fichiers, sans rien ajouter\n"
    "  -h, --help     affiche cette aide et quitte\n"
    "  -V, --version  affiche la version et quitte\n"
    "\n"
    "Sans argument, la fenêtre s'ouvre à la racine du volume du dossier courant (ou sur le\n"
    "dernier dossier quand l'option « Rouvrir le dernier dossier » est cochée).\n"
    "Les fichiers et dossiers glissés depuis un gestionnaire de fichiers sur la liste des\n"
    "fichiers à renommer y sont ajoutés, les dossiers avec leurs sous-dossiers.\n"
    "Pour traiter des lots sans fenêtre : morvane-batch(1).\n";

// What the command line asks before any window exists: --help and --version answer without
// a display. Returns the exit status when the program ends here.
std::optional<int> answerWithoutWindow(int argc, char* argv[])
{
    for (int i = 1; i < argc; ++i) {
        const char* argument = argv[i];
        if (std::strcmp(argument, "--") == 0)
            break;
        if (std::strcmp(argument, "--help") == 0 || std::strcmp(argument, "-h") == 0) {
            std::fputs(helpText, stdout);
            return 0;
        }
        if (std::strcmp(argument, "--version") == 0 || std::strcmp(argument, "-V") == 0) {
            std::fputs("morvane " MORVANE_VERSION "\n", stdout);
            return 0;
        }
    }
    return std::nullopt;
}

// The files and folders named after Qt took its own options; nullopt after an unknown option.
std::optional<QStringList> pathArguments(const QStringList& arguments)
{
    QStringList paths;
    bool optionsEnded = false;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (!optionsEnded && argument == QLatin1String("--")) {
            optionsEnded = true;
        } else if (!optionsEnded && argument.startsWith(QLatin1Char('-')) && argument.size() > 1) {
            std::fprintf(stderr,
                         "morvane : option inconnue « %s »\n"
                         "Essayez « morvane --help ».\n",
                         argument.toLocal8Bit().constData());
            return std::nullopt;
        } else {
            paths.push_back(argument);
        }
    }
    return paths;
}

} // namespace

int main(int argc, char* argv[])
{
    if (const std::optional<int> status = answerWithoutWindow(argc, argv))
        return *status;

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Morvane"));
    QApplication::setApplicationVersion(QStringLiteral(MORVANE_VERSION));
    const std::optional<QStringList> paths = pathArguments(QCoreApplication::arguments());
    if (!paths)
        return 2;
    icons::chooseIconTheme();
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/morvane/morvane.png")));
    installFrenchTranslation(app);

    SettingsStore settings(SettingsStore::defaultPath());
    MessageBoxDialogs dialogs;
    convert::CodecSession codecs;
    MainWindowServices services;
    services.settings = &settings;
    services.dialogs = &dialogs;
    services.codecs = &codecs;
    SystemDesktop desktop;
    services.desktop = &desktop;
    services.programFolder = QCoreApplication::applicationDirPath();
    services.exit = [](int status) { QCoreApplication::exit(status); };

    MainWindow window(services);
    dialogs.setParent(&window);
    if (!window.Form_Load())
        return 1;
    session::restore(window, settings);
    // Files opened with Morvane from a file manager, or named on the command line.
    window.lists()->ouvrirArguments(*paths);
    QObject::connect(&app, &QCoreApplication::aboutToQuit,
                     [&window, &settings] { session::save(window, settings); });
    window.show();
    return QApplication::exec();
}
