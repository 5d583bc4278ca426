#pragma once

#include "convert/codecregistry.h"
#include "convert/outputformats.h"
#include "convert/status.h"

#include "fileops/fileops.h"

#include <QString>
#include <QStringList>

#include <atomic>
#include <functional>
#include <optional>
#include <vector>

namespace convert {

// The settings of one batch run, read once by the caller before it starts.
struct BatchSettings
{
    QString repertConv;        // the conversion folder
    bool convDest = false;     // true: outputs go to the conversion folder
    long long supOriginal = 0; // 1: delete each converted original
    int jpegQuality = conversionJpegQuality;
    int threads = 0; // worker threads; 0 picks one per core, plus one to cover file syncs
    // false: an output that exists when it is about to be put in place is never replaced;
    // the entry fails with Status::DestinationExists and nothing is written.
    bool replaceExisting = true;
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
// type except the target's own (JPG and JPEG for the JPEG target) and none.
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
};

// Converts every planned entry, several at once, and returns one result per source in
// work-list order. Each original is deleted (supOriginal 1, output written, another file)
// and `onResult` is called on the calling thread in work-list order, as soon as the entry
// and every entry before it are done. Once `cancel` is set, entries not yet started are
// not converted (Outcome::Cancelled); those in progress finish.
std::vector<BatchResult>
runBatch(const CodecRegistry& registry, const QStringList& sources, const OutputFormat& target,
         const BatchSettings& settings,
         const std::function<void(int index, const BatchResult& result)>& onResult = {},
         const std::atomic<bool>* cancel = nullptr);

} // namespace convert
