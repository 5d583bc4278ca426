#include "cli/commandline.h"
#include "cli/commands.h"
#include "cli/console.h"
#include "cli/exitstatus.h"
#include "cli/stopsignals.h"
#include "cli/testhooks.h"
#include "fileops/fileops.h"
#include "imaging/exiv.h"
#include "rename/nameforms.h"
#include "rename/namerule.h"
#include "rename/renameengine.h"
#include "rename/renamejournal.h"
#include "rename/renamerequest.h"

#include <QCoreApplication>
#include <QJsonObject>

#include <array>
#include <csignal>

#include <unistd.h>

namespace cli {

namespace {

using renaming::EntryRun;
using renaming::KeepCopy;
using renaming::PlannedRename;
using renaming::RenameOptions;
using renaming::RenamePlan;
using renaming::RunControls;
using renaming::RunReport;

std::optional<int> formFrom(const QString& text)
{
    bool numeric = false;
    const int number = text.toInt(&numeric);
    if (numeric)
        return renaming::nameForm(number) ? std::optional<int>(number) : std::nullopt;
    for (int i = 0; i < renaming::nameFormCount; ++i) {
        if (text.compare(renaming::nameForms()[static_cast<std::size_t>(i)].keyword,
                         Qt::CaseInsensitive) == 0)
            return i;
    }
    return std::nullopt;
}

std::optional<int> styleFrom(const QString& text)
{
    const auto& styles = renaming::numberingStyles();
    for (std::size_t i = 0; i < styles.size(); ++i) {
        if (text.compare(styles[i], Qt::CaseInsensitive) == 0)
            return static_cast<int>(i);
    }
    return std::nullopt;
}

QString renameHelp()
{
    QString forms = QStringLiteral("Types de nom (--form, par numéro ou mot-clé) :\n");
    for (int i = 0; i < renaming::nameFormCount; ++i) {
        forms += QStringLiteral("  %1  %2 %3\n")
                     .arg(i, 2)
                     .arg(renaming::nameForms()[static_cast<std::size_t>(i)].keyword, -23)
                     .arg(renaming::nameForms()[static_cast<std::size_t>(i)].text);
    }
    return forms +
           QStringLiteral(
               "\n"
               "Les noms et les numéros sont donnés dans l'ordre des fichiers. Les formes 14 à 20\n"
               "ajoutent le numéro quand il y a plus d'un fichier. Les dates des copies et des\n"
               "fichiers déplacés sont gardées : une forme de date relancée donne le même nom.\n"
               "Avec --date taken, la date de prise de vue est lue dans l'en-tête de l'image, "
               "telle\n"
               "que l'appareil l'a écrite ; une date vide ou impossible (0000:00:00, mois 13) "
               "compte\n"
               "comme absente. Avec --date-order ymd, toutes les dates s'écrivent aaaa-mm-jj.\n"
               "\n"
               "Avant toute modification, tout est vérifié : fichier donné deux fois, deux "
               "fichiers\n"
               "de même nom final, nom final déjà pris par un fichier qui reste, nom de copie "
               "pris,\n"
               "nom refusé par le système, dossier introuvable ou protégé. Le moindre conflit :\n"
               "rien n'est fait, statut 2. Les chaînes (a -> b, b -> c) et les échanges de noms\n"
               "sont permis.\n"
               "\n"
               "Tout ou rien : si une étape échoue, ou sur SIGINT ou SIGTERM, les fichiers déjà\n"
               "renommés reprennent leur ancien nom, dans l'ordre inverse, et les copies gardées\n"
               "sont supprimées. Si un retour échoue, le fichier et son nom actuel sont indiqués\n"
               "(statut 3). Un plantage ou une coupure de courant peut laisser un renommage à\n"
               "moitié fait : « morvane-batch undo » le défait d'après son journal. Les noms\n"
               "temporaires se reconnaissent :\n"
               "  .morvane-cycle-*   un fichier mis de côté pour un échange de noms\n"
               "  .morvane-*         un changement de casse ou une copie en cours d'écriture\n"
               "  NOMTemp            la copie gardée du fichier NOM, avant son retour\n"
               "Aucun fichier existant n'est jamais remplacé. Aucun fichier de réglages n'est "
               "lu.\n");
}

// One file in --json: `target` only where the run left the file under a new name, or where a
// dry run would put it; `status` the errno of the failure (0 when none).
QJsonObject jsonLine(const QString& source, const QString& target, const char* result, int status,
                     const QString& message)
{
    QJsonObject line{{QStringLiteral("source"), source},
                     {QStringLiteral("result"), QLatin1String(result)},
                     {QStringLiteral("status"), status},
                     {QStringLiteral("message"), message}};
    if (!target.isEmpty())
        line.insert(QStringLiteral("target"), target);
    return line;
}

// The check before the run, printed: in a dry run the plan itself; otherwise the conflicts.
// Returns the exit status the real run gives at this point.
int reportPlan(const RenamePlan& plan, const Console& console, bool dryRun)
{
    int conflicts = 0;
    for (const PlannedRename& entry : plan.entries) {
        const QString message = entry.conflicts.join(QStringLiteral(" ; "));
        if (!entry.conflicts.isEmpty())
            ++conflicts;
        if (console.json()) {
            const char* result = !entry.conflicts.isEmpty() ? "conflict"
                                 : entry.unchanged          ? "skipped"
                                 : dryRun                   ? "planned"
                                                            : "not-run";
            if (dryRun || plan.refused())
                console.result(jsonLine(
                    entry.source, qstrcmp(result, "planned") == 0 ? entry.target : QString(),
                    result, 0,
                    entry.unchanged && entry.conflicts.isEmpty() ? QStringLiteral("Nom inchangé.")
                                                                 : message));
        } else if (dryRun) {
            QString line = entry.source + QStringLiteral(" -> ") + entry.target;
            if (!entry.conflicts.isEmpty())
                line += QStringLiteral(" : conflit : ") + message;
            else if (entry.unchanged)
                line += QStringLiteral(" (inchangé)");
            console.result(line);
        } else if (!entry.conflicts.isEmpty()) {
            Console::message(entry.source + QStringLiteral(" : ") + message);
        }
    }
    if (conflicts > 0) {
        Console::message(
            QStringLiteral("%1 fichier(s) en conflit : rien n'a été changé.").arg(conflicts));
        return ExitRefused;
    }
    return ExitOk;
}

// The run, printed: a line per file that failed or could not be put back, then the summary.
int reportRun(const RenamePlan& plan, const RunReport& run, const Console& console,
              const StopSignals& stops)
{
    for (std::size_t i = 0; i < plan.entries.size(); ++i) {
        const PlannedRename& planned = plan.entries[i];
        const EntryRun& entry = run.entries[i];
        const char* result = "not-run";
        QString target;
        switch (entry.result) {
        case EntryRun::Result::Renamed:
            result = "ok";
            target = planned.target;
            break;
        case EntryRun::Result::Unchanged:
            result = "skipped";
            break;
        case EntryRun::Result::Undone:
            result = "undone";
            break;
        case EntryRun::Result::NotRun:
            break;
        case EntryRun::Result::Failed:
            result = "failed";
            Console::message(planned.source + QStringLiteral(" : ") + entry.message);
            break;
        case EntryRun::Result::Stranded:
            result = "stranded";
            target = entry.fileAt;
            Console::message(
                QStringLiteral("ATTENTION : %1 : %2").arg(planned.source, entry.message));
            break;
        }
        if (console.json())
            console.result(jsonLine(planned.source, target, result, entry.error, entry.message));
    }

    if (run.complete()) {
        Console::message(QStringLiteral("%1 fichier(s) renommé(s), %2 inchangé(s).")
                             .arg(run.renamed)
                             .arg(run.unchanged));
        return ExitOk;
    }
    const QString why = run.failed >= 0             ? QStringLiteral("Échec")
                        : stops.signal() == SIGTERM ? QStringLiteral("Arrêté par SIGTERM")
                                                    : QStringLiteral("Interrompu par SIGINT");
    Console::message(
        QStringLiteral("%1 : %2 fichier(s) remis sous leur ancien nom.").arg(why).arg(run.undone));
    if (run.stranded > 0) {
        Console::message(QStringLiteral("ATTENTION : %1 fichier(s) n'ont pas pu être remis "
                                        "(voir ci-dessus).")
                             .arg(run.stranded));
        return ExitStranded;
    }
    return run.failed >= 0 ? ExitSomeFailed : stops.exitStatus();
}

} // namespace

int renameCommand(const QStringList& arguments, StopSignals& stops)
{
    CommandLine commandLine(
        QStringLiteral("rename"),
        QStringLiteral("Renomme les fichiers par un type de nom, tout ou rien."));
    const QCommandLineOption form(
        QStringLiteral("form"),
        QStringLiteral("Type de nom, obligatoire : son numéro (0 à 20) ou son mot-clé (liste "
                       "ci-dessous)."),
        QStringLiteral("N|MOT"));
    const QCommandLineOption text(
        QStringLiteral("text"),
        QStringLiteral("Le nom du fichier, pour le type 20 (par défaut : image)."),
        QStringLiteral("TEXTE"), QStringLiteral("image"));
    const QCommandLineOption start(QStringLiteral("start"),
                                   QStringLiteral("Premier numéro (par défaut 1)."),
                                   QStringLiteral("N"), QStringLiteral("1"));
    const QCommandLineOption style(
        QStringLiteral("style"),
        QStringLiteral("Format des numéros : 0, 00, 000, 0000 ou auto (par défaut auto : "
                       "autant de chiffres qu'en a le nombre de fichiers)."),
        QStringLiteral("FORMAT"), QStringLiteral("auto"));
    const QCommandLineOption dest(
        QStringLiteral("dest"),
        QStringLiteral("Les fichiers renommés vont dans ce dossier (par défaut chacun reste "
                       "dans le sien)."),
        QStringLiteral("DOSSIER"));
    const QCommandLineOption keep(
        QStringLiteral("keep-copy"),
        QStringLiteral("Garder une copie de chaque fichier sous son ancien nom : own, dans le "
                       "dossier du fichier ; dest, dans le dossier de destination (comme own "
                       "sans --dest)."),
        QStringLiteral("own|dest"));
    const QCommandLineOption date(
        QStringLiteral("date"),
        QStringLiteral("La date et l'heure des types « Fichier » : modified, la date de "
                       "modification (par défaut) ; taken, la date de prise de vue (EXIF "
                       "DateTimeOriginal, sinon CreateDate, sinon DateTime), ou la date de "
                       "modification pour une image qui n'en a pas de valide."),
        QStringLiteral("modified|taken"), QStringLiteral("modified"));
    const QCommandLineOption dateOrder(
        QStringLiteral("date-order"),
        QStringLiteral("L'ordre des dates : dmy, jj-mm-aaaa (par défaut) ; ymd, aaaa-mm-jj, "
                       "pour des noms qui se trient par date."),
        QStringLiteral("dmy|ymd"), QStringLiteral("dmy"));
    for (const QCommandLineOption& option : {form, text, start, style, dest, keep, date, dateOrder})
        commandLine.addOption(option);
    if (const std::optional<int> status = commandLine.parse(arguments, renameHelp()))
        return *status;

    const QCommandLineParser& parser = commandLine.parser();
    RenameOptions options;
    if (!parser.isSet(form))
        return usageError(commandLine.command(), QStringLiteral("--form est obligatoire."));
    const std::optional<int> formNumber = formFrom(parser.value(form));
    if (!formNumber)
        return usageError(commandLine.command(),
                          QStringLiteral("Type de nom inconnu : %1").arg(parser.value(form)));
    options.form = *formNumber;
    options.nameText = parser.value(text);
    // The text becomes part of every new name.
    if (const std::optional<QString> refusal = nonUtf8Refusal(options.nameText))
        return usageError(commandLine.command(), *refusal);
    options.start = parser.value(start);
    const std::optional<int> styleIndex = styleFrom(parser.value(style));
    if (!styleIndex)
        return usageError(commandLine.command(),
                          QStringLiteral("Format de numéro inconnu : %1").arg(parser.value(style)));
    options.format = *styleIndex;
    if (parser.isSet(dest)) {
        options.dest = parser.value(dest);
        if (options.dest.isEmpty())
            return usageError(commandLine.command(), QStringLiteral("--dest est vide."));
        if (const std::optional<QString> refusal = nonUtf8Refusal(options.dest))
            return usageError(commandLine.command(), *refusal);
    }
    if (parser.isSet(keep)) {
        const QString value = parser.value(keep);
        if (value == QLatin1String("own"))
            options.keep = KeepCopy::Own;
        else if (value == QLatin1String("dest"))
            options.keep = KeepCopy::Dest;
        else
            return usageError(commandLine.command(),
                              QStringLiteral("--keep-copy vaut own ou dest, pas %1").arg(value));
    }

    if (const QString value = parser.value(date); value == QLatin1String("taken"))
        options.dateTaken = true;
    else if (value != QLatin1String("modified"))
        return usageError(commandLine.command(),
                          QStringLiteral("--date vaut modified ou taken, pas %1").arg(value));
    if (const QString value = parser.value(dateOrder); value == QLatin1String("ymd"))
        options.dateOrder = renaming::DateOrder::YearMonthDay;
    else if (value != QLatin1String("dmy"))
        return usageError(commandLine.command(),
                          QStringLiteral("--date-order vaut dmy ou ymd, pas %1").arg(value));
    imaging::initializeExiv2();

    const Inputs inputs =
        readInputs(commandLine.files(), commandLine.nulSeparated(), &stops.cancelFlag());
    if (inputs.stopped)
        return stoppedBeforeTheRun(stops);
    if (inputs.error)
        return usageError(commandLine.command(), *inputs.error);
    if (inputs.paths.isEmpty())
        return ExitOk; // nothing read from standard input: nothing to do

    // The window's own checks: a name text for form 20, a start number that reads as one.
    renaming::RenameRequest request;
    request.form = options.form;
    request.nameText = options.nameText;
    request.startNumber = options.start;
    request.entries.resize(static_cast<std::size_t>(inputs.paths.size()));
    if (const renaming::Refusal refusal = renaming::check(request);
        refusal != renaming::Refusal::None)
        return usageError(commandLine.command(), renaming::refusalText(refusal));

    const Console console(commandLine.json());
    const RenamePlan plan = renaming::planRename(inputs.paths, options,
                                                 QDateTime::currentDateTime(), &stops.cancelFlag());
    if (plan.stopped)
        return stoppedBeforeTheRun(stops);
    const int checked = reportPlan(plan, console, commandLine.dryRun());
    if (commandLine.dryRun() || checked != ExitOk)
        return checked;
    const testhooks::Pause pause;
    std::optional<Progress> progress;
    renaming::RenameJournal journal;
    RunControls controls;
    controls.cancel = &stops.cancelFlag();
    controls.journal = &journal;
    controls.progress = [&](int done, int total, const QString& source) {
        if (!progress)
            progress.emplace(total);
        progress->update(done, source);
        pause.afterFiles(done, stops);
    };
    const RunReport run = runPlan(plan, controls);
    if (progress)
        progress->clear();
    if (run.journalError) {
        Console::message(*run.journalError);
        return ExitRefused;
    }
    return reportRun(plan, run, console, stops);
}

} // namespace cli
