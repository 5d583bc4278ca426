#include "cli/commandline.h"
#include "cli/commands.h"
#include "cli/console.h"
#include "cli/exitstatus.h"
#include "cli/renameplan.h"
#include "cli/stopsignals.h"
#include "cli/testhooks.h"
#include "fileops/fileops.h"
#include "rename/nameforms.h"
#include "rename/namerule.h"
#include "rename/renamerun.h"

#include <QCoreApplication>
#include <QJsonObject>

#include <array>
#include <csignal>

#include <unistd.h>

namespace cli {

namespace {

// The short keyword of each name form, by form number.
constexpr std::array<const char*, renaming::nameFormCount> formKeywords{
    "capitalize",
    "lower-first-upper-rest",
    "system-date-prefix",
    "file-date-prefix",
    "system-date-suffix",
    "file-date-suffix",
    "system-time-suffix",
    "system-time-prefix",
    "file-time-suffix",
    "file-time-prefix",
    "upper",
    "lower",
    "lower-first",
    "upper-first",
    "system-date",
    "system-date-time",
    "system-time",
    "file-date",
    "file-date-time",
    "file-time",
    "text",
};

std::optional<int> formFrom(const QString& text)
{
    bool numeric = false;
    const int number = text.toInt(&numeric);
    if (numeric)
        return renaming::nameForm(number) ? std::optional<int>(number) : std::nullopt;
    for (int i = 0; i < renaming::nameFormCount; ++i) {
        if (text.compare(QLatin1String(formKeywords[static_cast<std::size_t>(i)]),
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
                     .arg(QLatin1String(formKeywords[static_cast<std::size_t>(i)]), -23)
                     .arg(renaming::nameForms()[static_cast<std::size_t>(i)].text);
    }
    return forms +
           QStringLiteral(
               "\n"
               "Les noms et les numéros sont donnés dans l'ordre des fichiers. Les formes 14 à 20\n"
               "ajoutent le numéro quand il y a plus d'un fichier. Les dates des copies et des\n"
               "fichiers déplacés sont gardées : une forme de date relancée donne le même nom.\n"
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
               "moitié fait ; les noms temporaires se reconnaissent alors :\n"
               "  .morvane-cycle-*   un fichier mis de côté pour un échange de noms\n"
               "  .morvane-*         un changement de casse ou une copie en cours d'écriture\n"
               "  NOMTemp            la copie gardée du fichier NOM, avant son retour\n"
               "Aucun fichier existant n'est jamais remplacé. Aucun fichier de réglages n'est "
               "lu.\n");
}

QJsonObject jsonLine(const QString& source, const QString& target, const char* result,
                     const QString& message)
{
    return QJsonObject{{QStringLiteral("source"), source},
                       {QStringLiteral("target"), target},
                       {QStringLiteral("result"), QLatin1String(result)},
                       {QStringLiteral("message"), message}};
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
                console.result(jsonLine(entry.source, entry.target, result,
                                        entry.unchanged && entry.conflicts.isEmpty()
                                            ? QStringLiteral("Nom inchangé.")
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

// A stop signal before the first change.
int stoppedBeforeTheRun(const StopSignals& stops)
{
    Console::message((stops.signal() == SIGTERM ? QStringLiteral("Arrêté par SIGTERM")
                                                : QStringLiteral("Interrompu par SIGINT")) +
                     QStringLiteral(" : rien n'a été changé."));
    return stops.exitStatus();
}

// The run: each change is written in a journal, so that a failure or a stop signal puts
// every file back, in reverse order, without ever replacing a file.
class Transaction
{
public:
    Transaction(const RenamePlan& plan, const Console& console, const StopSignals& stops)
        : m_plan(plan), m_console(console), m_stops(stops), m_state(plan.entries.size())
    {
        for (std::size_t i = 0; i < plan.entries.size(); ++i)
            m_state[i].fileAt = plan.entries[i].source;
    }

    int run(StopSignals& stops)
    {
        const std::vector<RenameStep> steps = executionOrder(m_plan);
        const testhooks::Pause pause;
        Progress progress(static_cast<int>(steps.size()));
        int done = 0;
        for (const RenameStep& step : steps) {
            if (stops.stopRequested())
                break;
            const PlannedRename& entry = m_plan.entries[static_cast<std::size_t>(step.entry)];
            if (!perform(step)) {
                // A copy cut short by a stop signal is no failure of the file.
                if (state(step.entry).failure.isEmpty())
                    break;
                m_failed = step.entry;
                break;
            }
            if (step.kind != RenameStep::Kind::AsideFirst) {
                ++done;
                progress.update(done, entry.source);
                pause.afterFiles(done, stops);
            }
        }
        progress.clear();
        const bool complete = m_failed < 0 && !stops.stopRequested();
        if (!complete)
            undo();
        return report(complete, stops);
    }

private:
    struct Action
    {
        int entry;
        bool isCopy;  // the kept copy, not the file itself
        bool created; // made by a copy (undone by removing it), else moved
        QString from;
        QString to;
        std::optional<fileops::FileIdentity> identity;
        fileops::FolderCase folderCase = fileops::FolderCase::Unknown;
    };
    struct State
    {
        QString fileAt;
        QString copyAt;
        bool touched = false;
        QString failure;
        QStringList undoFailures;
    };

    State& state(int entry) { return m_state[static_cast<std::size_t>(entry)]; }

    bool fail(int entry, const fileops::FileResult& result)
    {
        if (result.error != ECANCELED || !m_stops.stopRequested())
            state(entry).failure = fileops::describe(result);
        return false;
    }

    // Forward steps stop on a stop signal; the way back never does.
    const std::atomic<bool>* cancel() const { return &m_stops.cancelFlag(); }

    bool copy(int entry)
    {
        const PlannedRename& planned = m_plan.entries[static_cast<std::size_t>(entry)];
        if (planned.copyPath.isEmpty())
            return true;
        const QString to =
            planned.copyTemporary.isEmpty() ? planned.copyPath : planned.copyTemporary;
        const fileops::FileResult copied =
            fileops::copyFile(planned.source, to, fileops::CopyMode::NoReplace, cancel());
        if (!copied.ok())
            return fail(entry, copied);
        state(entry).touched = true;
        state(entry).copyAt = to;
        m_journal.push_back({entry, true, true, planned.source, to, fileops::identityOf(to), {}});
        return true;
    }

    bool move(int entry, bool isCopy, const QString& to)
    {
        State& s = state(entry);
        QString& at = isCopy ? s.copyAt : s.fileAt;
        const QString from = at;
        const fileops::FolderCase folderCase =
            m_plan.entries[static_cast<std::size_t>(entry)].targetCase;
        const fileops::FileResult moved = fileops::renameNoReplace(from, to, folderCase, cancel());
        if (!moved.ok()) {
            // A rename through a temporary name that could not finish leaves the file there.
            const auto own = m_plan.entries[static_cast<std::size_t>(entry)].identity;
            if (!isCopy && !moved.path.isEmpty() && moved.path != from &&
                !fileops::identityOf(from) && own && fileops::identityOf(moved.path) == own) {
                at = moved.path;
                s.touched = true;
                m_journal.push_back({entry, false, false, from, moved.path, own, folderCase});
            }
            return fail(entry, moved);
        }
        at = to;
        s.touched = true;
        // A rename keeps the inode; only a move to another file system makes a new one.
        const PlannedRename& planned = m_plan.entries[static_cast<std::size_t>(entry)];
        const bool sameInode = !isCopy && !planned.movesAcrossDevices && planned.identity;
        m_journal.push_back({entry, isCopy, false, from, to,
                             sameInode ? planned.identity : fileops::identityOf(to), folderCase});
        return true;
    }

    bool moveAside(int entry)
    {
        const QString& source = m_plan.entries[static_cast<std::size_t>(entry)].source;
        const QString folder = source.left(source.lastIndexOf(QLatin1Char('/')) + 1);
        const QString stem = folder + QLatin1String(cycleTemporaryPrefix) +
                             QString::number(::getpid()) + QLatin1Char('-') +
                             QString::number(entry);
        for (int attempt = 0; attempt < 100; ++attempt) {
            const QString temporary =
                attempt == 0 ? stem : stem + QLatin1Char('-') + QString::number(attempt);
            if (fileops::identityOf(temporary))
                continue;
            return move(entry, false, temporary);
        }
        return fail(entry, fileops::FileResult::system(EEXIST, stem));
    }

    bool perform(const RenameStep& step)
    {
        const PlannedRename& planned = m_plan.entries[static_cast<std::size_t>(step.entry)];
        switch (step.kind) {
        case RenameStep::Kind::AsideFirst:
            return copy(step.entry) && moveAside(step.entry);
        case RenameStep::Kind::Whole:
            if (!copy(step.entry))
                return false;
            [[fallthrough]];
        case RenameStep::Kind::FromTemporary:
            if (!move(step.entry, false, planned.target))
                return false;
            // The kept copy takes the old name again, once the file has left it.
            return planned.copyTemporary.isEmpty() || move(step.entry, true, planned.source);
        }
        return false;
    }

    void undo()
    {
        for (auto action = m_journal.rbegin(); action != m_journal.rend(); ++action) {
            State& s = state(action->entry);
            QString& at = action->isCopy ? s.copyAt : s.fileAt;
            if (at != action->to || fileops::identityOf(action->to) != action->identity) {
                s.undoFailures.append(
                    QStringLiteral("%1 n'est plus le fichier attendu").arg(action->to));
                continue;
            }
            const fileops::FileResult back =
                action->created
                    ? fileops::removeFile(action->to)
                    : fileops::renameNoReplace(action->to, action->from, action->folderCase);
            if (!back.ok()) {
                s.undoFailures.append(fileops::describe(back));
                continue;
            }
            at = action->created ? QString() : action->from;
        }
    }

    int report(bool complete, const StopSignals& stops)
    {
        int renamed = 0;
        int unchanged = 0;
        int undone = 0;
        int stranded = 0;
        for (std::size_t i = 0; i < m_plan.entries.size(); ++i) {
            const PlannedRename& planned = m_plan.entries[i];
            const State& s = m_state[i];
            const bool back = s.fileAt == planned.source && s.copyAt.isEmpty();
            const char* result = "ok";
            QString target = planned.target;
            QString message;
            if (planned.unchanged) {
                result = "skipped";
                message = QStringLiteral("Nom inchangé.");
                ++unchanged;
            } else if (complete) {
                ++renamed;
            } else if (!back) {
                result = "stranded";
                target = s.fileAt;
                message = QStringLiteral("Le fichier est maintenant %1").arg(s.fileAt);
                if (!s.copyAt.isEmpty())
                    message += QStringLiteral(" ; une copie reste sous %1").arg(s.copyAt);
                message += QStringLiteral(" (") +
                           (s.failure.isEmpty() ? QString() : s.failure + QStringLiteral(" ; ")) +
                           s.undoFailures.join(QStringLiteral(" ; ")) + QStringLiteral(").");
                Console::message(
                    QStringLiteral("ATTENTION : %1 : %2").arg(planned.source, message));
                ++stranded;
            } else if (static_cast<int>(i) == m_failed) {
                result = "failed";
                message = s.failure;
                Console::message(planned.source + QStringLiteral(" : ") + s.failure);
            } else if (s.touched) {
                result = "undone";
                message = QStringLiteral("Remis sous son ancien nom.");
                ++undone;
            } else {
                result = "not-run";
            }
            if (m_console.json())
                m_console.result(jsonLine(planned.source, target, result, message));
        }

        if (complete) {
            Console::message(QStringLiteral("%1 fichier(s) renommé(s), %2 inchangé(s).")
                                 .arg(renamed)
                                 .arg(unchanged));
            return ExitOk;
        }
        const QString why = m_failed >= 0               ? QStringLiteral("Échec")
                            : stops.signal() == SIGTERM ? QStringLiteral("Arrêté par SIGTERM")
                                                        : QStringLiteral("Interrompu par SIGINT");
        Console::message(
            QStringLiteral("%1 : %2 fichier(s) remis sous leur ancien nom.").arg(why).arg(undone));
        if (stranded > 0) {
            Console::message(QStringLiteral("ATTENTION : %1 fichier(s) n'ont pas pu être remis "
                                            "(voir ci-dessus).")
                                 .arg(stranded));
            return ExitStranded;
        }
        return m_failed >= 0 ? ExitSomeFailed : stops.exitStatus();
    }

    const RenamePlan& m_plan;
    const Console& m_console;
    const StopSignals& m_stops;
    std::vector<State> m_state;
    std::vector<Action> m_journal;
    int m_failed = -1;
};

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
    for (const QCommandLineOption& option : {form, text, start, style, dest, keep})
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
    const RenamePlan plan =
        planRename(inputs.paths, options, QDateTime::currentDateTime(), &stops.cancelFlag());
    if (plan.stopped)
        return stoppedBeforeTheRun(stops);
    const int checked = reportPlan(plan, console, commandLine.dryRun());
    if (commandLine.dryRun() || checked != ExitOk)
        return checked;
    Transaction transaction(plan, console, stops);
    return transaction.run(stops);
}

} // namespace cli
