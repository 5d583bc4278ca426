#pragma once

#include "convert/atomicfile.h"
#include "convert/codecregistry.h"
#include "convert/conversion.h"
#include "convert/outputformats.h"
#include "imaging/status.h"

#include "fileops/fileactions.h"
#include "fileops/fileops.h"

#include <QSize>
#include <QString>
#include <QStringList>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <vector>

namespace convert {

// The settings of one batch run, read once by the caller before it starts.
struct BatchSettings
{
    QString repertConv;                      // the conversion folder
    bool convDest = false;                   // true: outputs go to the conversion folder
    long long supOriginal = 0;               // 1: delete each converted original
    int jpegQuality = conversionJpegQuality; // JPEG and WebP
    int pngCompression = defaultPngCompression;
    QSize maxSize;         // larger pictures are scaled down into it; empty: none is scaled
    bool tiffWebp = false; // TIFF and WebP files are sources too
    int threads = 0;       // worker threads; 0 picks one per core, plus one to cover file syncs
    // false: an output that exists when it is about to be put in place is never replaced;
    // the entry fails with Status::DestinationExists and nothing is written.
    bool replaceExisting = true;
    // Bytes the decoded pictures of the conversions running at once may take together; 0
    // picks defaultMemoryBudget(). One conversion always runs, whatever its size.
    qint64 memoryBudget = 0;
    // Called on the worker once entry `index` is converted, before its original may be
    // deleted. Only tests set it, to change a source between its reading and its deletion.
    std::function<void(int index)> afterConversion;
    // How originals go: deleted for good, or to the Trash; where the Trash cannot take one,
    // `trashFallback` (called on the thread of runBatch) decides, and without it the original
    // is kept (BatchResult::trashFailure says why).
    fileops::RemoveOptions removal;
    fileops::TrashFallback trashFallback;
    // What each output takes from its source besides the pixels (metadata, file date).
    SourceKeeping keep;
};

// min(2 GiB, a quarter of the physical memory).
qint64 defaultMemoryBudget();

// What decoding `path` is expected to take, from its header alone: width * height * 4
// bytes; 0 when the header cannot be read (the load then fails quickly).
qint64 decodeCostEstimate(const QString& path);

// Holds conversions back while those running would take more than the budget together.
// One taker always passes when nothing is taken, so a picture over the budget still runs.
class MemoryBudget
{
public:
    explicit MemoryBudget(qint64 budget) : m_budget(budget) {}
    // Takes `cost` if it fits now (or nothing is taken); false otherwise.
    bool tryTake(qint64 cost);
    // Takes `cost`, waiting until it fits.
    void take(qint64 cost);
    void give(qint64 cost);

private:
    std::mutex m_mutex;
    std::condition_variable m_freed;
    qint64 m_budget;
    qint64 m_taken = 0;
};

// What the run does with one entry, decided before any file is converted.
struct BatchPlanItem
{
    QString source;
    SourceType type = SourceType::None;
    QString output;              // empty for a skipped entry
    bool convert = false;        // false: skipped (target type or no source type)
    Status status = Status::Ok;  // DestinationTaken when an earlier entry writes `output`
    bool outputIsSource = false; // same file by identity: the original is never deleted
};

// Whether the batch conversion to `target` converts a source of type `type`: every source
// type except the target's own (JPG and JPEG for the JPEG target, TIF and TIFF for the TIFF
// target) and none.
bool batchConverts(const OutputFormat& target, SourceType type);

// The output path of `source` in the batch conversion: the output folder, the name less its
// source-type suffix, the target's extension in capitals.
QString batchOutputPath(const QString& source, SourceType type, const OutputFormat& target,
                        const BatchSettings& settings);

using fileops::folderIgnoresCase;

// Plans the run in work-list order. Two entries that would write the same output (the same
// path, or a path that differs only in letter case in a folder that ignores case) are not
// both converted: the later one gets Status::DestinationTaken and writes nothing.
std::vector<BatchPlanItem> planBatch(const QStringList& sources, const OutputFormat& target,
                                     const BatchSettings& settings);

struct BatchResult
{
    enum class Outcome
    {
        Converted,
        Skipped,
        Failed,
        Cancelled, // not started because the run was cancelled
    };
    QString source;
    QString output;
    Outcome outcome = Outcome::Skipped;
    Status status = Status::Ok;
    bool originalDeleted = false;
    std::optional<fileops::FileResult> deletionFailure;
    // The source path no longer held the file that was read (saved anew, replaced) when its
    // deletion came: it was kept, and the entry counts as failed.
    bool originalChanged = false;
    // The original was to go to the Trash, which could not take it: why (it is kept).
    QString trashFailure;
    // Converted, but something of the source was not carried over (unreadable metadata).
    QString warning;
    // Converted, and the original deleted when that was asked: nothing left to report.
    bool clean() const
    {
        return outcome == Outcome::Converted && !deletionFailure && !originalChanged &&
               trashFailure.isEmpty();
    }
};

// Why an original was kept although its deletion was asked, in the engine's words.
QString originalChangedText();

// Converts every planned entry, several at once, and returns one result per source in
// work-list order. Each original is deleted (supOriginal 1, output written, another file,
// and its path still holds the very file that was read: same device, inode, size and
// modification time; a link is deleted as a link) and `onResult` is called on the calling thread in
// work-list order, as soon as the entry and every entry before it are done. Once `cancel` is set,
// entries not yet started are not converted (Outcome::Cancelled); those in progress finish. Decodes
// wait for the memory budget; stale staging files of killed runs are removed from the output
// folders first.
std::vector<BatchResult>
runBatch(const CodecRegistry& registry, const QStringList& sources, const OutputFormat& target,
         const BatchSettings& settings,
         const std::function<void(int index, const BatchResult& result)>& onResult = {},
         const std::atomic<bool>* cancel = nullptr);

} // namespace convert
