#pragma once

#include <QDateTime>
#include <QString>

#include <atomic>
#include <functional>
#include <optional>

#include <sys/types.h>

// Safe file primitives: nothing here replaces a file it was not asked to replace, and every
// write goes through a temporary file in the destination folder. Each operation returns a
// FileResult; describe() turns a failure into the text shown to the user.
namespace fileops {

enum class Outcome
{
    Ok,
    // Nothing to do: the source already stands at the target path.
    Unchanged,
    // The target is taken by another file; FileResult::path names it.
    Exists,
    // A copy onto the file itself was asked for.
    SameFile,
    // A system call failed; FileResult::error holds its errno.
    SystemError,
    // The source is a FIFO, a socket or a device (or a symbolic link to one): never opened.
    NotRegular,
    // The source is a symbolic link whose target is missing.
    DanglingLink,
};

struct FileResult
{
    Outcome outcome = Outcome::Ok;
    int error = 0;
    // The file the result concerns: the one in the way, or the one that could not be handled.
    QString path;

    bool ok() const { return outcome == Outcome::Ok || outcome == Outcome::Unchanged; }

    static FileResult success() { return {}; }
    static FileResult unchanged() { return {Outcome::Unchanged, 0, {}}; }
    static FileResult exists(const QString& path);
    static FileResult system(int error, const QString& path);
};

// Why a FIFO, socket or device is refused: "ce n'est pas un fichier ordinaire".
QString notRegularText();

// The system's own description of an errno value, in the language of the user's locale.
QString systemDescription(int error);

// The text shown to the user for a failed result.
QString describe(const FileResult& result);

// `folder` followed by '/' unless it already ends with one.
QString withSlash(const QString& folder);

// A directory entry on disk, as lstat gives it.
struct FileIdentity
{
    dev_t device = 0;
    ino_t inode = 0;
    friend bool operator==(const FileIdentity&, const FileIdentity&) = default;
};

// Hashes a FileIdentity for unordered containers.
struct FileIdentityHash
{
    std::size_t operator()(const FileIdentity& id) const noexcept
    {
        return std::hash<unsigned long long>()(static_cast<unsigned long long>(id.inode) *
                                                   0x9E3779B97F4A7C15ULL ^
                                               static_cast<unsigned long long>(id.device));
    }
};

// The identity of the entry at `path` itself (a symbolic link is not followed).
std::optional<FileIdentity> identityOf(const QString& path);

// Whether two paths name the same file: by identity when both exist, else by canonical path.
bool sameFile(const QString& a, const QString& b);

// Whether two folder paths name the same folder (std::filesystem::equivalent), or the same
// canonical path when one of them does not exist.
bool sameFolder(const QString& a, const QString& b);

// Checks, without opening it, that `path` is a regular file or a symbolic link to one, so
// that reading it cannot block: Outcome::NotRegular for a FIFO, socket or device,
// Outcome::DanglingLink for a link to nothing, EISDIR for a folder, the errno of lstat when
// there is nothing at `path`.
FileResult checkRegularFile(const QString& path);

// Whether names in `folder` are compared without regard to letter case (FAT, exFAT, a
// case-folding ext4 folder, FAT through FUSE...), decided by name look-up alone, since some
// file systems give each spelling of a name its own inode: a probe file
// `.morvane-probe-XXXXXX` (letters) is created, the other spelling of its name looked up,
// and the probe removed (the folder keeps its times). In a folder that cannot be written,
// the other spelling of an existing name that lstat finds but readdir does not list tells.
// With no usable name the answer is true, the safe one. Callers probe a folder once per
// run and pass the answer on.
bool folderIgnoresCase(const QString& folder);

// The case rule of a folder as a caller knows it; Unknown makes the callee probe.
enum class FolderCase
{
    Unknown,
    Sensitive,
    Insensitive,
};

inline FolderCase folderCaseOf(bool ignoresCase)
{
    return ignoresCase ? FolderCase::Insensitive : FolderCase::Sensitive;
}

// The file's last modification time in local time, to the second.
FileResult modificationTime(const QString& path, QDateTime* time);

// The same local date and time to the second, held as a UTC QDateTime so that nothing converts
// it again: only date() and time() carry meaning. Much cheaper per file than
// modificationTime(), for callers that read only those pieces; see readTimeZone().
FileResult modificationWallClock(const QString& path, QDateTime* wallClock);

// Seconds since the epoch as local wall-clock date and time, held as a UTC QDateTime.
QDateTime localWallClock(qint64 secsSinceEpoch);

// modificationWallClock() for many files, each folder opened once and its files read by name.
class FolderWallClocks
{
public:
    FolderWallClocks() = default;
    FolderWallClocks(const FolderWallClocks&) = delete;
    FolderWallClocks& operator=(const FolderWallClocks&) = delete;
    ~FolderWallClocks();
    // `folder` ends with '/'; `name` has none.
    FileResult read(const QString& folder, const QString& name, QDateTime* wallClock);

private:
    QString m_folder;
    int m_fd = -1;
    bool m_opened = false;
};

// Takes up the current time-zone rules (TZ, the system zone file) for the wall-clock readings
// that follow; those do not look again (a look costs a system call each). Call it once before
// each batch of readings.
void readTimeZone();

// Renames or moves `from` to `to` and never replaces an existing file: a taken target gives
// Outcome::Exists. A change of letter case only is made in place, also where the folder
// ignores case (`folderCase`, the folder's probed rule; Unknown probes it when needed); a
// target on another file system is reached by moveAcrossFileSystems(), which `cancel` can
// stop. Renaming a file to its own path gives Outcome::Unchanged.
FileResult renameNoReplace(const QString& from, const QString& to,
                           FolderCase folderCase = FolderCase::Unknown,
                           const std::atomic<bool>* cancel = nullptr);

// A name in a folder the caller opened (O_PATH | O_DIRECTORY), for the calls made many times
// over one folder: the name in the file system's bytes, and the whole path for what is not
// done relative to the folder (fallbacks, messages, test hooks).
struct NameAt
{
    int folder;       // the folder's descriptor
    const char* name; // no '/'
    const QString& path;
};

// renameNoReplace(from.path, to.path, ...), its first attempt made relative to the folders.
FileResult renameNoReplace(const NameAt& from, const NameAt& to,
                           FolderCase folderCase = FolderCase::Unknown,
                           const std::atomic<bool>* cancel = nullptr);

// What QFile::encodeName(text) gives, written into `out` (its buffer reused; an ASCII text
// is copied as it is).
void encodeNameInto(QStringView text, QByteArray& out);

// Renames through a unique temporary name in the same folder: how a name that differs only
// in letter case is changed on a file system that ignores case.
FileResult renameThroughTemporary(const QString& from, const QString& to);

// Copies `from` to `to` on another file system (content synced, permissions and times
// kept), without replacing `to`, then removes `from`. A symbolic link moves as a link (the
// same target text). On failure `from` stays and no partial `to` is left; a copy stopped
// by `cancel` fails with ECANCELED.
FileResult moveAcrossFileSystems(const QString& from, const QString& to,
                                 const std::atomic<bool>* cancel = nullptr);

enum class CopyMode
{
    Replace,
    NoReplace
};

// Copies through a temporary file in the target's folder, synced and renamed into place, so
// a failed copy leaves no partial file. The copy keeps the source's modification time and
// permissions. A copy onto the source itself is refused (Outcome::SameFile); with
// CopyMode::NoReplace a taken target gives Outcome::Exists. Only a regular file is read
// (checkRegularFile()); a copy stopped by `cancel` fails with ECANCELED.
FileResult copyFile(const QString& from, const QString& to, CopyMode mode,
                    const std::atomic<bool>* cancel = nullptr);

// Deletes a file (a read-only file in a writable folder included).
FileResult removeFile(const QString& path);

// Test support: a hook called before each system call that changes files, with what the
// call does and the path it acts on. A non-zero return makes that call fail with it as errno.
namespace testing {
enum class Call
{
    Rename,
    Link,
    Unlink,
    Create,
    Write,
    Sync,
    SetTimes
};
using FailureHook = std::function<int(Call call, const QString& path)>;
void setFailureHook(FailureHook hook);

// A stand-in for the look-up by name of folderIgnoresCase(): the identity of the entry that
// `path` reaches (nullopt: none), as lstat gives it. Lets a test play a folder that ignores
// case and gives each spelling its own inode, as FAT through FUSE does. Empty: lstat.
using NameLookup = std::function<std::optional<FileIdentity>(const QString& path)>;
void setNameLookup(NameLookup lookup);
} // namespace testing

} // namespace fileops
