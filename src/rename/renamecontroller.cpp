#include "rename/renamecontroller.h"

#include <QCursor> // before busycursor.h, which needs the complete type

#include "fileops/fileops.h"
#include "imaging/exiv.h"
#include "lists/worklist.h"
#include "rename/filetimes.h"
#include "rename/nameforms.h"
#include "rename/namerule.h"
#include "rename/renamejournal.h"
#include "rename/renamepanel.h"
#include "services/busycursor.h"
#include "services/dialogs.h"
#include "settings/settingsschema.h"
#include "settings/settingsstore.h"

#include <QComboBox>
#include <QEventLoop>
#include <QFutureWatcher>
#include <QLabel>
#include <QLineEdit>
#include <QProgressDialog>
#include <QTimer>
#include <QtConcurrent/QtConcurrentRun>

#include <atomic>
#include <cerrno>
#include <limits>
#include <optional>

namespace {

const QString attentionTitle = QStringLiteral("Attention");

} // namespace

RenameController::RenameController(RenamePanel* panel, const WorkList* workList,
                                   SettingsStore* settings, Dialogs* dialogs, QObject* parent)
    : QObject(parent), m_panel(panel), m_workList(workList), m_settings(settings),
      m_dialogs(dialogs), m_clock([] { return QDateTime::currentDateTime(); })
{
    // The date forms may read pictures' metadata, here and on the new-name column's worker.
    imaging::initializeExiv2();
    connect(panel->nameForms(), &QComboBox::activated, this, &RenameController::onNameFormClicked);
    connect(panel->numberingStyles(), &QComboBox::activated, this,
            &RenameController::onStyleClicked);
    connect(panel->nameText(), &QLineEdit::textChanged, this, &RenameController::onNameTextChanged);
}

void RenameController::rempliCombo()
{
    QComboBox* styles = m_panel->numberingStyles();
    styles->clear();
    for (const QString& style : renaming::numberingStyles())
        styles->addItem(style);
    const long long stored = m_settings->readNumber(settings::names::format);
    styles->setCurrentIndex(stored >= 0 && stored < styles->count() ? static_cast<int>(stored)
                                                                    : -1);

    QComboBox* forms = m_panel->nameForms();
    forms->clear();
    for (const renaming::NameForm& form : renaming::nameForms())
        forms->addItem(form.text);
    forms->setCurrentIndex(renaming::textForm);
}

void RenameController::applyFieldRule(int form)
{
    const renaming::NameForm* nameForm = renaming::nameForm(form);
    if (!nameForm)
        return;
    const renaming::FieldState fields = renaming::fieldsFor(*nameForm);
    for (const char* name : {"Label1", "Text1"}) {
        if (QWidget* widget = m_panel->findChild<QWidget*>(QLatin1String(name)))
            widget->setEnabled(fields.nameText);
    }
    for (const char* name : {"Label2", "Text2", "Label7", "Combo2"}) {
        if (QWidget* widget = m_panel->findChild<QWidget*>(QLatin1String(name)))
            widget->setEnabled(fields.numbering);
    }
}

void RenameController::onNameFormClicked(int index)
{
    if (index < 0)
        return;
    applyFieldRule(index);
    VisuRenom();
}

void RenameController::onStyleClicked(int index)
{
    if (m_settings->write(settings::names::format, QString::number(index))) {
        m_writeWarningShown = false;
    } else if (!m_writeWarningShown) {
        m_writeWarningShown = true;
        m_dialogs->message(m_settings->writeFailureText(), settings::productName,
                           DialogIcon::Warning);
    }
    VisuRenom();
}

void RenameController::onNameTextChanged()
{
    if (m_previewSuppressed)
        return;
    // While the user types, a refused name is shown beside the field, not in a message.
    m_typing = true;
    VisuRenom();
    m_typing = false;
}

void RenameController::showFailure(const QString& text)
{
    m_dialogs->message(text, settings::productName, DialogIcon::Warning);
}

void RenameController::VisuRenom()
{
    const QString number = m_panel->startNumber()->text();
    if (m_workList->isEmpty())
        return;
    const int form = m_panel->nameForms()->currentIndex();
    const QString nameText = m_panel->nameText()->text();
    if (form == renaming::textForm && nameText.isEmpty()) {
        m_dialogs->message(renaming::refusalText(renaming::Refusal::EmptyName), attentionTitle,
                           DialogIcon::Critical);
        return;
    }
    const renaming::NameForm* nameForm = renaming::nameForm(form);
    if (!nameForm)
        return;

    const WorkEntry& first = m_workList->entries().front();
    const long long format = m_settings->readNumber(settings::names::format);
    renaming::NameInput input{
        first.name,
        form,
        nameText,
        number,
        format >= 0 && format <= std::numeric_limits<int>::max() ? static_cast<int>(format) : -1,
        m_workList->count(),
        nameForm->usesClock ? m_clock() : QDateTime(),
        {},
        SettingsStore::parseOrdreAMJ(m_settings->readText(settings::names::ordreDates))
            ? renaming::DateOrder::YearMonthDay
            : renaming::DateOrder::DayMonthYear};
    if (nameForm->usesFileTime) {
        renaming::FileTimes times(m_settings->readFlag(settings::names::datePriseDeVue));
        renaming::FileTime time;
        const fileops::FileResult read = times.read(first.folder, first.name, &time);
        if (!read.ok()) {
            showFailure(fileops::describe(read));
            return;
        }
        input.fileTime = time.wallClock;
    }
    const renaming::NameResult result = renaming::newName(input);
    if (!result.ok() && m_typing) {
        m_panel->showNameProblem(result.error);
        return;
    }
    if (!result.ok()) {
        showFailure(result.error);
        return;
    }
    m_panel->example()->setText(result.name);
}

namespace {

// The conflicts of a refused plan, in the words of the command line: one line per file for
// the first five, then the count.
QString conflictText(const renaming::RenamePlan& plan)
{
    QStringList lines;
    int conflicts = 0;
    for (const renaming::PlannedRename& entry : plan.entries) {
        if (entry.conflicts.isEmpty())
            continue;
        if (++conflicts <= 5)
            lines.append(entry.source + QStringLiteral(" : ") +
                         entry.conflicts.join(QStringLiteral(" ; ")));
    }
    lines.append(QStringLiteral("%1 fichier(s) en conflit : rien n'a été changé.").arg(conflicts));
    return lines.join(QLatin1Char('\n'));
}

// What a run that did not complete did, told in one message.
QString unfinishedText(const renaming::RenamePlan& plan, const renaming::RunReport& report)
{
    QStringList lines;
    if (report.failed >= 0) {
        const auto index = static_cast<std::size_t>(report.failed);
        lines.append(plan.entries[index].source + QStringLiteral(" : ") +
                     report.entries[index].message);
    } else {
        lines.append(QStringLiteral("Renommage annulé."));
    }
    for (std::size_t i = 0; i < plan.entries.size(); ++i) {
        if (report.entries[i].result == renaming::EntryRun::Result::Stranded)
            lines.append(QStringLiteral("ATTENTION : %1 : %2")
                             .arg(plan.entries[i].source, report.entries[i].message));
    }
    lines.append(report.stranded == 0
                     ? QStringLiteral("Chaque fichier a repris son ancien nom.")
                     : QStringLiteral("ATTENTION : %1 fichier(s) n'ont pas pu être remis.")
                           .arg(report.stranded));
    return lines.join(QLatin1Char('\n'));
}

} // namespace

renaming::RunReport RenameController::runWithProgress(const renaming::RenamePlan& plan,
                                                      renaming::RunControls controls)
{
    const int total = static_cast<int>(plan.entries.size());
    QProgressDialog progress(m_dialogParent);
    progress.setWindowTitle(settings::productName);
    progress.setCancelButtonText(QStringLiteral("Annuler"));
    progress.setWindowModality(Qt::ApplicationModal); // nothing else changes the work list
    progress.setAutoClose(false);
    progress.setAutoReset(false);
    progress.setMinimumDuration(500);
    progress.setRange(0, total);
    progress.setLabelText(QStringLiteral("Renommage des fichiers : 0 / %1").arg(total));
    progress.setValue(0);

    std::atomic<bool> cancel{false};
    connect(&progress, &QProgressDialog::canceled, &progress, [&] {
        cancel = true;
        progress.setLabelText(QStringLiteral("Arrêt et retour aux anciens noms..."));
    });
    std::atomic<int> done{0};
    controls.cancel = &cancel;
    controls.progress = [&done](int count, int, const QString&) { done = count; };

    QEventLoop loop;
    QFutureWatcher<renaming::RunReport> watcher;
    connect(&watcher, &QFutureWatcherBase::finished, &loop, &QEventLoop::quit);
    QTimer tick;
    connect(&tick, &QTimer::timeout, &progress, [&] {
        if (cancel)
            return;
        progress.setValue(done.load());
        progress.setLabelText(
            QStringLiteral("Renommage des fichiers : %1 / %2").arg(done.load()).arg(total));
    });
    tick.start(100);
    watcher.setFuture(
        QtConcurrent::run([&plan, controls] { return renaming::runPlan(plan, controls); }));
    if (!watcher.isFinished())
        loop.exec();
    tick.stop();
    progress.close();
    return watcher.result();
}

void RenameController::renom()
{
    renaming::RenameRequest request{m_workList->entries(), m_panel->nameForms()->currentIndex(),
                                    m_panel->nameText()->text(), m_panel->startNumber()->text(),
                                    m_settings->snapshot()};
    if (const renaming::Refusal refusal = renaming::check(request);
        refusal != renaming::Refusal::None) {
        m_dialogs->message(renaming::refusalText(refusal), attentionTitle, DialogIcon::Critical);
        return;
    }
    if (!m_dialogs->askOkCancel(QStringLiteral("Voulez-vous changer le nom ?"),
                                QStringLiteral("Confirmation "), DialogIcon::None))
        return;

    const SettingsSnapshot& settings = request.settings;
    renaming::RenameOptions options;
    options.form = request.form;
    options.nameText = request.nameText;
    options.start = request.startNumber;
    options.format = settings.format;
    if (settings.renomDest) {
        if (settings.repertNom.isEmpty()) {
            showFailure(fileops::describe(fileops::FileResult::system(ENOENT, QString())));
            return;
        }
        options.dest = settings.repertNom;
    }
    if (settings.copieOriginal)
        options.keep = settings.repertCopieDest       ? renaming::KeepCopy::Dest
                       : settings.repertCopieOriginal ? renaming::KeepCopy::Own
                                                      : renaming::KeepCopy::None;
    options.dateTaken = settings.datePriseDeVue;
    options.dateOrder =
        settings.ordreAMJ ? renaming::DateOrder::YearMonthDay : renaming::DateOrder::DayMonthYear;
    QStringList sources;
    sources.reserve(static_cast<qsizetype>(request.entries.size()));
    for (const WorkEntry& entry : request.entries)
        sources.append(entry.path());

    std::optional<BusyCursor> busy(std::in_place);
    const renaming::RenamePlan plan = renaming::planRename(sources, options, m_clock());
    if (plan.refused()) {
        busy.reset();
        m_lastReport = {};
        showFailure(conflictText(plan));
        return;
    }
    renaming::RenameJournal journal;
    renaming::RunControls controls;
    controls.journal = &journal;
    m_lastReport = runWithProgress(plan, controls);
    if (m_lastReport.journalError) {
        busy.reset();
        showFailure(*m_lastReport.journalError);
        return;
    }
    if (!m_lastReport.complete()) {
        busy.reset();
        showFailure(unfinishedText(plan, m_lastReport));
        return;
    }

    if (m_finish.refreshBrowseList)
        m_finish.refreshBrowseList();
    m_previewSuppressed = true;
    m_panel->nameText()->setText(QStringLiteral("image"));
    m_previewSuppressed = false;
    if (m_finish.clearPreview)
        m_finish.clearPreview();
    busy.reset();
    m_panel->example()->clear();
    if (m_finish.emptyWorkList)
        m_finish.emptyWorkList();
}

void RenameController::undo()
{
    std::optional<BusyCursor> busy(std::in_place);
    const renaming::UndoReport report = renaming::undoLastRename();
    busy.reset();
    if (!report.journal) {
        m_dialogs->message(QStringLiteral("Aucun renommage à annuler."), settings::productName,
                           DialogIcon::Information);
        return;
    }
    if (report.error) {
        showFailure(QStringLiteral("Impossible de lire le journal de renommage : ") +
                    *report.error);
        return;
    }
    if (m_finish.refreshBrowseList)
        m_finish.refreshBrowseList();
    QStringList lines = report.leftAlone.mid(0, 5);
    lines.append(QStringLiteral("%1 fichier(s) remis sous leur ancien nom, %2 copie(s) "
                                "gardée(s) supprimée(s).")
                     .arg(report.restored)
                     .arg(report.copiesRemoved));
    m_dialogs->message(lines.join(QLatin1Char('\n')), settings::productName,
                       report.leftAlone.isEmpty() ? DialogIcon::Information : DialogIcon::Warning);
}

void RenameController::annulerDernierRenommage()
{
    undo();
}

void RenameController::checkInterruptedRun()
{
    if (!renaming::interruptedJournal())
        return;
    if (m_dialogs->askOkCancel(
            QStringLiteral("Un renommage a été interrompu. Remettre les anciens noms ?"),
            settings::productName, DialogIcon::Question))
        undo();
}
