#include "fileops/fileops.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <array>
#include <filesystem>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/vfs.h>
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
int renameRaw(const QString& from, const QString& to)
{
    const QByteArray f = native(from);
    const QByteArray t = native(to);
    int error = injected(Call::Rename, from);
    if (error == 0) {
        if (::renameat2(AT_FDCWD, f.constData(), AT_FDCWD, t.constData(), RENAME_NOREPLACE) == 0)
            return 0;
        error = errno;
    }
    if (error != EINVAL && error != ENOSYS && error != EOPNOTSUPP)
        return error;

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

// Whether `name` is itself an entry of `folder` (byte for byte, whatever the file system's
// idea of letter case).
bool folderHoldsExactName(const QString& folder, const QString& name)
{
    DIR* dir = ::opendir(native(folder).constData());
    if (!dir)
        return true; // cannot tell: take the name as taken
    const QByteArray wanted = native(name);
    bool found = false;
    while (const dirent* entry = ::readdir(dir)) {
        if (wanted == entry->d_name) {
            found = true;
            break;
        }
    }
    ::closedir(dir);
    return found;
}

// `to` differs from `from` in letter case only and the file system resolves it to `from`
// itself: a case-insensitive file system, not a second link that happens to exist.
bool isCaseAlias(const QString& from, const QString& to)
{
    const QString fromName = nameOf(from);
    const QString toName = nameOf(to);
    if (fromName == toName || fromName.compare(toName, Qt::CaseInsensitive) != 0)
        return false;
    if (!sameFolder(folderOf(from), folderOf(to)))
        return false;
    const auto a = identityOf(from);
    const auto b = identityOf(to);
    return a && b && *a == *b && !folderHoldsExactName(folderOf(to), toName);
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
                              QString* temporary)
{
    const int in = ::open(native(from).constData(), O_RDONLY | O_CLOEXEC);
    if (in < 0)
        return FileResult::system(errno, from);
    struct stat st;
    const bool statted = ::fstat(in, &st) == 0;
    if (!statted || !S_ISREG(st.st_mode)) {
        const int error = !statted ? errno : S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
        ::close(in);
        return FileResult::system(error, from);
    }

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

} // namespace

FileResult FileResult::exists(const QString& path)
{
    return {Outcome::Exists, EEXIST, path};
}

FileResult FileResult::system(int error, const QString& path)
{
    return {Outcome::SystemError, error, path};
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

namespace {

// File systems that compare names without regard to case.
bool caseInsensitiveFileSystem(const QByteArray& folder)
{
    struct statfs info;
    if (::statfs(folder.constData(), &info) != 0)
        return false;
    switch (static_cast<unsigned long>(info.f_type)) {
    case 0x4d44UL:     // FAT (msdos, vfat)
    case 0x2011BAB0UL: // exFAT
    case 0xFF534D42UL: // CIFS
    case 0xFE534D42UL: // SMB2
    case 0x482bUL:     // HFS+
        return true;
    default:
        break;
    }
    // A folder with case folding on ext4 or f2fs.
    const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    long flags = 0;
    const bool folding = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0 && (flags & 0x40000000L);
    ::close(fd);
    return folding;
}

} // namespace

bool folderIgnoresCase(const QString& folder)
{
    const QString base = folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
    // An entry whose name changes with case: does the other spelling reach the same entry?
    QDirIterator entries(base,
                         QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (int looked = 0; entries.hasNext() && looked < 64; ++looked) {
        const QString name = entries.nextFileInfo().fileName();
        QString other = name.toUpper();
        if (other == name)
            other = name.toLower();
        if (other == name)
            continue;
        const auto own = identityOf(base + name);
        return own && identityOf(base + other) == own;
    }
    return caseInsensitiveFileSystem(QFile::encodeName(base));
}

FileResult modificationTime(const QString& path, QDateTime* time)
{
    struct stat st;
    if (::stat(native(path).constData(), &st) != 0)
        return FileResult::system(errno, path);
    *time = QDateTime::fromSecsSinceEpoch(st.st_mtim.tv_sec);
    return FileResult::success();
}

FileResult renameNoReplace(const QString& from, const QString& to)
{
    const int error = renameRaw(from, to);
    if (error == 0)
        return FileResult::success();
    if (error == EEXIST) {
        if (nameOf(from) == nameOf(to) && sameFolder(folderOf(from), folderOf(to)))
            return identityOf(from) ? FileResult::unchanged() : FileResult::system(ENOENT, from);
        if (isCaseAlias(from, to))
            return renameThroughTemporary(from, to);
        return FileResult::exists(to);
    }
    if (error == EXDEV)
        return moveAcrossFileSystems(from, to);
    return FileResult::system(error, identityOf(from) ? to : from);
}

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

FileResult moveAcrossFileSystems(const QString& from, const QString& to)
{
    if (identityOf(to))
        return FileResult::exists(to);
    QString temporary;
    FileResult result = writeTemporaryCopy(from, folderOf(to), to, &temporary);
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

FileResult copyFile(const QString& from, const QString& to, CopyMode mode)
{
    if (sameFile(from, to))
        return {Outcome::SameFile, 0, to};
    if (mode == CopyMode::NoReplace && identityOf(to))
        return FileResult::exists(to);
    QString temporary;
    FileResult result = writeTemporaryCopy(from, folderOf(to), to, &temporary);
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

} // namespace fileops
