#include "convert/conversioncontroller.h"

#include <QCursor> // before busycursor.h, which needs the complete type

#include "convert/codecregistry.h"
#include "convert/convertpanel.h"
#include "convert/outputformats.h"
#include "convert/preflight.h"
#include "convert/singleconversion.h"
#include "fileops/fileops.h"
#include "imaging/pictureloader.h"
#include "lists/worklist.h"
#include "services/busycursor.h"
#include "services/dialogs.h"
#include "settings/settingsschema.h"
#include "settings/settingsstore.h"

#include <QComboBox>
#include <QEventLoop>
#include <QFileInfo>
#include <QFutureWatcher>
#include <QGuiApplication>
#include <QLabel>
#include <QProgressDialog>
#include <QScrollBar>
#include <QThread>
#include <QtConcurrent>

#include <deque>
#include <mutex>
#include <optional>

using namespace convert;
using namespace Qt::StringLiterals;

namespace {

const QString morvaneTitle = QStringLiteral("Morvane");

QString fileName(const QString& path)
{
    return path.mid(path.lastIndexOf(u'/') + 1);
}

} // namespace

ConversionController::ConversionController(ConvertPanel* panel, const WorkList* workList,
                                           SettingsStore* settings, Dialogs* dialogs,
                                           const CodecSession* codecs, QObject* parent)
    : QObject(parent), m_panel(panel), m_workList(workList), m_settings(settings),
      m_dialogs(dialogs), m_codecs(codecs)
{
    connect(panel->sizeControl(), &QScrollBar::valueChanged, this,
            &ConversionController::HScrollTaille_Change);
}

void ConversionController::conversion()
{
    if (m_workList->count() == 1)
        SauverUni();
    else if (m_workList->count() > 1)
        SauverMulti();
}

void ConversionController::HScrollTaille_Change(int value)
{
    m_outputSize = QSize(value, outputHeightFor(value, m_aspectRatio));
    m_panel->showOutputSize(m_outputSize);
}

Status ConversionController::load(bool full, QImage* picture)
{
    if (m_workList->isEmpty())
        return Status::SourceNotFound;
    const WorkEntry& entry = m_workList->entries().front();
    m_originalPath = entry.path();
    m_basePath =
        singleOutputBasePath(m_originalPath, m_settings->readFlag(settings::names::convOrig),
                             m_settings->readText(settings::names::repertConv));
    m_panel->outputPath()->setText(m_basePath);

    // A name without a source type (a TIFF file, unless TIFF and WebP files are converted
    // too) is refused like an unreadable picture.
    if (sourceTypeOf(entry.name, m_settings->readFlag(settings::names::tiffWebp)) ==
        SourceType::None) {
        m_panel->showPreview({}, {});
        return Status::SourceNotDecodable;
    }
    QSize natural;
    QImage shown;
    if (full) {
        m_readStamp = fileops::stampOf(m_originalPath);
        LoadedPicture loaded = PictureLoader::load(m_originalPath);
        if (!loaded.ok()) {
            m_panel->showPreview({}, {});
            return loaded.status;
        }
        natural = loaded.image.size();
        *picture = std::move(loaded.image);
        shown = *picture;
    } else {
        const PictureProbe probe = PictureLoader::probe(m_originalPath);
        LoadedPicture loaded =
            probe.status == Status::Ok
                ? PictureLoader::loadFitted(m_originalPath, ConvertPanel::previewBoxSize)
                : LoadedPicture{probe.status, {}};
        if (!loaded.ok()) {
            m_panel->showPreview({}, {});
            return loaded.status;
        }
        natural = probe.uprightSize;
        shown = std::move(loaded.image);
    }

    m_aspectRatio = double(natural.width()) / natural.height();
    // Set directly: setValue emits nothing when the value is unchanged.
    QScrollBar* size = m_panel->sizeControl();
    const int width = qBound(size->minimum(), natural.width(), ConvertPanel::maximumOutputWidth);
    {
        // Never wider than the source: a larger output would only be scaled up.
        const QSignalBlocker blocker(size);
        size->setMaximum(width);
        size->setValue(width);
    }
    HScrollTaille_Change(width);
    m_panel->showPreview(shown, previewFit(natural, ConvertPanel::previewBoxSize, m_aspectRatio));
    return Status::Ok;
}

void ConversionController::ouvririmage()
{
    if (m_workList->isEmpty())
        return;
    QImage unused;
    Status status = Status::Ok;
    {
        const BusyCursor busy;
        status = load(false, &unused);
    }
    if (status != Status::Ok)
        m_dialogs->message(conversionFailureText(m_originalPath, status), morvaneTitle,
                           DialogIcon::Critical);
}

void ConversionController::SauverUni()
{
    if (m_workList->isEmpty())
        return;
    std::optional<QString> failure;
    std::optional<QString> kept;
    {
        const BusyCursor busy;
        QImage picture;
        const Status loaded = load(true, &picture);
        const OutputFormat* format = outputFormatAt(m_panel->outputFormats()->currentIndex());
        if (loaded != Status::Ok) {
            failure = conversionFailureText(m_originalPath, loaded);
        } else if (format) {
            const QString output = singleOutputPath(m_basePath, *format);
            if (format->code == formatCodeBmp)
                m_panel->outputPath()->setText(output);
            ConvertOptions options;
            options.quality = m_settings->jpegQuality();
            options.pngCompression = m_settings->pngCompression();
            options.keep = {m_settings->readFlag(settings::names::garderMeta),
                            m_settings->readFlag(settings::names::garderDates)};
            const SingleResult result = convertPicture(
                m_codecs->registry(), picture, m_outputSize, m_originalPath, m_readStamp, output,
                *format, options, m_settings->readNumber(settings::names::supOriginal) == 1,
                {m_settings->readFlag(settings::names::corbeille)},
                [this](const QString& path, const QString& reason) {
                    return askDeleteForGood(path, reason);
                });
            // A failed deletion of the original passes silently: the original is simply kept.
            if (!result.written())
                failure = conversionFailureText(m_originalPath, result.status);
            else if (result.originalChanged)
                kept = m_originalPath + u" : "_s + originalChangedText();
        }
    }
    if (failure)
        m_dialogs->message(*failure, morvaneTitle, DialogIcon::Critical);
    if (kept)
        m_dialogs->message(*kept, morvaneTitle, DialogIcon::Warning);
    finish(QStringLiteral("la conversion du fichier est terminée !"));
}

void ConversionController::SauverMulti()
{
    const SettingsSnapshot snapshot = m_settings->snapshot();
    const OutputFormat* format = outputFormatAt(m_panel->outputFormats()->currentIndex());
    m_lastBatch.clear();
    if (format) {
        QStringList sources;
        sources.reserve(m_workList->count());
        for (const WorkEntry& entry : m_workList->entries())
            sources.append(entry.path());
        BatchSettings settings;
        settings.repertConv = snapshot.repertConv;
        settings.convDest = snapshot.convDest;
        settings.supOriginal = snapshot.supOriginal;
        settings.jpegQuality = snapshot.qualiteJpeg;
        settings.pngCompression = snapshot.compressionPng;
        settings.maxSize = parseMaxSize(snapshot.tailleMax).value_or(QSize());
        settings.tiffWebp = snapshot.tiffWebp;
        settings.afterConversion = m_afterEachConversion;
        settings.removal.toTrash = snapshot.corbeille;
        settings.keep.metadata = snapshot.garderMeta;
        settings.keep.modificationTime = snapshot.garderDates;
        // Originals are removed on the run's thread; the question is asked on this one.
        settings.trashFallback = [this](const QString& path, const QString& reason) {
            bool deleteForGood = false;
            QMetaObject::invokeMethod(
                this, [&] { deleteForGood = askDeleteForGood(path, reason); },
                QThread::currentThread() == thread() ? Qt::DirectConnection
                                                     : Qt::BlockingQueuedConnection);
            return deleteForGood;
        };

        // The window replaces an existing output, and reports a missing source or an
        // original it could not delete with that file.
        PreflightRules rules;
        rules.missingSourceIsConflict = false;
        const std::vector<PreflightEntry> checked =
            preflightBatch(sources, *format, settings, rules);
        if (const int conflicts = conflictCount(checked)) {
            QStringList lines;
            for (const PreflightEntry& entry : checked) {
                if (!entry.conflicts.isEmpty() && lines.size() < 5)
                    lines.append(conflictLine(entry));
            }
            lines.append(u"%1 fichier(s) en conflit : rien n'a été converti."_s.arg(conflicts));
            m_dialogs->message(lines.join(u'\n'), morvaneTitle, DialogIcon::Warning);
            return;
        }

        bool cancelled = false;
        m_lastBatch = runWithProgress(sources, *format, settings, &cancelled);
        if (cancelled) {
            finishInterrupted();
            return;
        }
    }
    finish(QStringLiteral("les conversions sont terminées !"));
}

bool ConversionController::askDeleteForGood(const QString& path, const QString& reason)
{
    // The question gets the ordinary pointer; a busy one comes back afterwards.
    const bool busy = QGuiApplication::overrideCursor() != nullptr;
    if (busy)
        QGuiApplication::restoreOverrideCursor();
    const bool ok = m_dialogs->askOkCancel(fileops::trashFallbackQuestion(fileName(path), reason),
                                           morvaneTitle, DialogIcon::Question);
    if (busy)
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    return ok;
}

void ConversionController::finishInterrupted()
{
    int converted = 0;
    int skipped = 0;
    int failed = 0;
    int notStarted = 0;
    std::vector<int> kept;
    for (std::size_t row = 0; row < m_lastBatch.size(); ++row) {
        const BatchResult& result = m_lastBatch[row];
        if (result.clean()) {
            ++converted;
            continue;
        }
        if (result.outcome == BatchResult::Outcome::Skipped) {
            ++skipped;
            continue;
        }
        ++(result.outcome == BatchResult::Outcome::Cancelled ? notStarted : failed);
        kept.push_back(int(row));
    }
    m_dialogs->message(u"Conversion interrompue : %1 converti(s), %2 ignoré(s), %3 en échec, "
                       u"%4 non commencé(s)."_s.arg(converted)
                           .arg(skipped)
                           .arg(failed)
                           .arg(notStarted),
                       morvaneTitle, DialogIcon::Information);
    if (m_finish.refreshBrowseList)
        m_finish.refreshBrowseList();
    if (m_finish.keepWorkListRows)
        m_finish.keepWorkListRows(kept);
}

std::vector<BatchResult> ConversionController::runWithProgress(const QStringList& sources,
                                                               const OutputFormat& target,
                                                               const BatchSettings& settings,
                                                               bool* cancelled)
{
    const int total = int(sources.size());
    QProgressDialog progress(m_dialogParent);
    progress.setWindowTitle(morvaneTitle);
    progress.setCancelButtonText(QStringLiteral("Annuler"));
    progress.setRange(0, total);
    progress.setWindowModality(Qt::ApplicationModal); // nothing else changes the work list
    progress.setAutoClose(false);
    progress.setAutoReset(false);
    progress.setMinimumDuration(0);
    const auto showNext = [&](int done) {
        progress.setValue(done);
        const QString current = done < total ? fileName(sources[done]) : QString();
        progress.setLabelText(QStringLiteral("Conversion des fichiers : %1 / %2\n%3")
                                  .arg(done)
                                  .arg(total)
                                  .arg(current));
    };
    showNext(0);

    std::atomic<bool> cancel{false};
    connect(&progress, &QProgressDialog::canceled, &progress, [&] {
        cancel = true;
        progress.setLabelText(QStringLiteral("Arrêt après les fichiers en cours..."));
    });

    // Results come from the engine's thread in list order; each is shown on this thread, one
    // message at a time, while the engine goes on.
    QEventLoop loop;
    std::mutex mutex;
    std::deque<std::pair<int, BatchResult>> pending;
    bool engineDone = false;
    bool draining = false;
    std::function<void()> drain = [&] {
        if (draining)
            return; // a message box's own event loop; the outer drain carries on
        draining = true;
        for (;;) {
            std::optional<std::pair<int, BatchResult>> next;
            {
                const std::lock_guard lock(mutex);
                if (!pending.empty()) {
                    next = std::move(pending.front());
                    pending.pop_front();
                }
            }
            if (!next)
                break;
            const BatchResult& result = next->second;
            if (!cancel)
                showNext(next->first + 1);
            if (result.outcome == BatchResult::Outcome::Failed)
                m_dialogs->message(conversionFailureText(result.source, result.status),
                                   morvaneTitle, DialogIcon::Critical);
            if (result.deletionFailure)
                m_dialogs->message(fileops::describe(*result.deletionFailure), morvaneTitle,
                                   DialogIcon::Warning);
            if (result.originalChanged)
                m_dialogs->message(result.source + u" : "_s + originalChangedText(), morvaneTitle,
                                   DialogIcon::Warning);
        }
        draining = false;
        if (engineDone)
            loop.quit();
    };

    const CodecRegistry& registry = m_codecs->registry();
    QFutureWatcher<std::vector<BatchResult>> watcher;
    connect(&watcher, &QFutureWatcherBase::finished, &loop, [&] {
        engineDone = true;
        drain();
    });
    watcher.setFuture(QtConcurrent::run([&] {
        return runBatch(
            registry, sources, target, settings,
            [&](int index, const BatchResult& result) {
                {
                    const std::lock_guard lock(mutex);
                    pending.emplace_back(index, result);
                }
                QMetaObject::invokeMethod(
                    &loop, [&] { drain(); }, Qt::QueuedConnection);
            },
            &cancel);
    }));
    progress.show();
    loop.exec();
    *cancelled = cancel;
    return watcher.result();
}

void ConversionController::finish(const QString& completion)
{
    m_dialogs->message(completion, morvaneTitle, DialogIcon::Information);
    if (m_finish.refreshBrowseList)
        m_finish.refreshBrowseList();
    if (m_finish.emptyWorkList)
        m_finish.emptyWorkList();
}
