#include "fileops/fileops.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSet>

#include <array>
#include <filesystem>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fileops {

using testing::Call;

namespace {

testing::FailureHook& failureHook()
{
    static testing::FailureHook hook;
    return hook;
}

int injected(Call call, const QString& path)
{
    const testing::FailureHook& hook = failureHook();
    return hook ? hook(call, path) : 0;
}

testing::NameLookup& nameLookup()
{
    static testing::NameLookup lookup;
    return lookup;
}

QByteArray native(const QString& path)
{
    return QFile::encodeName(path);
}

std::filesystem::path fsPath(const QString& path)
{
    return std::filesystem::path(native(path).toStdString());
}

// The folder of a path, ending with '/'.
QString folderOf(const QString& path)
{
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    return slash < 0 ? QStringLiteral("./") : path.left(slash + 1);
}

QString nameOf(const QString& path)
{
    return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
}

QString withoutTrailingSlash(QString path)
{
    while (path.size() > 1 && path.endsWith(QLatin1Char('/')))
        path.chop(1);
    return path;
}

bool sameCanonicalPath(const QString& a, const QString& b)
{
    std::error_code ea;
    std::error_code eb;
    const auto ca = std::filesystem::weakly_canonical(fsPath(withoutTrailingSlash(a)), ea);
    const auto cb = std::filesystem::weakly_canonical(fsPath(withoutTrailingSlash(b)), eb);
    if (ea || eb)
        return withoutTrailingSlash(QDir::cleanPath(a)) == withoutTrailingSlash(QDir::cleanPath(b));
    return ca == cb;
}

// Rename without replacing; 0 or an errno. Where the file system refuses the no-replace
// flag it falls back to link + unlink, and where it has no hard links either (FAT) to a
// check for the target followed by a plain rename.
int renameRawAfter(int error, const QString& from, const QString& to);

int renameRaw(const QString& from, const QString& to)
{
    int error = injected(Call::Rename, from);
    if (error == 0) {
        if (::renameat2(AT_FDCWD, native(from).constData(), AT_FDCWD, native(to).constData(),
                        RENAME_NOREPLACE) == 0)
            return 0;
        error = errno;
    }
    return renameRawAfter(error, from, to);
}

// The rest of renameRaw() once renameat2 gave `error`.
int renameRawAfter(int error, const QString& from, const QString& to)
{
    if (error != EINVAL && error != ENOSYS && error != EOPNOTSUPP)
        return error;

    const QByteArray f = native(from);
    const QByteArray t = native(to);
    error = injected(Call::Link, to);
    if (error == 0) {
        if (::link(f.constData(), t.constData()) == 0) {
            error = injected(Call::Unlink, from);
            if (error == 0 && ::unlink(f.constData()) == 0)
                return 0;
            if (error == 0)
                error = errno;
            ::unlink(t.constData());
            return error;
        }
        error = errno;
    }
    if (error != EPERM && error != EOPNOTSUPP && error != ENOSYS)
        return error;

    struct stat st;
    if (::lstat(t.constData(), &st) == 0)
        return EEXIST;
    if (errno != ENOENT)
        return errno;
    return ::rename(f.constData(), t.constData()) == 0 ? 0 : errno;
}

int unlinkRaw(const QString& path)
{
    if (const int error = injected(Call::Unlink, path))
        return error;
    return ::unlink(native(path).constData()) == 0 ? 0 : errno;
}

bool differInCaseOnly(const QString& a, const QString& b)
{
    return a != b && a.compare(b, Qt::CaseInsensitive) == 0;
}

// What `path` names, asked with lstat and stat only: nothing is opened.
FileResult kindOf(const QByteArray& path, const QString& named)
{
    struct stat st;
    if (::lstat(path.constData(), &st) != 0)
        return FileResult::system(errno, named);
    if (S_ISLNK(st.st_mode) && ::stat(path.constData(), &st) != 0) {
        if (errno == ENOENT)
            return {Outcome::DanglingLink, ENOENT, named};
        return FileResult::system(errno, named);
    }
    if (S_ISDIR(st.st_mode))
        return FileResult::system(EISDIR, named);
    if (!S_ISREG(st.st_mode))
        return {Outcome::NotRegular, 0, named};
    return FileResult::success();
}

// Opens a regular file for reading. The type is asked first and the open does not block,
// so a FIFO that took the place of the file in between cannot hold the program either.
int openRegular(const QString& path, struct stat* st, FileResult* failure)
{
    const QByteArray encoded = native(path);
    *failure = kindOf(encoded, path);
    if (!failure->ok())
        return -1;
    const int fd = ::open(encoded.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        *failure = FileResult::system(errno, path);
        return -1;
    }
    if (::fstat(fd, st) != 0) {
        *failure = FileResult::system(errno, path);
        ::close(fd);
        return -1;
    }
    if (!S_ISREG(st->st_mode)) {
        *failure = S_ISDIR(st->st_mode) ? FileResult::system(EISDIR, path)
                                        : FileResult{Outcome::NotRegular, 0, path};
        ::close(fd);
        return -1;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

bool writeAll(int fd, const char* data, ssize_t size)
{
    while (size > 0) {
        const ssize_t written = ::write(fd, data, static_cast<size_t>(size));
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += written;
        size -= written;
    }
    return true;
}

// Writes a synced copy of `from` to a new temporary file in `folder` with the source's
// permissions and times. `target` is the final path, named in failures.
FileResult writeTemporaryCopy(const QString& from, const QString& folder, const QString& target,
                              QString* temporary, const std::atomic<bool>* cancel)
{
    struct stat st;
    FileResult opened;
    const int in = openRegular(from, &st, &opened);
    if (in < 0)
        return opened;

    QByteArray pattern = native(folder + QStringLiteral(".morvane-XXXXXX"));
    int error = injected(Call::Create, target);
    const int out = error ? -1 : ::mkostemp(pattern.data(), O_CLOEXEC);
    if (out < 0) {
        if (error == 0)
            error = errno;
        ::close(in);
        return FileResult::system(error, target);
    }
    *temporary = QFile::decodeName(pattern);

    auto fail = [&](int code) {
        ::close(in);
        ::close(out);
        ::unlink(pattern.constData());
        temporary->clear();
        return FileResult::system(code, target);
    };

    if ((error = injected(Call::Write, target)))
        return fail(error);
    std::array<char, 1 << 18> buffer;
    for (;;) {
        if (cancel && cancel->load())
            return fail(ECANCELED);
        const ssize_t got = ::read(in, buffer.data(), buffer.size());
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return fail(errno);
        if (got == 0)
            break;
        if (!writeAll(out, buffer.data(), got))
            return fail(errno);
    }

    // Ownership and permissions are kept where the file system and the user allow it.
    if (::fchown(out, st.st_uid, st.st_gid) != 0) {
        // Not the owner: the copy belongs to the user, as any copy they make.
    }
    if (::fchmod(out, st.st_mode & 07777) != 0) {
        // File systems without permissions (FAT) refuse; the copy is still good.
    }
    const std::array<timespec, 2> times{st.st_atim, st.st_mtim};
    if ((error = injected(Call::SetTimes, target)) || ::futimens(out, times.data()) != 0)
        return fail(error ? error : errno);
    if ((error = injected(Call::Sync, target)) || ::fsync(out) != 0)
        return fail(error ? error : errno);
    ::close(in);
    if (::close(out) != 0) {
        error = errno;
        ::unlink(pattern.constData());
        temporary->clear();
        return FileResult::system(error, target);
    }
    return FileResult::success();
}

// Moves a symbolic link as a link: the same target text at `to` (symlink never replaces a
// name), then the source link goes.
FileResult moveLink(const QString& from, const QString& to)
{
    const QByteArray source = native(from);
    std::array<char, 4096> target{};
    const ssize_t length = ::readlink(source.constData(), target.data(), target.size() - 1);
    if (length < 0)
        return FileResult::system(errno, from);
    const QByteArray destination = native(to);
    int error = injected(Call::Create, to);
    if (error == 0 && ::symlink(target.data(), destination.constData()) != 0)
        error = errno;
    if (error != 0)
        return error == EEXIST ? FileResult::exists(to) : FileResult::system(error, to);
    if ((error = unlinkRaw(from)) != 0) {
        ::unlink(destination.constData()); // the link is not left in two places
        return FileResult::system(error, from);
    }
    return FileResult::success();
}

} // namespace

FileResult FileResult::exists(const QString& path)
{
    return {Outcome::Exists, EEXIST, path};
}

FileResult FileResult::system(int error, const QString& path)
{
    return {Outcome::SystemError, error, path};
}

QString notRegularText()
{
    return QStringLiteral("ce n'est pas un fichier ordinaire");
}

QString systemDescription(int error)
{
    std::array<char, 512> buffer{};
    // The GNU strerror_r may return a static text instead of filling the buffer.
    const char* text = ::strerror_r(error, buffer.data(), buffer.size());
    return QString::fromLocal8Bit(text);
}

QString describe(const FileResult& result)
{
    const QString path = QDir::toNativeSeparators(result.path);
    switch (result.outcome) {
    case Outcome::Ok:
    case Outcome::Unchanged:
        return {};
    case Outcome::SameFile:
        return QStringLiteral("Un fichier ne peut pas être copié sur lui-même : %1").arg(path);
    case Outcome::NotRegular:
        return QStringLiteral("%1 : %2").arg(path, notRegularText());
    case Outcome::DanglingLink:
        return QStringLiteral("Lien symbolique sans cible : %1").arg(path);
    case Outcome::Exists:
    case Outcome::SystemError:
        break;
    }
    const QString description = systemDescription(result.error);
    return path.isEmpty() ? description : QStringLiteral("%1 : %2").arg(description, path);
}

std::optional<FileIdentity> identityOf(const QString& path)
{
    struct stat st;
    if (::lstat(native(path).constData(), &st) != 0)
        return std::nullopt;
    return FileIdentity{st.st_dev, st.st_ino};
}

bool sameFile(const QString& a, const QString& b)
{
    const auto ia = identityOf(a);
    const auto ib = identityOf(b);
    if (ia && ib)
        return *ia == *ib;
    if (ia || ib)
        return false;
    return sameCanonicalPath(a, b);
}

bool sameFolder(const QString& a, const QString& b)
{
    std::error_code error;
    const bool same = std::filesystem::equivalent(fsPath(a), fsPath(b), error);
    if (!error)
        return same;
    return sameCanonicalPath(a, b);
}

FileResult checkRegularFile(const QString& path)
{
    return kindOf(native(path), path);
}

namespace {

// The look-up by name of the case probe: 1 when `path` reaches an entry, 0 when there is
// none, -1 when the system cannot tell.
int lookUp(const QString& path)
{
    if (const testing::NameLookup& lookup = nameLookup())
        return lookup(path) ? 1 : 0;
    struct stat st;
    if (::lstat(native(path).constData(), &st) == 0)
        return 1;
    return errno == ENOENT ? 0 : -1;
}

// The same name with the case of its ASCII letters changed: the letters every file system
// that ignores case folds alike (others, such as "ß", fold differently from one to another).
QString otherSpelling(const QString& name)
{
    QString other = name;
    for (QChar& c : other) {
        if (c >= u'a' && c <= u'z')
            c = QChar(c.unicode() - u'a' + u'A');
    }
    if (other != name)
        return other;
    for (QChar& c : other) {
        if (c >= u'A' && c <= u'Z')
            c = QChar(c.unicode() - u'A' + u'a');
    }
    return other;
}

// The probe file: its other spelling is found where the folder ignores case. nullopt when
// no probe could be made (a folder that cannot be written).
std::optional<bool> probeWithOwnFile(const QString& base)
{
    const QByteArray folder = native(base);
    struct stat before;
    const bool hadTimes = ::stat(folder.constData(), &before) == 0;
    for (int attempt = 0; attempt < 16; ++attempt) {
        QString name = QStringLiteral(".morvane-probe-");
        for (int i = 0; i < 6; ++i)
            name += QLatin1Char(static_cast<char>('a' + QRandomGenerator::global()->bounded(26)));
        const QString path = base + name;
        if (injected(Call::Create, path) != 0)
            return std::nullopt;
        const int fd = ::open(native(path).constData(),
                              O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd < 0) {
            if (errno == EEXIST)
                continue;
            return std::nullopt;
        }
        ::close(fd);
        const int found = lookUp(base + otherSpelling(name));
        ::unlink(native(path).constData());
        if (hadTimes) {
            // The folder looks untouched: a dry run changes nothing the user can see.
            const std::array<timespec, 2> times{before.st_atim, before.st_mtim};
            ::utimensat(AT_FDCWD, folder.constData(), times.data(), 0);
        }
        if (found >= 0)
            return found == 1;
        return std::nullopt;
    }
    return std::nullopt;
}

// Without a probe of its own: an existing name whose other spelling lstat finds although
// readdir does not list it. Both spellings listed means the folder tells them apart.
std::optional<bool> probeWithExistingNames(const QString& base)
{
    DIR* dir = ::opendir(native(base).constData());
    if (!dir)
        return std::nullopt;
    QSet<QString> listed;
    while (const dirent* entry = ::readdir(dir)) {
        const QUtf8StringView name(entry->d_name);
        if (name.isValidUtf8())
            listed.insert(name.toString());
    }
    ::closedir(dir);
    int looked = 0;
    for (const QString& name : std::as_const(listed)) {
        const QString other = otherSpelling(name);
        if (other == name || name == QLatin1String(".") || name == QLatin1String(".."))
            continue;
        if (listed.contains(other))
            return false;
        if (const int found = lookUp(base + other); found >= 0)
            return found == 1;
        if (++looked >= 64)
            break;
    }
    return std::nullopt;
}

} // namespace

bool folderIgnoresCase(const QString& folder)
{
    const QString base = folder.isEmpty() ? QStringLiteral("./") : withSlash(folder);
    if (const std::optional<bool> answer = probeWithOwnFile(base))
        return *answer;
    if (const std::optional<bool> answer = probeWithExistingNames(base))
        return *answer;
    return true; // nothing to ask: take the rule that never misses a clash
}

FileResult modificationTime(const QString& path, QDateTime* time)
{
    struct stat st;
    if (::stat(native(path).constData(), &st) != 0)
        return FileResult::system(errno, path);
    *time = QDateTime::fromSecsSinceEpoch(st.st_mtim.tv_sec);
    return FileResult::success();
}

void readTimeZone()
{
    ::tzset();
}

QDateTime localWallClock(qint64 secsSinceEpoch)
{
    // Inside 1970-2037 the C library converts as Qt does (Qt calls the same localtime_r, after a
    // tzset() per conversion: readTimeZone() makes that one call per batch); outside it, and for
    // a leap second, Qt's own rules decide.
    constexpr qint64 end2037 = 2145916800;
    if (secsSinceEpoch >= 0 && secsSinceEpoch < end2037) {
        const time_t secs = static_cast<time_t>(secsSinceEpoch);
        struct tm local;
        if (::localtime_r(&secs, &local) && local.tm_sec < 60)
            return QDateTime(QDate(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday),
                             QTime(local.tm_hour, local.tm_min, local.tm_sec), Qt::UTC);
    }
    const QDateTime local = QDateTime::fromSecsSinceEpoch(secsSinceEpoch);
    return QDateTime(local.date(), local.time(), Qt::UTC);
}

FileResult modificationWallClock(const QString& path, QDateTime* wallClock)
{
    struct stat st;
    if (::stat(native(path).constData(), &st) != 0)
        return FileResult::system(errno, path);
    *wallClock = localWallClock(st.st_mtim.tv_sec);
    return FileResult::success();
}

FolderWallClocks::~FolderWallClocks()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

FileResult FolderWallClocks::read(const QString& folder, const QString& name, QDateTime* wallClock)
{
    if (!m_opened || folder != m_folder) {
        if (m_fd >= 0)
            ::close(m_fd);
        m_folder = folder;
        m_opened = true;
        m_fd = ::open(native(folder).constData(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    }
    if (m_fd < 0)
        return modificationWallClock(folder + name, wallClock);
    struct stat st;
    if (::fstatat(m_fd, native(name).constData(), &st, 0) != 0)
        return FileResult::system(errno, folder + name);
    *wallClock = localWallClock(st.st_mtim.tv_sec);
    return FileResult::success();
}

namespace {

// What renameNoReplace() makes of the error of its rename without replacing.
FileResult renameFailed(int error, const QString& from, const QString& to, FolderCase folderCase,
                        const std::atomic<bool>* cancel);

} // namespace

FileResult renameNoReplace(const QString& from, const QString& to, FolderCase folderCase,
                           const std::atomic<bool>* cancel)
{
    const int error = renameRaw(from, to);
    if (error == 0)
        return FileResult::success();
    return renameFailed(error, from, to, folderCase, cancel);
}

FileResult renameNoReplace(const NameAt& from, const NameAt& to, FolderCase folderCase,
                           const std::atomic<bool>* cancel)
{
    int error = injected(Call::Rename, from.path);
    if (error == 0) {
        if (::renameat2(from.folder, from.name, to.folder, to.name, RENAME_NOREPLACE) == 0)
            return FileResult::success();
        error = errno;
    }
    error = renameRawAfter(error, from.path, to.path);
    if (error == 0)
        return FileResult::success();
    return renameFailed(error, from.path, to.path, folderCase, cancel);
}

void encodeNameInto(QStringView text, QByteArray& out)
{
    const char16_t* from = text.utf16();
    const qsizetype size = text.size();
    char16_t all = 0;
    for (qsizetype i = 0; i < size; ++i)
        all |= from[i];
    if (all >= 0x80) {
        out = QFile::encodeName(text.toString());
        return;
    }
    out.resize(size);
    char* to = out.data();
    for (qsizetype i = 0; i < size; ++i)
        to[i] = static_cast<char>(from[i]);
}

namespace {

FileResult renameFailed(int error, const QString& from, const QString& to, FolderCase folderCase,
                        const std::atomic<bool>* cancel)
{
    if (error == EEXIST) {
        const bool caseOnly = differInCaseOnly(nameOf(from), nameOf(to));
        if (nameOf(from) != nameOf(to) && !caseOnly)
            return FileResult::exists(to);
        if (!sameFolder(folderOf(from), folderOf(to)))
            return FileResult::exists(to);
        if (!caseOnly)
            return identityOf(from) ? FileResult::unchanged() : FileResult::system(ENOENT, from);
        // Where the folder ignores case, the other spelling is the file itself (whatever
        // inode the file system gives each spelling); renameThroughTemporary() still never
        // replaces a file, should the file system fold names otherwise.
        const bool ignores = folderCase == FolderCase::Unknown
                                 ? folderIgnoresCase(folderOf(to))
                                 : folderCase == FolderCase::Insensitive;
        return ignores ? renameThroughTemporary(from, to) : FileResult::exists(to);
    }
    if (error == EXDEV)
        return moveAcrossFileSystems(from, to, cancel);
    return FileResult::system(error, identityOf(from) ? to : from);
}

} // namespace

FileResult renameThroughTemporary(const QString& from, const QString& to)
{
    const QString folder = folderOf(from);
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QString temporary =
            folder + QStringLiteral(".morvane-%1")
                         .arg(QRandomGenerator::global()->generate64(), 16, 16, QLatin1Char('0'));
        int error = renameRaw(from, temporary);
        if (error == EEXIST)
            continue;
        if (error != 0)
            return FileResult::system(error, from);
        error = renameRaw(temporary, to);
        if (error == 0)
            return FileResult::success();
        if (renameRaw(temporary, from) != 0)
            return FileResult::system(error, temporary); // the file now waits under this name
        return error == EEXIST ? FileResult::exists(to) : FileResult::system(error, to);
    }
    return FileResult::system(EEXIST, from);
}

FileResult moveAcrossFileSystems(const QString& from, const QString& to,
                                 const std::atomic<bool>* cancel)
{
    if (identityOf(to))
        return FileResult::exists(to);
    struct stat st;
    if (::lstat(native(from).constData(), &st) == 0 && S_ISLNK(st.st_mode))
        return moveLink(from, to);
    QString temporary;
    FileResult result = writeTemporaryCopy(from, folderOf(to), to, &temporary, cancel);
    if (!result.ok())
        return result;
    if (const int error = renameRaw(temporary, to)) {
        ::unlink(native(temporary).constData());
        return error == EEXIST ? FileResult::exists(to) : FileResult::system(error, to);
    }
    if (const int error = unlinkRaw(from)) {
        // The source stays; the copy goes again so the file is not in two places.
        ::unlink(native(to).constData());
        return FileResult::system(error, from);
    }
    return FileResult::success();
}

FileResult copyFile(const QString& from, const QString& to, CopyMode mode,
                    const std::atomic<bool>* cancel)
{
    if (sameFile(from, to))
        return {Outcome::SameFile, 0, to};
    if (mode == CopyMode::NoReplace && identityOf(to))
        return FileResult::exists(to);
    QString temporary;
    FileResult result = writeTemporaryCopy(from, folderOf(to), to, &temporary, cancel);
    if (!result.ok())
        return result;
    int error = 0;
    if (mode == CopyMode::NoReplace) {
        error = renameRaw(temporary, to);
    } else {
        error = injected(Call::Rename, temporary);
        if (error == 0 && ::rename(native(temporary).constData(), native(to).constData()) != 0)
            error = errno;
    }
    if (error != 0) {
        ::unlink(native(temporary).constData());
        return error == EEXIST ? FileResult::exists(to) : FileResult::system(error, to);
    }
    return FileResult::success();
}

FileResult removeFile(const QString& path)
{
    const int error = unlinkRaw(path);
    return error == 0 ? FileResult::success() : FileResult::system(error, path);
}

void testing::setFailureHook(FailureHook hook)
{
    failureHook() = std::move(hook);
}

void testing::setNameLookup(NameLookup lookup)
{
    nameLookup() = std::move(lookup);
}

QString withSlash(const QString& folder)
{
    return folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
}

} // namespace fileops
