#include "rename/renamejournal.h"

#include <QDir>
#include <QFile>
#include <QHash>

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <unordered_map>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace renaming {

namespace {

constexpr int keptJournals = 20;
// The first form wrote every path whole on each line; the second writes each folder once.
const QByteArray firstHeader = "morvane-rename 1";
const QByteArray header = "morvane-rename 2";

// Whether a byte is written as it is in a journal field: the unreserved ones and '/', as
// QByteArray::toPercentEncoding("/") leaves them.
constexpr bool keptAsIs(unsigned char u)
{
    return (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9') || u == '-' ||
           u == '.' || u == '_' || u == '~' || u == '/';
}

constexpr std::array<bool, 128> asciiKeptAsIs = [] {
    std::array<bool, 128> table{};
    for (unsigned char u = 0; u < 128; ++u)
        table[u] = keptAsIs(u);
    return table;
}();

constexpr char hexDigits[] = "0123456789ABCDEF";

char* writeEscaped(char* to, unsigned char u)
{
    *to++ = '%';
    *to++ = hexDigits[u >> 4];
    *to++ = hexDigits[u & 0xF];
    return to;
}

// Writes a path as a journal field at `to`, at most three bytes for each byte of `bytes`:
// every byte but the unreserved ones and '/' is written %XX (read back by pathField()).
char* writeField(char* to, const QByteArray& bytes)
{
    for (const char c : bytes) {
        const auto u = static_cast<unsigned char>(c);
        if (keptAsIs(u))
            *to++ = c;
        else
            to = writeEscaped(to, u);
    }
    return to;
}

// writeField() of the path's file-system bytes straight from its text where it is ASCII (the
// bytes are then the text's own); nullptr, with nothing of use written, where it is not.
char* writeAsciiField(char* to, QStringView path)
{
    const char16_t* from = path.utf16();
    const qsizetype size = path.size();
    char16_t all = 0;
    for (qsizetype i = 0; i < size; ++i)
        all |= from[i];
    if (all >= 0x80)
        return nullptr;
    for (qsizetype i = 0; i < size; ++i) {
        const char16_t u = from[i];
        if (asciiKeptAsIs[u])
            *to++ = static_cast<char>(u);
        else
            to = writeEscaped(to, static_cast<unsigned char>(u));
    }
    return to;
}

char* writeNumber(char* to, long long value)
{
    return std::to_chars(to, to + 20, value).ptr;
}

char* writeNumber(char* to, unsigned long long value)
{
    return std::to_chars(to, to + 20, value).ptr;
}

// Writes a whole path as a journal field.
char* writeWhole(char* to, const QString& path)
{
    return writeField(to, QFile::encodeName(path));
}

QString absolute(const QString& path)
{
    // An absolute path is kept as written: undo compares the paths of one journal as text.
    return path.startsWith(QLatin1Char('/'))
               ? path
               : QDir::cleanPath(QDir::currentPath() + QLatin1Char('/') + path);
}

// The length of absolute(path) at most.
qsizetype absoluteSize(const QString& path)
{
    if (path.isEmpty() || path.startsWith(QLatin1Char('/')))
        return path.size();
    return QDir::currentPath().size() + 1 + path.size();
}

// The file lines of a journal. Each folder is written once, on an "in" line (the folder of
// the files that follow, and of their new names) or a "to" line (the folder of the new names
// only); the device of the identities that follow on an "on" line. A file line then holds
//   <entry, as a step from the one before> <inode, as a difference from the one before>
//   <old name> <new name> [<kept copy>]
// where a name is relative to its folder, or a whole path (it starts with '/') where it is
// not ASCII. The kept copy is "=" for one in the file's own folder (its old path, and that
// path followed by "Temp" while the run goes), "+" for one under the old name in the new
// name's folder, else its two whole paths ('-' for none).
class EntryWriter
{
public:
    // Appends the lines of the entry numbered `index` of the plan to `text`.
    void append(QByteArray& text, std::size_t index, const PlannedRename& entry)
    {
        const QString source = absolute(entry.source);
        const QString target = absolute(entry.target);
        // A UTF-16 unit is at most three bytes, each written in at most three.
        const qsizetype room =
            160 + 9 * (2 * source.size() + 2 * target.size() + absoluteSize(entry.copyPath) +
                       absoluteSize(entry.copyTemporary));
        const qsizetype start = text.size();
        text.resize(start + room);
        char* end = write(text.data() + start, index, entry, source, target);
        text.truncate(end - text.constData());
    }

private:
    char* write(char* to, std::size_t index, const PlannedRename& entry, const QString& source,
                const QString& target)
    {
        const qsizetype sourceSlash = source.lastIndexOf(QLatin1Char('/'));
        const qsizetype targetSlash = target.lastIndexOf(QLatin1Char('/'));
        const QStringView sourceFolder = QStringView(source).left(sourceSlash + 1);
        const QStringView targetFolder = QStringView(target).left(targetSlash + 1);
        if (!m_started || sourceFolder != QStringView(m_in)) {
            m_in = sourceFolder.toString();
            m_to = m_in;
            to = writeFolder(to, "in ", m_in);
        }
        if (targetFolder != QStringView(m_to)) {
            m_to = targetFolder.toString();
            to = writeFolder(to, "to ", m_to);
        }
        if (!m_started || entry.identity->device != m_device) {
            m_device = entry.identity->device;
            to = std::copy_n("on ", 3, to);
            to = writeNumber(to, static_cast<unsigned long long>(m_device));
            *to++ = '\n';
        }
        m_started = true;
        to = writeNumber(to, static_cast<long long>(index - m_index));
        *to++ = ' ';
        // Wraps around as the inode does: read back the same way.
        to = writeNumber(to, static_cast<long long>(entry.identity->inode - m_inode));
        m_index = index;
        m_inode = entry.identity->inode;
        *to++ = ' ';
        to = writeName(to, source, sourceSlash);
        *to++ = ' ';
        to = writeName(to, target, targetSlash);
        to = writeCopy(to, entry);
        *to++ = '\n';
        return to;
    }

    static char* writeFolder(char* to, const char (&word)[4], const QString& folder)
    {
        to = std::copy_n(word, 3, to);
        to = writeWhole(to, folder);
        *to++ = '\n';
        return to;
    }

    static char* writeName(char* to, const QString& path, qsizetype slash)
    {
        if (char* end = writeAsciiField(to, QStringView(path).mid(slash + 1)))
            return end;
        return writeWhole(to, path);
    }

    static char* writeCopy(char* to, const PlannedRename& entry)
    {
        if (entry.copyPath.isEmpty() && entry.copyTemporary.isEmpty())
            return to;
        *to++ = ' ';
        const QStringView source(entry.source);
        const QStringView target(entry.target);
        const QStringView name = source.mid(source.lastIndexOf(QLatin1Char('/')) + 1);
        const QStringView targetFolder = target.left(target.lastIndexOf(QLatin1Char('/')) + 1);
        const QStringView copy(entry.copyPath);
        const QStringView temporary(entry.copyTemporary);
        if (copy == source && temporary.size() == source.size() + 4 &&
            temporary.startsWith(source) && temporary.endsWith(u"Temp")) {
            *to++ = '=';
        } else if (temporary.isEmpty() && copy.size() == targetFolder.size() + name.size() &&
                   copy.startsWith(targetFolder) && copy.endsWith(name)) {
            *to++ = '+';
        } else {
            if (copy.isEmpty())
                *to++ = '-';
            else
                to = writeWhole(to, absolute(entry.copyPath));
            *to++ = ' ';
            if (temporary.isEmpty())
                *to++ = '-';
            else
                to = writeWhole(to, absolute(entry.copyTemporary));
        }
        return to;
    }

    bool m_started = false;
    QString m_in;
    QString m_to;
    dev_t m_device = 0;
    std::size_t m_index = static_cast<std::size_t>(-1);
    ino_t m_inode = 0;
};

QString pathField(const QByteArray& text)
{
    if (text == "-")
        return {};
    return QFile::decodeName(QByteArray::fromPercentEncoding(text));
}

QString folderOf(const QString& path)
{
    return path.left(path.lastIndexOf(QLatin1Char('/')) + 1);
}

QByteArray identityFields(const fileops::FileIdentity& id)
{
    return QByteArray::number(static_cast<qulonglong>(id.device)) + ' ' +
           QByteArray::number(static_cast<qulonglong>(id.inode));
}

bool writeAll(int fd, const QByteArray& data)
{
    qsizetype written = 0;
    while (written < data.size()) {
        const ssize_t n = ::write(fd, data.constData() + written,
                                  static_cast<std::size_t>(data.size() - written));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        written += n;
    }
    return true;
}

bool syncFolder(const QString& folder)
{
    const int fd =
        ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}

// One file of a journal as read back.
struct Record
{
    QString source;
    QString target;
    QString copyPath;
    QString copyTemporary;
    fileops::FileIdentity identity;
    std::optional<fileops::FileIdentity> copy;
    bool movedAcross = false;
};

struct Journal
{
    QDateTime started;
    qint64 pid = 0;
    std::vector<Record> records;
    QByteArray end; // the word of the last "end" line
};

fileops::FileIdentity identityAt(const QList<QByteArray>& f, qsizetype at)
{
    return {static_cast<dev_t>(f[at].toULongLong()), static_cast<ino_t>(f[at + 1].toULongLong())};
}

// The file lines of the second form, read back with the folders, device, entry and inode
// they are written against.
class EntryReader
{
public:
    // Reads an "in", "to" or "on" line, or a file line (the caller knows it by its first
    // digit) into `record`; false for a line of neither kind.
    bool read(const QList<QByteArray>& f, Record& record, int& entry)
    {
        if (f.first() == "in" && f.size() >= 2) {
            m_in = QByteArray::fromPercentEncoding(f[1]);
            m_to = m_in;
            return false;
        }
        if (f.first() == "to" && f.size() >= 2) {
            m_to = QByteArray::fromPercentEncoding(f[1]);
            return false;
        }
        if (f.first() == "on" && f.size() >= 2) {
            m_device = static_cast<dev_t>(f[1].toULongLong());
            return false;
        }
        if (f.size() < 4 || !std::isdigit(static_cast<unsigned char>(f.first().front())))
            return false;
        m_entry += f[0].toLongLong();
        m_inode += static_cast<ino_t>(f[1].toLongLong());
        entry = static_cast<int>(m_entry);
        record.identity = {m_device, m_inode};
        record.source = path(m_in, f[2]);
        record.target = path(m_to, f[3]);
        if (f.size() >= 5 && f[4] == "=") {
            record.copyPath = record.source;
            record.copyTemporary = record.source + QStringLiteral("Temp");
        } else if (f.size() >= 5 && f[4] == "+") {
            record.copyPath = folderOf(record.target) +
                              record.source.mid(record.source.lastIndexOf(QLatin1Char('/')) + 1);
        } else if (f.size() >= 6) {
            record.copyPath = pathField(f[4]);
            record.copyTemporary = pathField(f[5]);
        }
        return true;
    }

private:
    static QString path(const QByteArray& folder, const QByteArray& field)
    {
        const QByteArray bytes = QByteArray::fromPercentEncoding(field);
        return QFile::decodeName(bytes.startsWith('/') ? bytes : folder + bytes);
    }

    QByteArray m_in;
    QByteArray m_to;
    dev_t m_device = 0;
    long long m_entry = -1;
    ino_t m_inode = 0;
};

std::optional<Journal> readJournal(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QList<QByteArray> lines = file.readAll().split('\n');
    if (lines.isEmpty() || (lines.first() != header && lines.first() != firstHeader))
        return std::nullopt;
    const bool firstForm = lines.first() == firstHeader;
    Journal journal;
    std::unordered_map<int, std::size_t> byEntry;
    EntryReader entries;
    for (const QByteArray& line : lines) {
        if (line.isEmpty())
            continue;
        const QList<QByteArray> f = line.split(' ');
        Record record;
        int entry = 0;
        if (!firstForm && entries.read(f, record, entry)) {
            byEntry[entry] = journal.records.size();
            journal.records.push_back(std::move(record));
        } else if (f.first() == "started" && f.size() >= 3) {
            journal.started = QDateTime::fromString(QString::fromLatin1(f[1]), Qt::ISODate);
            journal.pid = f[2].toLongLong();
        } else if (firstForm && f.first() == "file" && f.size() >= 8) {
            record.identity = identityAt(f, 2);
            record.source = pathField(f[4]);
            record.target = pathField(f[5]);
            record.copyPath = pathField(f[6]);
            record.copyTemporary = pathField(f[7]);
            byEntry[f[1].toInt()] = journal.records.size();
            journal.records.push_back(std::move(record));
        } else if ((f.first() == "moved" || f.first() == "copy") && f.size() >= 4) {
            const auto found = byEntry.find(f[1].toInt());
            if (found == byEntry.end())
                continue;
            Record& known = journal.records[found->second];
            if (f.first() == "moved") {
                known.identity = identityAt(f, 2);
                known.movedAcross = true;
            } else {
                known.copy = identityAt(f, 2);
            }
        } else if (f.first() == "end" && f.size() >= 2) {
            journal.end = f[1];
        }
    }
    return journal;
}

bool lockIsFree(const QString& path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool free = ::flock(fd, LOCK_EX | LOCK_NB) == 0;
    ::close(fd);
    return free;
}

JournalInfo::State stateOf(const QString& path, const Journal& journal)
{
    if (journal.end == "complete")
        return JournalInfo::State::Complete;
    if (journal.end == "rolled-back")
        return JournalInfo::State::RolledBack;
    if (journal.end == "stranded")
        return JournalInfo::State::Stranded;
    if (journal.end == "undone")
        return JournalInfo::State::Undone;
    return lockIsFree(path) ? JournalInfo::State::Interrupted : JournalInfo::State::Running;
}

QStringList journalNames(const QString& folder)
{
    QStringList names = QDir(folder).entryList({QStringLiteral("rename-*.journal")}, QDir::Files,
                                               QDir::Name | QDir::Reversed);
    return names;
}

// Where a file of the journal is now, found by its identity: its new name, its old name, or a
// temporary name in either folder.
class Finder
{
public:
    std::optional<QString> find(const Record& record)
    {
        for (const QString& place : {record.target, record.source}) {
            if (fileops::identityOf(place) == record.identity)
                return place;
        }
        for (const QString& folder : {folderOf(record.source), folderOf(record.target)}) {
            const auto& temporaries = scan(folder);
            const auto found = temporaries.find(record.identity);
            if (found != temporaries.end())
                return found->second;
        }
        return std::nullopt;
    }

private:
    using Temporaries =
        std::unordered_map<fileops::FileIdentity, QString, fileops::FileIdentityHash>;
    const Temporaries& scan(const QString& folder)
    {
        const auto known = m_folders.find(folder);
        if (known != m_folders.end())
            return *known;
        Temporaries& temporaries = m_folders[folder];
        if (DIR* dir = ::opendir(QFile::encodeName(folder).constData())) {
            while (const dirent* entry = ::readdir(dir)) {
                if (std::strncmp(entry->d_name, ".morvane-", 9) != 0)
                    continue;
                const QString path = folder + QFile::decodeName(entry->d_name);
                if (const auto id = fileops::identityOf(path))
                    temporaries.emplace(*id, path);
            }
            ::closedir(dir);
        }
        return temporaries;
    }
    QHash<QString, Temporaries> m_folders;
};

bool sameSizeAndTime(const QString& a, const QString& b)
{
    struct stat sa;
    struct stat sb;
    return ::lstat(QFile::encodeName(a).constData(), &sa) == 0 &&
           ::lstat(QFile::encodeName(b).constData(), &sb) == 0 && sa.st_size == sb.st_size &&
           sa.st_mtim.tv_sec == sb.st_mtim.tv_sec;
}

} // namespace

QString journalFolder()
{
    QString state = qEnvironmentVariable("XDG_STATE_HOME");
    if (state.isEmpty() || !state.startsWith(QLatin1Char('/')))
        state = QDir::homePath() + QStringLiteral("/.local/state");
    return state + QStringLiteral("/Morvane");
}

RenameJournal::RenameJournal(QString folder) : m_folder(std::move(folder)) {}

RenameJournal::~RenameJournal()
{
    if (m_fd >= 0)
        ::close(m_fd); // releases the lock
}

std::optional<QString> RenameJournal::begin(const RenamePlan& plan)
{
    if (!QDir().mkpath(m_folder))
        return fileops::systemDescription(errno ? errno : EACCES) + QStringLiteral(" : ") +
               m_folder;
    const QDateTime now = QDateTime::currentDateTime();
    const QString stem = m_folder + QStringLiteral("/rename-") +
                         now.toString(QStringLiteral("yyyyMMdd-HHmmss-zzz")) + QLatin1Char('-') +
                         QString::number(::getpid());
    for (int attempt = 0; m_fd < 0 && attempt < 100; ++attempt) {
        m_path = stem + (attempt ? QLatin1Char('-') + QString::number(attempt) : QString()) +
                 QStringLiteral(".journal");
        m_fd = ::open(QFile::encodeName(m_path).constData(),
                      O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_APPEND, 0600);
        if (m_fd < 0 && errno != EEXIST)
            break;
    }
    if (m_fd < 0)
        return fileops::systemDescription(errno) + QStringLiteral(" : ") + m_path;
    ::flock(m_fd, LOCK_EX);

    QByteArray text = header + '\n' + "started " + now.toString(Qt::ISODate).toLatin1() + ' ' +
                      QByteArray::number(::getpid()) + '\n';
    // Each line is written in place in one buffer, handed to the file whenever it fills: a
    // large plan does not hold its whole journal in memory once more.
    constexpr qsizetype chunk = 1 << 18;
    text.reserve(chunk + 4096);
    EntryWriter writer;
    bool written = true;
    for (std::size_t i = 0; written && i < plan.entries.size(); ++i) {
        const PlannedRename& entry = plan.entries[i];
        if (entry.unchanged || !entry.identity)
            continue;
        writer.append(text, i, entry);
        if (text.size() >= chunk) {
            written = writeAll(m_fd, text);
            text.truncate(0);
        }
    }
    if (!written || !writeAll(m_fd, text) || ::fsync(m_fd) != 0 || !syncFolder(m_folder)) {
        const int error = errno;
        ::close(m_fd);
        m_fd = -1;
        QFile::remove(m_path);
        return fileops::systemDescription(error) + QStringLiteral(" : ") + m_path;
    }

    // The last runs are kept; older journals that are marked done go.
    const QStringList names = journalNames(m_folder);
    for (qsizetype i = keptJournals; i < names.size(); ++i) {
        const QString old = m_folder + QLatin1Char('/') + names[i];
        const std::optional<Journal> journal = readJournal(old);
        if (!journal || !journal->end.isEmpty())
            QFile::remove(old);
    }
    return std::nullopt;
}

void RenameJournal::append(const QByteArray& line, bool sync)
{
    if (m_fd < 0)
        return;
    writeAll(m_fd, line + '\n');
    if (sync)
        ::fdatasync(m_fd);
}

void RenameJournal::copied(int entry, const fileops::FileIdentity& identity)
{
    append("copy " + QByteArray::number(entry) + ' ' + identityFields(identity), false);
}

void RenameJournal::movedAcross(int entry, const fileops::FileIdentity& identity)
{
    append("moved " + QByteArray::number(entry) + ' ' + identityFields(identity), true);
}

void RenameJournal::finish(bool complete, bool stranded)
{
    append(complete   ? QByteArray("end complete")
           : stranded ? QByteArray("end stranded")
                      : QByteArray("end rolled-back"),
           false);
}

QString stateText(JournalInfo::State state)
{
    switch (state) {
    case JournalInfo::State::Running:
        return QStringLiteral("en cours");
    case JournalInfo::State::Interrupted:
        return QStringLiteral("interrompu");
    case JournalInfo::State::Complete:
        return QStringLiteral("terminé");
    case JournalInfo::State::RolledBack:
        return QStringLiteral("remis en place");
    case JournalInfo::State::Stranded:
        return QStringLiteral("remis en partie");
    case JournalInfo::State::Undone:
        return QStringLiteral("annulé");
    }
    return {};
}

std::vector<JournalInfo> listJournals(const QString& folder)
{
    std::vector<JournalInfo> all;
    for (const QString& name : journalNames(folder)) {
        const QString path = folder + QLatin1Char('/') + name;
        const std::optional<Journal> journal = readJournal(path);
        if (!journal)
            continue;
        all.push_back({path, journal->started, static_cast<int>(journal->records.size()),
                       stateOf(path, *journal)});
        if (all.size() == keptJournals)
            break;
    }
    return all;
}

std::optional<JournalInfo> interruptedJournal(const QString& folder)
{
    for (const JournalInfo& info : listJournals(folder)) {
        if (info.state == JournalInfo::State::Interrupted)
            return info;
    }
    return std::nullopt;
}

UndoReport undoLastRename(const QString& folder)
{
    UndoReport report;
    const std::vector<JournalInfo> journals = listJournals(folder);
    const auto pick = [&](auto wanted) {
        return std::find_if(journals.begin(), journals.end(), wanted);
    };
    auto chosen =
        pick([](const JournalInfo& info) { return info.state == JournalInfo::State::Interrupted; });
    if (chosen == journals.end())
        chosen = pick([](const JournalInfo& info) {
            return info.state == JournalInfo::State::Complete ||
                   info.state == JournalInfo::State::Stranded;
        });
    if (chosen == journals.end())
        return report;
    report.journal = *chosen;

    // Held until the end: a second undo of the same run waits, then finds it marked.
    const int lock =
        ::open(QFile::encodeName(chosen->path).constData(), O_WRONLY | O_APPEND | O_CLOEXEC);
    if (lock < 0 || ::flock(lock, LOCK_EX | LOCK_NB) != 0) {
        report.error = fileops::systemDescription(lock < 0 ? errno : EWOULDBLOCK) +
                       QStringLiteral(" : ") + chosen->path;
        if (lock >= 0)
            ::close(lock);
        return report;
    }
    const std::optional<Journal> journal = readJournal(chosen->path);
    if (!journal) {
        ::close(lock);
        report.error = fileops::systemDescription(EIO) + QStringLiteral(" : ") + chosen->path;
        return report;
    }

    Finder finder;
    std::vector<std::optional<QString>> places;
    places.reserve(journal->records.size());
    for (const Record& record : journal->records)
        places.push_back(finder.find(record));

    // First the kept copies, while each file can still tell its copy by size and time.
    for (std::size_t i = 0; i < journal->records.size(); ++i) {
        const Record& record = journal->records[i];
        if (record.copyPath.isEmpty() || !places[i])
            continue;
        for (const QString& copy : {record.copyPath, record.copyTemporary}) {
            if (copy.isEmpty() || copy == *places[i])
                continue;
            const std::optional<fileops::FileIdentity> id = fileops::identityOf(copy);
            if (!id || *id == record.identity || (record.copy && *id != *record.copy) ||
                !sameSizeAndTime(copy, *places[i]))
                continue;
            if (fileops::removeFile(copy).ok())
                ++report.copiesRemoved;
        }
    }

    // Then the names, through the engine: chains and cycles of the way back included.
    RenamePlan plan;
    QHash<QString, int> byPlace;
    for (std::size_t i = 0; i < journal->records.size(); ++i) {
        const Record& record = journal->records[i];
        if (!places[i]) {
            report.leftAlone.append(
                QStringLiteral("%1 : introuvable sous son nouveau nom comme sous l'ancien.")
                    .arg(record.target));
            continue;
        }
        if (*places[i] == record.source)
            continue;
        PlannedRename entry;
        entry.source = *places[i];
        entry.target = record.source;
        entry.identity = record.identity;
        entry.movesAcrossDevices = record.movedAcross;
        byPlace.insert(entry.source, static_cast<int>(plan.entries.size()));
        plan.entries.push_back(entry);
    }
    for (PlannedRename& entry : plan.entries) {
        const auto holder = byPlace.constFind(entry.target);
        if (holder != byPlace.cend()) {
            entry.waitsFor = *holder;
        } else if (fileops::identityOf(entry.target)) {
            entry.conflicts.append(
                QStringLiteral("%1 : laissé tel quel, le nom %2 est pris par un autre fichier.")
                    .arg(entry.source, entry.target));
        }
    }
    // A file whose way back is blocked stays, and so does every file waiting for it.
    bool changed = true;
    while (changed) {
        changed = false;
        for (PlannedRename& entry : plan.entries) {
            if (entry.unchanged)
                continue;
            const bool blocked = !entry.conflicts.isEmpty() ||
                                 (entry.waitsFor >= 0 &&
                                  plan.entries[static_cast<std::size_t>(entry.waitsFor)].unchanged);
            if (blocked) {
                if (entry.conflicts.isEmpty())
                    entry.conflicts.append(
                        QStringLiteral("%1 : laissé tel quel, le nom %2 n'a pas pu être libéré.")
                            .arg(entry.source, entry.target));
                report.leftAlone.append(entry.conflicts.join(QStringLiteral(" ; ")));
                entry.unchanged = true; // left out of the run
                changed = true;
            }
        }
    }
    for (PlannedRename& entry : plan.entries)
        entry.conflicts.clear();

    const RunReport run = runPlan(plan);
    for (std::size_t i = 0; i < plan.entries.size(); ++i) {
        const EntryRun& entry = run.entries[i];
        if (entry.result == EntryRun::Result::Renamed)
            ++report.restored;
        else if (entry.result == EntryRun::Result::Failed ||
                 entry.result == EntryRun::Result::Stranded)
            report.leftAlone.append(plan.entries[i].source + QStringLiteral(" : ") + entry.message);
    }
    if (report.leftAlone.isEmpty())
        writeAll(lock, "end undone\n");
    ::close(lock);
    return report;
}

} // namespace renaming
