#include "cli/commandline.h"
#include "cli/commands.h"
#include "cli/console.h"
#include "cli/exitstatus.h"
#include "cli/stopsignals.h"
#include "cli/testhooks.h"
#include "convert/batchconversion.h"
#include "convert/codecregistry.h"
#include "convert/outputformats.h"
#include "convert/preflight.h"
#include "fileops/fileops.h"
#include "imaging/exiv.h"
#include "imaging/status.h"

#include <QJsonObject>

#include <algorithm>
#include <csignal>

namespace cli {

namespace {

using Existing = convert::ExistingOutput;

QString skippedText(convert::SourceType type)
{
    return type == convert::SourceType::None
               ? QStringLiteral("Ignoré : type de fichier non converti.")
               : QStringLiteral("Ignoré : déjà dans le format demandé.");
}

// A converted file's message with the warning of what it lost first.
QString warningText(const QString& warning, const QString& message)
{
    QString text = QStringLiteral("Attention : ") + warning + QLatin1Char('.');
    return message.isEmpty() ? text : text + QLatin1Char(' ') + message;
}

QString convertHelp()
{
    return QStringLiteral(
        "Les noms de sortie, la qualité JPEG (90) et les types ignorés sont ceux de la\n"
        "conversion par lot de la fenêtre, même pour un seul fichier : la sortie est le nom\n"
        "sans son type, suivi de .BMP, .GIF, .JPG, .PNG, .TIF ou .WEBP. Sources converties :\n"
        "BMP, GIF, JPG, JPEG, PNG, ICO, TIF, TIFF et WEBP ; un fichier déjà dans le format\n"
        "demandé, ou d'un autre type, est ignoré. Aucun fichier de réglages n'est lu. Les\n"
        "sorties JPEG, PNG, TIFF et WebP gardent les métadonnées de l'original (EXIF, XMP,\n"
        "IPTC, profil ICC ; orientation remise à 1, dimensions celles de la sortie, vignette\n"
        "retirée) ; des métadonnées illisibles sont laissées de côté avec un avertissement,\n"
        "la sortie est écrite. BMP et GIF n'en gardent aucune.\n"
        "\n"
        "Avant toute écriture, tout est vérifié : fichier donné deux fois, deux fichiers de\n"
        "même sortie (sans égard à la casse là où le système de fichiers l'ignore), sortie\n"
        "existante (avec --existing refuse), dossier de sortie introuvable ou protégé, nom\n"
        "ou chemin de sortie trop long, fichier introuvable ou qui n'est pas un fichier\n"
        "ordinaire, original qui ne pourra pas être supprimé (avec --delete-originals). Le\n"
        "moindre conflit : rien n'est fait, statut 2.\n"
        "\n"
        "Les fichiers sont convertis en parallèle ; les résultats sont affichés et les\n"
        "originaux supprimés dans l'ordre donné. Chaque sortie est écrite dans un fichier\n"
        "temporaire (.morvane-*) puis mise en place : jamais de sortie partielle. Un\n"
        "original n'est supprimé qu'une fois sa sortie complète, et jamais quand la sortie\n"
        "est le même fichier, ni quand il a changé depuis sa lecture ; s'il ne peut pas\n"
        "l'être, le fichier compte comme en échec et la sortie reste. Sur SIGINT ou SIGTERM,\n"
        "les fichiers en cours sont terminés, les autres ne sont pas commencés, puis un bilan\n"
        "est affiché. Un lot interrompu, même tué, se reprend avec --existing skip : seules\n"
        "les sorties manquantes sont écrites.\n");
}

QJsonObject jsonLine(const QString& source, const QString& output, const char* result,
                     convert::Status status, const QString& message)
{
    return QJsonObject{{QStringLiteral("source"), source},
                       {QStringLiteral("output"), output},
                       {QStringLiteral("result"), QLatin1String(result)},
                       {QStringLiteral("status"), convert::statusCode(status)},
                       {QStringLiteral("message"), message}};
}

// The plan, printed: in a dry run every file; otherwise the conflicts. Returns the status
// the real run gives at this point.
int reportCheck(const std::vector<convert::PreflightEntry>& plan, const Console& console,
                bool dryRun)
{
    const int conflicts = convert::conflictCount(plan);
    for (const convert::PreflightEntry& entry : plan) {
        const convert::BatchPlanItem& item = entry.item;
        const bool conflict = !entry.conflicts.isEmpty();
        const bool skipped = !item.convert || entry.skipExisting;
        const QString message = conflict ? entry.conflicts.join(QStringLiteral(" ; "))
                                : entry.skipExisting
                                    ? QStringLiteral("Ignoré : la sortie existe déjà.")
                                : !item.convert ? skippedText(item.type)
                                                : QString();
        if (console.json()) {
            if (!dryRun && conflicts == 0)
                continue;
            const char* result = conflict  ? "conflict"
                                 : skipped ? "skipped"
                                 : dryRun  ? "planned"
                                           : "not-run";
            console.result(jsonLine(item.source, item.output, result,
                                    conflict ? item.status : convert::Status::Ok, message));
        } else if (dryRun) {
            if (conflict)
                console.result(item.source + QStringLiteral(" -> ") + item.output +
                               QStringLiteral(" : conflit : ") + message);
            else if (skipped)
                console.result(item.source + QStringLiteral(" : ") + message);
            else
                console.result(item.source + QStringLiteral(" -> ") + item.output);
        } else if (conflict) {
            Console::message(convert::conflictLine(entry));
        }
    }
    if (conflicts > 0) {
        Console::message(
            QStringLiteral("%1 fichier(s) en conflit : rien n'a été changé.").arg(conflicts));
        return ExitRefused;
    }
    return ExitOk;
}

// The names --to takes, one a format ("bmp, gif, jpeg, png, tiff ou webp").
QString targetNames()
{
    QStringList names;
    for (const convert::OutputFormat& format : convert::outputFormats())
        names.push_back(QString(format.keywords).section(u'|', 0, 0));
    const QString last = names.takeLast();
    return names.join(QStringLiteral(", ")) + QStringLiteral(" ou ") + last;
}

} // namespace

int convertCommand(const QStringList& arguments, StopSignals& stops)
{
    CommandLine commandLine(QStringLiteral("convert"),
                            QStringLiteral("Convertit les fichiers en BMP, GIF, JPEG, PNG, "
                                           "TIFF ou WebP."));
    const QCommandLineOption to(QStringLiteral("to"),
                                QStringLiteral("Format de sortie, obligatoire : ") + targetNames() +
                                    u'.',
                                QStringLiteral("FORMAT"));
    const QCommandLineOption quality(
        QStringLiteral("quality"),
        QStringLiteral("Qualité des sorties JPEG et WebP, de 0 à 100 (par défaut : 90)."),
        QStringLiteral("0-100"));
    const QCommandLineOption maxSize(
        QStringLiteral("max-size"),
        QStringLiteral("Réduire les images plus grandes pour qu'elles tiennent dans LxH pixels "
                       "(une fois redressées), proportions gardées ; jamais agrandies."),
        QStringLiteral("LxH"));
    const QCommandLineOption outputDir(
        QStringLiteral("output-dir"),
        QStringLiteral("Écrire les sorties dans ce dossier (par défaut à côté de chaque "
                       "original)."),
        QStringLiteral("DOSSIER"));
    const QCommandLineOption deleteOriginals(
        QStringLiteral("delete-originals"),
        QStringLiteral("Supprimer chaque original une fois sa sortie écrite (jamais quand la "
                       "sortie est le même fichier)."));
    const QCommandLineOption trashOriginals(
        QStringLiteral("trash-originals"),
        QStringLiteral("Comme --delete-originals, mais chaque original va à la corbeille ; "
                       "celui que la corbeille ne peut pas prendre est conservé et son "
                       "fichier compte comme en échec."));
    const QCommandLineOption jobs(
        QStringLiteral("jobs"),
        QStringLiteral("Nombre de conversions simultanées (par défaut : tous les cœurs)."),
        QStringLiteral("N"));
    const QCommandLineOption existingOption(
        QStringLiteral("existing"),
        QStringLiteral("Quand la sortie existe : refuse (par défaut ; vérifié avant la "
                       "conversion et encore au moment de la mise en place : le fichier est "
                       "alors en échec), skip (le fichier est ignoré) ou overwrite (la sortie "
                       "est remplacée, comme dans la fenêtre)."),
        QStringLiteral("refuse|skip|overwrite"), QStringLiteral("refuse"));
    const QCommandLineOption stripMetadata(
        QStringLiteral("strip-metadata"),
        QStringLiteral("Ne pas reprendre les métadonnées (EXIF, XMP, IPTC, profil ICC) des "
                       "originaux ; par défaut, les sorties JPEG, PNG, TIFF et WebP les "
                       "gardent."));
    const QCommandLineOption keepDates(
        QStringLiteral("keep-dates"),
        QStringLiteral("Donner à chaque sortie la date de modification de son original."));
    for (const QCommandLineOption& option :
         {to, quality, maxSize, outputDir, deleteOriginals, trashOriginals, jobs, existingOption,
          stripMetadata, keepDates})
        commandLine.addOption(option);
    if (const std::optional<int> status = commandLine.parse(arguments, convertHelp()))
        return *status;

    const QCommandLineParser& parser = commandLine.parser();
    const QString& command = commandLine.command();
    if (!parser.isSet(to))
        return usageError(command, QStringLiteral("--to est obligatoire."));
    const convert::OutputFormat* target = convert::outputFormatForKeyword(parser.value(to));
    if (!target)
        return usageError(command, QStringLiteral("Format de sortie inconnu : %1 (%2)")
                                       .arg(parser.value(to), targetNames()));
    convert::BatchSettings settings;
    settings.tiffWebp = true;
    if (parser.isSet(quality)) {
        const QString text = parser.value(quality);
        bool ok = text.size() <= 3 && !text.isEmpty() &&
                  std::all_of(text.begin(), text.end(), [](QChar c) { return c.isDigit(); });
        settings.jpegQuality = ok ? text.toInt(&ok) : -1;
        if (!ok || settings.jpegQuality > 100)
            return usageError(command, QStringLiteral("--quality attend un nombre entier de 0 à "
                                                      "100, pas %1")
                                           .arg(text));
    }
    if (parser.isSet(maxSize)) {
        const std::optional<QSize> box = convert::parseMaxSize(parser.value(maxSize));
        if (!box || box->isEmpty())
            return usageError(command, QStringLiteral("--max-size attend LxH, deux nombres "
                                                      "entiers positifs (1920x1080), pas %1")
                                           .arg(parser.value(maxSize)));
        settings.maxSize = *box;
    }
    if (parser.isSet(outputDir)) {
        settings.repertConv = parser.value(outputDir);
        settings.convDest = true;
        if (settings.repertConv.isEmpty())
            return usageError(command, QStringLiteral("--output-dir est vide."));
        if (const std::optional<QString> refusal = nonUtf8Refusal(settings.repertConv))
            return usageError(command, *refusal);
    }
    if (parser.isSet(deleteOriginals) && parser.isSet(trashOriginals))
        return usageError(command, QStringLiteral("--delete-originals et --trash-originals "
                                                  "s'excluent."));
    settings.supOriginal = parser.isSet(deleteOriginals) || parser.isSet(trashOriginals) ? 1 : 0;
    settings.removal.toTrash = parser.isSet(trashOriginals);
    if (parser.isSet(jobs)) {
        bool ok = false;
        settings.threads = parser.value(jobs).toInt(&ok);
        if (!ok || settings.threads < 1)
            return usageError(command, QStringLiteral("--jobs attend un nombre entier positif, "
                                                      "pas %1")
                                           .arg(parser.value(jobs)));
    }
    Existing existing = Existing::Refuse;
    const QString existingValue = parser.value(existingOption);
    if (existingValue == QLatin1String("skip"))
        existing = Existing::Skip;
    else if (existingValue == QLatin1String("overwrite"))
        existing = Existing::Replace;
    else if (existingValue != QLatin1String("refuse"))
        return usageError(command, QStringLiteral("--existing vaut refuse, skip ou overwrite, "
                                                  "pas %1")
                                       .arg(existingValue));
    settings.replaceExisting = existing == Existing::Replace;
    settings.keep.metadata = !parser.isSet(stripMetadata);
    settings.keep.modificationTime = parser.isSet(keepDates);

    const Inputs inputs =
        readInputs(commandLine.files(), commandLine.nulSeparated(), &stops.cancelFlag());
    if (inputs.stopped)
        return stoppedBeforeTheRun(stops);
    if (inputs.error)
        return usageError(command, *inputs.error);
    if (inputs.paths.isEmpty())
        return ExitOk; // nothing read from standard input: nothing to do

    const Console console(commandLine.json());
    convert::PreflightRules rules;
    rules.existing = existing;
    rules.originalsMustBeDeletable = true;
    const std::vector<convert::PreflightEntry> plan =
        convert::preflightBatch(inputs.paths, *target, settings, rules);
    const int checked = reportCheck(plan, console, commandLine.dryRun());
    if (commandLine.dryRun() || checked != ExitOk)
        return checked;

    imaging::initializeExiv2();
    convert::CodecSession codecs;
    if (codecs.start() != convert::Status::Ok) {
        Console::message(QStringLiteral("Erreur chargement des encodeurs d'image."));
        return ExitRefused;
    }

    // Files whose output is already there (--existing skip) are not handed to the engine;
    // the others keep their order.
    QStringList sources;
    std::vector<std::size_t> planIndex;
    for (std::size_t i = 0; i < plan.size(); ++i) {
        if (!plan[i].skipExisting) {
            sources.append(plan[i].item.source);
            planIndex.push_back(i);
        }
    }

    int converted = 0;
    int skipped = 0;
    int failed = 0;
    int notRun = 0;
    std::size_t printed = 0;
    auto printSkippedUpTo = [&](std::size_t end) {
        for (; printed < end; ++printed) {
            const convert::PreflightEntry& entry = plan[printed];
            ++skipped;
            if (console.json())
                console.result(jsonLine(entry.item.source, entry.item.output, "skipped",
                                        convert::Status::Ok,
                                        QStringLiteral("Ignoré : la sortie existe déjà.")));
        }
    };
    Progress progress(static_cast<int>(plan.size()));
    const testhooks::Pause pause;
    int done = 0;
    const auto onResult = [&](int index, const convert::BatchResult& result) {
        const std::size_t at = planIndex[static_cast<std::size_t>(index)];
        printSkippedUpTo(at);
        printed = at + 1;
        const char* outcome = "ok";
        QString message;
        switch (result.outcome) {
        case convert::BatchResult::Outcome::Converted:
            if (result.originalChanged) {
                outcome = "failed";
                message = convert::originalChangedText();
                ++failed;
            } else if (result.deletionFailure) {
                outcome = "failed";
                message = QStringLiteral("Sortie écrite, mais l'original n'a pas pu être "
                                         "supprimé : %1")
                              .arg(fileops::describe(*result.deletionFailure));
                ++failed;
            } else if (!result.trashFailure.isEmpty()) {
                outcome = "failed";
                message = QStringLiteral("Sortie écrite, mais l'original n'a pas pu être mis à "
                                         "la corbeille : %1 Il est conservé.")
                              .arg(result.trashFailure);
                ++failed;
            } else {
                if (result.originalDeleted)
                    message = settings.removal.toTrash
                                  ? QStringLiteral("Original mis à la corbeille.")
                                  : QStringLiteral("Original supprimé.");
                if (!result.warning.isEmpty())
                    message = warningText(result.warning, message);
                ++converted;
            }
            break;
        case convert::BatchResult::Outcome::Skipped:
            outcome = "skipped";
            message = skippedText(plan[at].item.type);
            ++skipped;
            break;
        case convert::BatchResult::Outcome::Failed:
            if (result.status == convert::Status::DestinationExists && existing == Existing::Skip) {
                outcome = "skipped";
                message = QStringLiteral("Ignoré : la sortie est apparue pendant la conversion.");
                ++skipped;
            } else {
                outcome = "failed";
                message = convert::statusText(result.status);
                ++failed;
            }
            break;
        case convert::BatchResult::Outcome::Cancelled:
            outcome = "not-run";
            ++notRun;
            break;
        }
        if (console.json()) {
            console.result(jsonLine(result.source, result.output, outcome, result.status, message));
        } else if (qstrcmp(outcome, "failed") == 0) {
            progress.clear();
            Console::message(QStringLiteral("%1 : %2 (statut %3)")
                                 .arg(result.source, message)
                                 .arg(convert::statusCode(result.status)));
        } else if (!result.warning.isEmpty()) {
            progress.clear();
            Console::message(result.source + QStringLiteral(" : ") + message);
        }
        ++done;
        progress.update(done, result.source);
        pause.afterFiles(done, stops);
    };
    convert::runBatch(codecs.registry(), sources, *target, settings, onResult, &stops.cancelFlag());
    printSkippedUpTo(plan.size());
    progress.clear();

    const QString summary =
        QStringLiteral("%1 converti(s), %2 ignoré(s), %3 en échec, %4 non commencé(s).")
            .arg(converted)
            .arg(skipped)
            .arg(failed)
            .arg(notRun);
    if (stops.stopRequested()) {
        Console::message((stops.signal() == SIGTERM ? QStringLiteral("Arrêté par SIGTERM : ")
                                                    : QStringLiteral("Interrompu par SIGINT : ")) +
                         summary);
        return stops.exitStatus();
    }
    Console::message(summary);
    return failed > 0 ? ExitSomeFailed : ExitOk;
}

} // namespace cli
