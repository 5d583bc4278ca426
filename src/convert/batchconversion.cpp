#include "convert/batchconversion.h"

#include "convert/conversion.h"
#include "fileops/filestamp.h"
#include "imaging/exiv.h"
#include "imaging/pictureloader.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <QThread>
#include <QThreadPool>

#include <algorithm>

#include <unistd.h>

using namespace Qt::StringLiterals;

namespace convert {

namespace {

QString folderOf(const QString& path)
{
    return path.left(path.lastIndexOf(u'/') + 1);
}

} // namespace

qint64 defaultMemoryBudget()
{
    constexpr qint64 ceiling = qint64(2) << 30;
    const long pages = ::sysconf(_SC_PHYS_PAGES);
    const long pageSize = ::sysconf(_SC_PAGESIZE);
    if (pages <= 0 || pageSize <= 0)
        return ceiling;
    return std::min(ceiling, qint64(pages) * pageSize / 4);
}

qint64 decodeCostEstimate(const QString& path)
{
    return std::max<qint64>(PictureLoader::decodeCost(path), 0);
}

bool MemoryBudget::tryTake(qint64 cost)
{
    const std::lock_guard lock(m_mutex);
    if (m_taken > 0 && m_taken + cost > m_budget)
        return false;
    m_taken += cost;
    return true;
}

void MemoryBudget::take(qint64 cost)
{
    std::unique_lock lock(m_mutex);
    m_freed.wait(lock, [&] { return m_taken == 0 || m_taken + cost <= m_budget; });
    m_taken += cost;
}

void MemoryBudget::give(qint64 cost)
{
    {
        const std::lock_guard lock(m_mutex);
        m_taken -= cost;
    }
    m_freed.notify_all();
}

QString originalChangedText()
{
    return u"modifié pendant la conversion : l'original est conservé"_s;
}

bool batchConverts(const OutputFormat& target, SourceType type)
{
    switch (type) {
    case SourceType::None:
        return false;
    case SourceType::Bmp:
        return target.code != formatCodeBmp;
    case SourceType::Png:
        return target.code != formatCodePng;
    case SourceType::Jpg:
    case SourceType::Jpeg:
        return target.code != formatCodeJpeg;
    case SourceType::Gif:
        return target.code != formatCodeGif;
    case SourceType::Ico:
        return true;
    case SourceType::Tif:
    case SourceType::Tiff:
        return target.code != formatCodeTiff;
    case SourceType::Webp:
        return target.code != formatCodeWebp;
    }
    return false;
}

QString batchOutputPath(const QString& source, SourceType type, const OutputFormat& target,
                        const BatchSettings& settings)
{
    const QString folder =
        settings.convDest ? fileops::withSlash(settings.repertConv) : folderOf(source);
    const QString name = source.mid(source.lastIndexOf(u'/') + 1);
    return folder + name.chopped(sourceTypeSuffixLength(type)) + target.batchExtension;
}

std::vector<BatchPlanItem> planBatch(const QStringList& sources, const OutputFormat& target,
                                     const BatchSettings& settings)
{
    std::vector<BatchPlanItem> plan;
    plan.reserve(std::size_t(sources.size()));
    // Output folder (as written) -> its canonical form and whether it ignores case.
    struct FolderKey
    {
        QString canonical;
        bool ignoresCase = false;
    };
    QHash<QString, FolderKey> folders;
    QHash<QString, qsizetype> taken; // output key -> planned entry
    for (const QString& source : sources) {
        BatchPlanItem item;
        item.source = source;
        item.type = sourceTypeOf(source.mid(source.lastIndexOf(u'/') + 1), settings.tiffWebp);
        item.convert = batchConverts(target, item.type);
        if (item.convert) {
            item.output = batchOutputPath(source, item.type, target, settings);
            const QString folder = folderOf(item.output);
            auto known = folders.find(folder);
            if (known == folders.end()) {
                const QString canonical = QFileInfo(folder).canonicalFilePath();
                known = folders.insert(folder,
                                       {canonical.isEmpty() ? QDir::cleanPath(folder) : canonical,
                                        folderIgnoresCase(folder)});
            }
            QString name = item.output.mid(folder.size());
            if (known->ignoresCase)
                name = name.toCaseFolded();
            const QString key = known->canonical + u'/' + name;
            if (taken.contains(key)) {
                item.convert = false;
                item.status = Status::DestinationTaken;
            } else {
                taken.insert(key, qsizetype(plan.size()));
                item.outputIsSource = fileops::sameFile(source, item.output);
            }
        }
        plan.push_back(std::move(item));
    }
    return plan;
}

std::vector<BatchResult> runBatch(const CodecRegistry& registry, const QStringList& sources,
                                  const OutputFormat& target, const BatchSettings& settings,
                                  const std::function<void(int, const BatchResult&)>& onResult,
                                  const std::atomic<bool>* cancel)
{
    imaging::initializeExiv2(); // before the workers
    const std::vector<BatchPlanItem> plan = planBatch(sources, target, settings);
    const std::size_t count = plan.size();
    std::vector<BatchResult> results(count);
    // What each source was when it was read; its deletion needs the same file still there.
    std::vector<std::optional<fileops::FileStamp>> stamps(count);
    std::vector<char> done(count, 0);
    std::mutex mutex;
    std::condition_variable finished;
    MemoryBudget memory(settings.memoryBudget > 0 ? settings.memoryBudget : defaultMemoryBudget());
    const ConvertOptions options{settings.jpegQuality, settings.pngCompression, settings.maxSize,
                                 settings.keep};

    QSet<QString> outputFolders;
    for (const BatchPlanItem& item : plan) {
        if (item.convert)
            outputFolders.insert(folderOf(item.output));
    }
    for (const QString& folder : std::as_const(outputFolders))
        removeStaleStaging(folder);

    QThreadPool pool;
    // One thread more than cores: while a worker waits for its file to reach the disk, the
    // others keep every core busy.
    pool.setMaxThreadCount(settings.threads > 0 ? settings.threads
                                                : QThread::idealThreadCount() + 1);
    for (std::size_t index = 0; index < count; ++index) {
        const BatchPlanItem& item = plan[index];
        BatchResult& result = results[index];
        result.source = item.source;
        result.output = item.output;
        if (!item.convert) {
            result.status = item.status;
            result.outcome = item.status == Status::Ok ? BatchResult::Outcome::Skipped
                                                       : BatchResult::Outcome::Failed;
            done[index] = 1;
            continue;
        }
        pool.start([&, index] {
            BatchResult& own = results[index];
            const qint64 cost = cancel && cancel->load() ? 0 : decodeCostEstimate(own.source);
            memory.take(cost);
            if (cancel && cancel->load()) {
                own.outcome = BatchResult::Outcome::Cancelled;
            } else {
                stamps[index] = fileops::stampOf(own.source);
                own.status = convertFile(registry, own.source, own.output, target.code, options,
                                         settings.replaceExisting ? WriteMode::Replace
                                                                  : WriteMode::NoReplace,
                                         &own.warning);
                own.outcome = own.status == Status::Ok ? BatchResult::Outcome::Converted
                                                       : BatchResult::Outcome::Failed;
            }
            memory.give(cost);
            if (settings.afterConversion && own.outcome != BatchResult::Outcome::Cancelled)
                settings.afterConversion(int(index));
            const std::lock_guard lock(mutex);
            done[index] = 1;
            finished.notify_all();
        });
    }

    // Deletions and reports follow the work list, whatever order the workers finish in.
    for (std::size_t index = 0; index < count; ++index) {
        {
            std::unique_lock lock(mutex);
            finished.wait(lock, [&] { return done[index] != 0; });
        }
        BatchResult& result = results[index];
        if (result.outcome == BatchResult::Outcome::Converted && settings.supOriginal == 1 &&
            !plan[index].outputIsSource) {
            if (!stamps[index] || !fileops::unchangedSince(result.source, *stamps[index])) {
                result.originalChanged = true;
            } else {
                const auto fallback = [&](const QString& path, const QString& reason) {
                    if (settings.trashFallback)
                        return settings.trashFallback(path, reason);
                    result.trashFailure = reason;
                    return false;
                };
                const fileops::RemovalResult removed =
                    fileops::removeOrTrash(result.source, settings.removal, fallback);
                result.originalDeleted = removed.removal == fileops::Removal::Deleted ||
                                         removed.removal == fileops::Removal::Trashed;
                if (!removed.ok())
                    result.deletionFailure = removed.failure;
            }
        }
        if (onResult)
            onResult(int(index), result);
    }
    pool.waitForDone();
    return results;
}

} // namespace convert
