#include "rename/newnamepreview.h"

#include "fileops/fileops.h"
#include "lists/worklistmodel.h"
#include "rename/filetimes.h"
#include "rename/nameforms.h"
#include "rename/namerule.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFutureWatcher>
#include <QHash>
#include <QMutex>
#include <QTimer>
#include <QtConcurrent/QtConcurrentMap>
#include <QtConcurrent/QtConcurrentRun>

#include <algorithm>
#include <limits>
#include <optional>
#include <unordered_map>
#include <unordered_set>

#include <sys/stat.h>
#include <unistd.h>

namespace renaming {

namespace {

// Whether the rename run would refuse to start with these fields (its checks before the
// confirmation): it then gives no names at all.
bool runRefuses(const RenameOptions& options, std::size_t count)
{
    if (options.form == textForm && options.nameText.isEmpty())
        return true;
    const NameForm* form = nameForm(options.form);
    if (!form)
        return true;
    if (form->usesNumber && count > 1) {
        long long start = 0;
        return !readsAsNumber(options.start, &start) ||
               start > std::numeric_limits<long long>::max() - static_cast<long long>(count - 1);
    }
    return false;
}

bool stopped(const std::atomic<bool>* stop)
{
    return stop && stop->load(std::memory_order_relaxed);
}

// The files' times, read on every core: each is a system call, and with the date taken a
// header read and decoded, worth far more than the thread hand-over. nullopt where a file
// cannot be read.
std::vector<std::optional<FileTime>> readTimes(const ColumnRequest& request,
                                               const std::atomic<bool>* stop)
{
    const std::size_t count = request.entries.size();
    const std::size_t chunk = request.options.dateTaken ? 256 : 8192;
    std::vector<std::optional<FileTime>> times(count);
    std::vector<std::size_t> starts;
    for (std::size_t from = 0; from < count; from += chunk)
        starts.push_back(from);
    QtConcurrent::blockingMap(starts, [&](std::size_t from) {
        FileTimes reader(request.options.dateTaken);
        FileTime time;
        for (std::size_t i = from; i < std::min(from + chunk, count) && !stopped(stop); ++i) {
            const WorkEntry& entry = request.entries[i];
            if (reader.read(entry.folder, entry.name, &time).ok())
                times[i] = time;
        }
    });
    return times;
}

void renameNames(const ColumnRequest& request, ColumnNames& out, const std::atomic<bool>* stop)
{
    const RenameOptions& options = request.options;
    const std::size_t count = request.entries.size();
    if (runRefuses(options, count))
        return;
    const NameForm* form = nameForm(options.form);
    long long number = 0;
    const bool numeric = readsAsNumber(options.start, &number);
    NameInput input{{},
                    options.form,
                    options.nameText,
                    options.start,
                    options.format,
                    static_cast<int>(count),
                    request.clock,
                    {},
                    options.dateOrder};
    std::vector<std::optional<FileTime>> times;
    if (form->usesFileTime) {
        times = readTimes(request, stop);
        // A newer request stopped the reading: these names are dropped anyway.
        if (stopped(stop))
            return;
    }
    for (std::size_t i = 0; i < count; ++i) {
        const WorkEntry& entry = request.entries[i];
        input.name = entry.name;
        if (numeric && form->usesNumber)
            input.number = QString::number(number + static_cast<long long>(i));
        if (form->usesFileTime) {
            if (!times[i])
                continue; // the run tells why; the column shows no name
            input.fileTime = times[i]->wallClock;
        }
        NameResult made = newName(input);
        if (!made.ok()) {
            out.marks[i] = NameMark::Incorrect;
            continue;
        }
        out.names[i] = std::move(made.name);
        if (form->usesFileTime && times[i]->noDateTaken)
            out.marks[i] = NameMark::NoDateTaken;
    }
}

void conversionNames(const ColumnRequest& request, ColumnNames& out)
{
    if (!request.format)
        return;
    for (std::size_t i = 0; i < request.entries.size(); ++i) {
        const WorkEntry& entry = request.entries[i];
        const convert::SourceType type = convert::sourceTypeOf(entry.name, request.batch.tiffWebp);
        if (!convert::batchConverts(*request.format, type))
            continue;
        const QString output =
            convert::batchOutputPath(entry.path(), type, *request.format, request.batch);
        out.names[i] = output.mid(output.lastIndexOf(QLatin1Char('/')) + 1);
    }
}

// The letter-case rule of a folder, probed once per folder for the program's life: the
// probe writes a file, and the column is refreshed at every pause in typing.
bool ignoresCase(const QString& canonicalFolder)
{
    static QMutex mutex;
    static QHash<QString, bool> known;
    {
        const QMutexLocker lock(&mutex);
        const auto found = known.constFind(canonicalFolder);
        if (found != known.constEnd())
            return *found;
    }
    const bool ignores = fileops::folderIgnoresCase(canonicalFolder);
    const QMutexLocker lock(&mutex);
    known.insert(canonicalFolder, ignores);
    return ignores;
}

struct TextHash
{
    std::size_t operator()(const QString& text) const noexcept { return qHash(text); }
};

// What the marks need to know of a folder, asked of the disk once per folder text.
struct FolderInfo
{
    QString key; // canonical path, or the cleaned absolute path of a missing folder
    bool exists = false;
    bool ignoresCase = false;
    long nameMax = 255;
};

class Folders
{
public:
    const FolderInfo& info(const QString& text)
    {
        if (m_last && m_lastText == text)
            return *m_last;
        auto found = m_known.find(text);
        if (found == m_known.end())
            found = m_known.emplace(text, examine(text)).first;
        m_lastText = text;
        m_last = &found->second;
        return *m_last;
    }

private:
    static FolderInfo examine(const QString& text)
    {
        const QString folder = text.isEmpty() ? QStringLiteral("./") : text;
        FolderInfo info;
        const QString canonical = QFileInfo(folder).canonicalFilePath();
        info.key =
            canonical.isEmpty() ? QDir::cleanPath(QFileInfo(folder).absoluteFilePath()) : canonical;
        struct stat st;
        const QByteArray native = QFile::encodeName(folder);
        info.exists = ::stat(native.constData(), &st) == 0 && S_ISDIR(st.st_mode);
        if (info.exists) {
            info.ignoresCase = ignoresCase(info.key);
            const long nameMax = ::pathconf(native.constData(), _PC_NAME_MAX);
            if (nameMax > 0)
                info.nameMax = nameMax;
        }
        return info;
    }

    std::unordered_map<QString, FolderInfo, TextHash> m_known;
    QString m_lastText;
    const FolderInfo* m_last = nullptr;
};

// A name as its folder compares it.
QString keyOf(const FolderInfo& folder, const QString& name)
{
    return folder.key + QLatin1Char('/') + (folder.ignoresCase ? name.toCaseFolded() : name);
}

void markRename(const ColumnRequest& request, ColumnNames& out, const std::atomic<bool>* stop)
{
    const std::size_t count = request.entries.size();
    const QString dest =
        request.options.dest.isEmpty() ? QString() : fileops::withSlash(request.options.dest);
    Folders folders;
    // The list's files by the name they have now, and the names they are given.
    std::unordered_map<QString, std::size_t, TextHash> current;
    std::unordered_map<QString, std::size_t, TextHash> given;
    current.reserve(count);
    given.reserve(count);
    std::vector<QString> ownKeys(count);
    std::vector<QString> targetKeys(count);
    for (std::size_t i = 0; i < count; ++i) {
        if (stopped(stop))
            return;
        const WorkEntry& entry = request.entries[i];
        ownKeys[i] = keyOf(folders.info(entry.folder), entry.name);
        current.emplace(ownKeys[i], i);
    }
    for (std::size_t i = 0; i < count; ++i) {
        if (stopped(stop))
            return;
        const QString& name = out.names[i];
        if (name.isEmpty())
            continue;
        const FolderInfo& target = folders.info(dest.isEmpty() ? request.entries[i].folder : dest);
        if (QFile::encodeName(name).size() > target.nameMax) {
            out.marks[i] = NameMark::Refused;
            continue;
        }
        targetKeys[i] = keyOf(target, name);
        const auto [first, inserted] = given.emplace(targetKeys[i], i);
        if (!inserted) {
            out.marks[i] = NameMark::GivenTwice;
            if (!blocksRun(out.marks[first->second]))
                out.marks[first->second] = NameMark::GivenTwice;
        }
    }
    // The copies the run keeps hold the old names: in the file's folder, or in the
    // destination folder when the file leaves its own.
    std::unordered_set<QString, TextHash> copies;
    const KeepCopy keep = request.options.keep;
    for (std::size_t j = 0; keep != KeepCopy::None && j < count; ++j) {
        if (targetKeys[j].isEmpty() || targetKeys[j] == ownKeys[j])
            continue;
        const WorkEntry& entry = request.entries[j];
        const QString ownFolder = folders.info(entry.folder).key;
        const FolderInfo& target = folders.info(dest.isEmpty() ? entry.folder : dest);
        copies.insert(keep == KeepCopy::Dest && ownFolder != target.key ? keyOf(target, entry.name)
                                                                        : ownKeys[j]);
    }
    // A name found on disk is free only when the file of the list holding it is renamed away
    // (or is the entry itself, a change of letter case).
    for (std::size_t i = 0; i < count; ++i) {
        if (stopped(stop))
            return;
        if (blocksRun(out.marks[i]) || targetKeys[i].isEmpty() || targetKeys[i] == ownKeys[i])
            continue;
        if (copies.contains(targetKeys[i])) {
            out.marks[i] = NameMark::Taken;
            continue;
        }
        const QString folder = dest.isEmpty() ? request.entries[i].folder : dest;
        struct stat st;
        if (::lstat(QFile::encodeName(folder + out.names[i]).constData(), &st) != 0)
            continue;
        const auto holder = current.find(targetKeys[i]);
        const std::size_t j = holder == current.end() ? count : holder->second;
        const bool renamedAway =
            j < count && (j == i || (!targetKeys[j].isEmpty() && targetKeys[j] != ownKeys[j]));
        if (!renamedAway)
            out.marks[i] = NameMark::Taken;
    }
}

void markConversion(const ColumnRequest& request, ColumnNames& out)
{
    if (!request.format)
        return;
    QStringList sources;
    sources.reserve(static_cast<qsizetype>(request.entries.size()));
    for (const WorkEntry& entry : request.entries)
        sources.append(entry.path());
    const std::vector<convert::BatchPlanItem> plan =
        convert::planBatch(sources, *request.format, request.batch);
    for (std::size_t i = 0; i < plan.size() && i < out.names.size(); ++i) {
        if (plan[i].status == convert::Status::DestinationTaken) {
            out.names[i].clear();
            out.marks[i] = NameMark::GivenTwice;
        }
    }
}

std::vector<QString> markTexts(const std::vector<NameMark>& marks)
{
    std::vector<QString> texts(marks.size());
    for (std::size_t i = 0; i < marks.size(); ++i) {
        if (marks[i] != NameMark::None)
            texts[i] = nameMarkText(marks[i]);
    }
    return texts;
}

} // namespace

QString nameMarkText(NameMark mark)
{
    switch (mark) {
    case NameMark::None:
        return {};
    case NameMark::Taken:
        return QStringLiteral("Nom déjà pris");
    case NameMark::GivenTwice:
        return QStringLiteral("Nom donné deux fois");
    case NameMark::Refused:
        return QStringLiteral("Nom refusé par le système de fichiers");
    case NameMark::Incorrect:
        return QStringLiteral("Nom de fichier incorrect");
    case NameMark::NoDateTaken:
        return QStringLiteral("pas de date de prise de vue : date de modification utilisée");
    }
    return {};
}

bool blocksRun(NameMark mark)
{
    return mark != NameMark::None && mark != NameMark::NoDateTaken;
}

bool namesReadDisk(const ColumnRequest& request)
{
    if (request.conversion)
        return false;
    const NameForm* form = nameForm(request.options.form);
    return form && form->usesFileTime;
}

ColumnNames columnNames(const ColumnRequest& request, const std::atomic<bool>* stop)
{
    ColumnNames out;
    out.names.resize(request.entries.size());
    out.marks.resize(request.entries.size(), NameMark::None);
    if (request.conversion)
        conversionNames(request, out);
    else
        renameNames(request, out, stop);
    return out;
}

void markNames(const ColumnRequest& request, ColumnNames& names, const std::atomic<bool>* stop)
{
    if (request.conversion)
        markConversion(request, names);
    else
        markRename(request, names, stop);
}

NewNamePreview::NewNamePreview(WorkListModel* model, Source source, QObject* parent)
    : QObject(parent), m_model(model), m_source(std::move(source)),
      m_marker([](const ColumnRequest& request, ColumnNames& names, const std::atomic<bool>* stop) {
          markNames(request, names, stop);
      }),
      m_timer(new QTimer(this))
{
    m_timer->setSingleShot(true);
    m_timer->setInterval(delayMs);
    connect(m_timer, &QTimer::timeout, this, &NewNamePreview::refresh);
}

NewNamePreview::~NewNamePreview()
{
    if (m_stop)
        *m_stop = true;
}

void NewNamePreview::schedule()
{
    m_timer->start();
}

void NewNamePreview::refresh()
{
    m_timer->stop();
    if (m_stop)
        *m_stop = true;
    m_stop = std::make_shared<std::atomic<bool>>(false);
    const std::uint64_t generation = ++m_generation;
    ColumnRequest request = m_source();
    const bool onWorker = namesReadDisk(request);
    ColumnNames names;
    if (!onWorker) {
        names = columnNames(request);
        show(generation, names, false);
    } else {
        // The names of other fields must not stand in for these until they come.
        const std::size_t count = request.entries.size();
        m_model->setNewNames(std::vector<QString>(count));
        m_model->setNameMarks(std::vector<QString>(count));
    }

    auto* watcher = new QFutureWatcher<ColumnNames>(this);
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher, generation] {
        watcher->deleteLater();
        // A result made for an earlier refresh is dropped.
        if (generation == m_generation)
            show(generation, watcher->result(), true);
    });
    watcher->setFuture(QtConcurrent::run([request = std::move(request), names = std::move(names),
                                          onWorker, marker = m_marker, stop = m_stop]() mutable {
        if (onWorker)
            names = columnNames(request, stop.get());
        if (!stop->load())
            marker(request, names, stop.get());
        return names;
    }));
}

void NewNamePreview::show(std::uint64_t generation, ColumnNames names, bool withMarks)
{
    // A list changed since the request gives another count: its own refresh follows.
    if (!m_model->setNewNames(std::move(names.names)))
        return;
    if (withMarks) {
        m_model->setNameMarks(markTexts(names.marks));
        Q_EMIT marksShown(generation);
    } else {
        Q_EMIT namesShown(generation);
    }
}

} // namespace renaming
