#include "rename/renameplan.h"

#include "rename/filetimes.h"
#include "rename/namerule.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>

#include <cerrno>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>
#include <string_view>
#include <unordered_map>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <unistd.h>

namespace renaming {

namespace {

QString namePart(const QString& path)
{
    return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
}

// An open-addressing index of entry numbers, each found by its hash and an equality the
// caller gives: the keys stay where they are, and nothing is allocated per entry.
class FlatIndex
{
public:
    explicit FlatIndex(std::size_t expected = 0) { rebuild(capacityFor(expected)); }

    // The number held under a key equal to the one of `number`, else -1 once `number` is held.
    template <typename Equal> int insert(std::size_t hash, int number, Equal equal)
    {
        if (const int held = find(hash, equal); held >= 0)
            return held;
        if (2 * (m_count + 1) > m_slots.size())
            rebuild(2 * m_slots.size());
        place({tag(hash), number});
        ++m_count;
        return -1;
    }

    // The number held under a key that `equal` accepts, -1 for none.
    template <typename Equal> int find(std::size_t hash, Equal equal) const
    {
        const std::uint32_t wanted = tag(hash);
        for (std::size_t at = wanted & m_mask;; at = (at + 1) & m_mask) {
            const Slot& slot = m_slots[at];
            if (slot.number < 0)
                return -1;
            if (slot.hash == wanted && equal(slot.number))
                return slot.number;
        }
    }

private:
    // Eight bytes a slot, so that a large index stays in the caches.
    struct Slot
    {
        std::uint32_t hash = 0;
        int number = -1;
    };

    static std::uint32_t tag(std::size_t hash)
    {
        return static_cast<std::uint32_t>(hash ^ (static_cast<std::uint64_t>(hash) >> 32));
    }

    static std::size_t capacityFor(std::size_t expected)
    {
        std::size_t capacity = 16;
        while (capacity < 2 * expected + 2)
            capacity *= 2;
        return capacity;
    }

    void rebuild(std::size_t capacity)
    {
        std::vector<Slot> old(capacity);
        old.swap(m_slots);
        m_mask = capacity - 1;
        for (const Slot& slot : old) {
            if (slot.number >= 0)
                place(slot);
        }
    }

    void place(const Slot& slot)
    {
        std::size_t at = slot.hash & m_mask;
        while (m_slots[at].number >= 0)
            at = (at + 1) & m_mask;
        m_slots[at] = slot;
    }

    std::vector<Slot> m_slots;
    std::size_t m_mask = 0;
    std::size_t m_count = 0;
};

std::size_t hashOf(std::string_view bytes)
{
    return std::hash<std::string_view>()(bytes);
}

// The entries of a folder, read once: one buffer holds all the names, and a flat index looks
// into it, so a large folder costs no allocation per name.
class NameList
{
public:
    struct Entry
    {
        std::size_t start;
        std::size_t size;
        ino_t inode;
        unsigned char type; // d_type: DT_UNKNOWN where the file system does not tell
    };

    bool read(const QString& folderText)
    {
        DIR* dir = ::opendir(
            QFile::encodeName(folderText.isEmpty() ? QStringLiteral(".") : folderText).constData());
        if (!dir)
            return false;
        while (const dirent* entry = ::readdir(dir)) {
            const std::size_t size = std::strlen(entry->d_name);
            m_entries.push_back({m_bytes.size(), size, entry->d_ino, entry->d_type});
            m_bytes.insert(m_bytes.end(), entry->d_name, entry->d_name + size);
        }
        ::closedir(dir);
        m_index = FlatIndex(m_entries.size());
        for (std::size_t i = 0; i < m_entries.size(); ++i)
            m_index.insert(hashOf(name(m_entries[i])), static_cast<int>(i),
                           [](int) { return false; });
        return true;
    }

    const Entry* find(const QByteArray& name) const
    {
        const std::string_view wanted(name.constData(), std::size_t(name.size()));
        const int found = m_index.find(hashOf(wanted), [&](int i) {
            return this->name(m_entries[static_cast<std::size_t>(i)]) == wanted;
        });
        return found < 0 ? nullptr : &m_entries[static_cast<std::size_t>(found)];
    }

private:
    std::string_view name(const Entry& entry) const
    {
        return {m_bytes.data() + entry.start, entry.size};
    }

    std::vector<char> m_bytes;
    std::vector<Entry> m_entries;
    FlatIndex m_index;
};

// File systems whose folder listing gives each entry the inode lstat gives it.
bool fileSystemListsInodes(const QByteArray& folder)
{
    struct statfs fs;
    if (::statfs(folder.constData(), &fs) != 0)
        return false;
    switch (static_cast<unsigned long>(fs.f_type)) {
    case 0xEF53UL:     // ext2, ext3, ext4
    case 0x58465342UL: // XFS
    case 0x9123683EUL: // Btrfs
    case 0x01021994UL: // tmpfs
    case 0xF2F52010UL: // F2FS
        return true;
    default:
        return false;
    }
}

// What the plan needs to know of a folder, asked of the disk once per folder text.
struct FolderInfo
{
    QString key; // canonical path, or the cleaned absolute path of a missing folder
    bool isFolder = false;
    bool writable = false;
    bool ignoresCase = false;
    long nameMax = 255;
    dev_t device = 0;
    // The folder's names, read once when a name of it is looked up: a name that is not
    // there costs no lookup of its own (in a large folder, the slow kind).
    std::optional<NameList> names;
    // Whether the listing can stand for lstat: a file system that lists inodes, nothing
    // mounted on an entry of the folder, and a first file where both agree. Unset until asked.
    bool listsInodes = false;
    std::optional<bool> listingGivesIdentity;
};

// The folders that hold a mount point, by their canonical path.
QSet<QString> foldersWithMounts()
{
    QSet<QString> folders;
    QFile mounts(QStringLiteral("/proc/self/mountinfo"));
    if (!mounts.open(QIODevice::ReadOnly))
        return folders;
    for (const QByteArray& line : mounts.readAll().split('\n')) {
        const QList<QByteArray> fields = line.split(' ');
        if (fields.size() < 5)
            continue;
        // Spaces, tabs, new lines and backslashes are written \ooo.
        QByteArray point;
        const QByteArray& field = fields[4];
        for (qsizetype i = 0; i < field.size(); ++i) {
            if (field[i] == '\\' && i + 3 < field.size()) {
                point.append(static_cast<char>(field.mid(i + 1, 3).toInt(nullptr, 8)));
                i += 3;
            } else {
                point.append(field[i]);
            }
        }
        const qsizetype slash = point.lastIndexOf('/');
        if (slash >= 0 && point.size() > 1)
            folders.insert(QFile::decodeName(slash == 0 ? QByteArray("/") : point.left(slash)));
    }
    return folders;
}

// Folders by their text as written, each asked of the disk once. Entries stay where they
// are (the plan keeps pointers to them), and the folder of the previous look-up is tried
// first: the files of a run mostly come folder by folder.
class Folders
{
public:
    FolderInfo* info(const QString& folderText)
    {
        if (m_last && m_lastText == folderText)
            return m_last;
        auto found = m_known.find(folderText);
        if (found == m_known.end()) {
            // Two texts of one folder ("d", "./d/") share one entry, so names compare alike.
            std::unique_ptr<FolderInfo> examined = examine(folderText);
            auto& shared = m_byKey[examined->key];
            if (!shared)
                shared = std::move(examined);
            found = m_known.emplace(folderText, shared.get()).first;
        }
        m_lastText = folderText;
        m_last = found->second;
        return m_last;
    }

    // The identity of the entry `name` of `folder`, if there is one.
    std::optional<fileops::FileIdentity> identityOf(FolderInfo& folder, const QString& folderText,
                                                    const QString& name)
    {
        if (folder.isFolder && !folder.ignoresCase) {
            if (const NameList* names = listing(folder, folderText)) {
                const NameList::Entry* entry = names->find(encoded(name));
                if (!entry)
                    return std::nullopt;
                if (folder.listingGivesIdentity.value_or(false))
                    return fileops::FileIdentity{folder.device, entry->inode};
            }
        }
        return fileops::identityOf(folderText + name);
    }

    // The identity of `name` in `folder` where the folder's listing knows it for a regular
    // file and can stand for lstat; nullopt: ask lstat.
    std::optional<fileops::FileIdentity>
    regularFileIdentity(FolderInfo& folder, const QString& folderText, const QString& name)
    {
        if (!folder.isFolder || folder.ignoresCase || !folder.listsInodes ||
            folder.listingGivesIdentity == false)
            return std::nullopt;
        const NameList* names = listing(folder, folderText);
        const NameList::Entry* entry = names ? names->find(encoded(name)) : nullptr;
        if (!entry || entry->type != DT_REG)
            return std::nullopt;
        if (!folder.listingGivesIdentity) {
            // Checked once against lstat, on the first file, with no mount point in the folder.
            if (!m_mountFolders)
                m_mountFolders = foldersWithMounts();
            struct stat st;
            folder.listingGivesIdentity =
                !m_mountFolders->contains(folder.key) &&
                ::lstat(QFile::encodeName(folderText + name).constData(), &st) == 0 &&
                S_ISREG(st.st_mode) && st.st_dev == folder.device && st.st_ino == entry->inode;
            if (!*folder.listingGivesIdentity)
                return std::nullopt;
        }
        return fileops::FileIdentity{folder.device, entry->inode};
    }

private:
    const NameList* listing(FolderInfo& folder, const QString& folderText)
    {
        if (!folder.names) {
            NameList list;
            if (list.read(folderText))
                folder.names.emplace(std::move(list));
            else
                folder.listingGivesIdentity = false;
        }
        return folder.names ? &*folder.names : nullptr;
    }

    const QByteArray& encoded(const QString& name)
    {
        fileops::encodeNameInto(name, m_name);
        return m_name;
    }

    static std::unique_ptr<FolderInfo> examine(const QString& folderText)
    {
        const QString folder = folderText.isEmpty() ? QStringLiteral("./") : folderText;
        const QByteArray native = QFile::encodeName(folder);
        auto info = std::make_unique<FolderInfo>();
        struct stat st;
        info->isFolder = ::stat(native.constData(), &st) == 0 && S_ISDIR(st.st_mode);
        const QString canonical = QFileInfo(folder).canonicalFilePath();
        info->key =
            canonical.isEmpty() ? QDir::cleanPath(QFileInfo(folder).absoluteFilePath()) : canonical;
        if (info->isFolder) {
            info->device = st.st_dev;
            info->writable = ::access(native.constData(), W_OK | X_OK) == 0;
            info->ignoresCase = fileops::folderIgnoresCase(folder);
            const long nameMax = ::pathconf(native.constData(), _PC_NAME_MAX);
            if (nameMax > 0)
                info->nameMax = nameMax;
            info->listsInodes = fileSystemListsInodes(native);
        }
        return info;
    }

    struct TextHash
    {
        std::size_t operator()(const QString& text) const noexcept { return qHash(text); }
    };
    std::unordered_map<QString, FolderInfo*, TextHash> m_known;
    std::unordered_map<QString, std::unique_ptr<FolderInfo>, TextHash> m_byKey;
    QString m_lastText;
    FolderInfo* m_last = nullptr;
    std::optional<QSet<QString>> m_mountFolders;
    QByteArray m_name; // the name being looked up, encoded
};

// A name as the run compares it: its folder (by identity of the folder entry in the plan)
// and the name, case-folded where the folder ignores case.
struct NameKey
{
    const FolderInfo* folder;
    QString name;
    friend bool operator==(const NameKey&, const NameKey&) = default;
};

NameKey keyOf(const FolderInfo* folder, const QString& name)
{
    return {folder, folder->ignoresCase ? name.toCaseFolded() : name};
}

std::size_t hashOf(const NameKey& key)
{
    return qHash(key.name) ^ std::hash<const void*>()(key.folder);
}

// A name the run will hold when it ends (or while it runs, for a temporary copy).
struct Claim
{
    enum class Kind
    {
        Target,
        KeptName,
        Copy,
        CopyTemporary,
    };
    Kind kind;
    int entry;
};

QString claimedAs(Claim::Kind kind)
{
    switch (kind) {
    case Claim::Kind::Target:
        return QStringLiteral("Nom final");
    case Claim::Kind::KeptName:
        return QStringLiteral("Nom inchangé");
    case Claim::Kind::Copy:
        return QStringLiteral("Nom de la copie gardée");
    case Claim::Kind::CopyTemporary:
        return QStringLiteral("Nom temporaire de la copie gardée");
    }
    return {};
}

QString holder(const Claim& claim, const QString& source)
{
    switch (claim.kind) {
    case Claim::Kind::Target:
        return QStringLiteral("le nom final de %1").arg(source);
    case Claim::Kind::KeptName:
        return QStringLiteral("%1, qui garde son nom").arg(source);
    case Claim::Kind::Copy:
        return QStringLiteral("la copie gardée de %1").arg(source);
    case Claim::Kind::CopyTemporary:
        return QStringLiteral("la copie temporaire de %1").arg(source);
    }
    return {};
}

// Why a source that is not a regular file is refused before the run.
QString sourceRefusal(const fileops::FileResult& kind)
{
    switch (kind.outcome) {
    case fileops::Outcome::NotRegular:
        return QStringLiteral("%1 (tube nommé, socket ou périphérique).")
            .arg(fileops::notRegularText());
    case fileops::Outcome::DanglingLink:
        return QStringLiteral("Lien symbolique sans cible.");
    default:
        break;
    }
    if (kind.error == EISDIR)
        return QStringLiteral("C'est un dossier, pas un fichier.");
    return QStringLiteral("Fichier introuvable (%1).").arg(fileops::systemDescription(kind.error));
}

// Where one entry's names live, kept while the plan is made.
struct Place
{
    FolderInfo* own = nullptr;
    FolderInfo* target = nullptr;
    QString ownFolder;
    QString targetFolder;
    QString name;       // the source's text after its last '/', not a copy
    QString newName;    // the target's text after its folder, not a copy
    QString foldedName; // the name case-folded, where its folder ignores case
};

} // namespace

bool RenamePlan::refused() const
{
    for (const PlannedRename& entry : entries) {
        if (!entry.conflicts.isEmpty())
            return true;
    }
    return false;
}

RenamePlan planRename(const QStringList& sources, const RenameOptions& options,
                      const QDateTime& clock, const std::atomic<bool>* stop)
{
    RenamePlan plan;
    const int count = static_cast<int>(sources.size());
    plan.entries.resize(static_cast<std::size_t>(count));
    std::vector<Place> places(static_cast<std::size_t>(count));
    const NameForm* form = nameForm(options.form);
    long long number = 0;
    const bool numeric = readsAsNumber(options.start, &number);
    const QString dest = options.dest.isEmpty() ? QString() : fileops::withSlash(options.dest);
    Folders folders;
    QString lastFolder;
    // The files of the run by identity, and by the name they have now as their folder compares
    // names.
    FlatIndex seen(static_cast<std::size_t>(count));
    FlatIndex byName(static_cast<std::size_t>(count));
    const auto nameOf = [&places](int i) -> const QString& {
        const Place& place = places[static_cast<std::size_t>(i)];
        return place.own->ignoresCase ? place.foldedName : place.name;
    };
    // The file of the run that has `key` for its name now, -1 for none.
    const auto named = [&](const NameKey& key) {
        return byName.find(hashOf(key), [&](int i) {
            return places[static_cast<std::size_t>(i)].own == key.folder && nameOf(i) == key.name;
        });
    };
    // The running number's text, in one buffer that each entry writes again.
    QString runningNumber;
    std::optional<FileTimes> times;
    if (form && form->usesFileTime)
        times.emplace(options.dateTaken);

    for (int i = 0; i < count; ++i) {
        if (stop && stop->load()) {
            plan.stopped = true;
            return plan;
        }
        PlannedRename& entry = plan.entries[static_cast<std::size_t>(i)];
        Place& place = places[static_cast<std::size_t>(i)];
        entry.source = sources.at(i);
        // Files of one folder share one copy of its text.
        const qsizetype slash = entry.source.lastIndexOf(QLatin1Char('/'));
        const QStringView folderText = QStringView(entry.source).left(slash + 1);
        if (i == 0 || folderText != QStringView(lastFolder))
            lastFolder = folderText.toString();
        place.ownFolder = lastFolder;
        place.name = QString::fromRawData(entry.source.constData() + slash + 1,
                                          entry.source.size() - slash - 1);
        place.targetFolder = dest.isEmpty() ? place.ownFolder : dest;
        place.own = folders.info(place.ownFolder);
        place.target = folders.info(place.targetFolder);
        const QString& name = place.name;

        struct stat st;
        if (name.isEmpty()) {
            entry.conflicts.append(QStringLiteral("Ce n'est pas un nom de fichier."));
        } else if (place.own == place.target && (entry.identity = folders.regularFileIdentity(
                                                     *place.own, place.ownFolder, name))) {
            // A regular file as the folder's listing gives it, which the check reads anyway.
        } else if (::lstat(QFile::encodeName(entry.source).constData(), &st) != 0) {
            entry.conflicts.append(
                QStringLiteral("Fichier introuvable (%1).").arg(fileops::systemDescription(errno)));
        } else if (const fileops::FileResult kind = S_ISREG(st.st_mode)
                                                        ? fileops::FileResult::success()
                                                        : fileops::checkRegularFile(entry.source);
                   !kind.ok()) {
            entry.conflicts.append(sourceRefusal(kind));
        } else {
            entry.identity = fileops::FileIdentity{st.st_dev, st.st_ino};
        }
        if (entry.identity) {
            const int first =
                seen.insert(fileops::FileIdentityHash()(*entry.identity), i, [&](int j) {
                    return plan.entries[static_cast<std::size_t>(j)].identity == entry.identity;
                });
            // Where the folder ignores case, two spellings of one name are one file, even
            // where the file system gives each spelling its own inode.
            if (place.own->ignoresCase)
                place.foldedName = name.toCaseFolded();
            const int sameName =
                byName.insert(hashOf(NameKey{place.own, nameOf(i)}), i, [&](int j) {
                    return places[static_cast<std::size_t>(j)].own == place.own &&
                           nameOf(j) == nameOf(i);
                });
            const int earlier = first >= 0 ? first : sameName;
            if (earlier >= 0)
                entry.conflicts.append(
                    QStringLiteral("Fichier donné deux fois (déjà en position %1 : %2).")
                        .arg(earlier + 1)
                        .arg(plan.entries[static_cast<std::size_t>(earlier)].source));
        }

        if (!place.target->isFolder) {
            entry.conflicts.append(
                QStringLiteral("Dossier de destination introuvable : %1").arg(place.targetFolder));
        } else if (!place.target->writable) {
            entry.conflicts.append(QStringLiteral("Dossier de destination protégé en écriture : %1")
                                       .arg(place.targetFolder));
        } else if (place.own->isFolder && !place.own->writable) {
            entry.conflicts.append(
                QStringLiteral("Dossier du fichier protégé en écriture : %1").arg(place.ownFolder));
        }
        if (!entry.identity)
            continue;

        if (numeric) {
            char digits[24];
            const char* end = std::to_chars(digits, digits + sizeof digits, number + i).ptr;
            runningNumber.resize(0);
            runningNumber.append(QLatin1StringView(digits, end - digits));
        }
        NameInput input{name,
                        options.form,
                        options.nameText,
                        numeric ? runningNumber : options.start,
                        options.format,
                        count,
                        clock,
                        {},
                        options.dateOrder};
        if (times) {
            FileTime time;
            const fileops::FileResult read = times->read(place.ownFolder, name, &time);
            if (!read.ok()) {
                entry.conflicts.append(fileops::describe(read));
                continue;
            }
            input.fileTime = time.wallClock;
        }
        const NameResult made = newName(input);
        if (!made.ok()) {
            entry.conflicts.append(made.error);
            continue;
        }
        entry.target = place.targetFolder + made.name;
        // The target's text after its folder, not a copy: no name of its own for each file.
        place.newName = QString::fromRawData(entry.target.constData() + place.targetFolder.size(),
                                             made.name.size());
        // A UTF-16 unit is at most three bytes of UTF-8: most names need no encoding here.
        if (made.name.size() * 3 > place.target->nameMax &&
            QFile::encodeName(made.name).size() > place.target->nameMax)
            entry.conflicts.append(
                QStringLiteral("Nom trop long pour le dossier : %1").arg(made.name));
        const bool sameFolder = place.own->key == place.target->key;
        entry.unchanged = sameFolder && made.name == name;
        entry.movesAcrossDevices = place.own->device != place.target->device;
        entry.targetCase = fileops::folderCaseOf(place.target->ignoresCase);
        if (entry.unchanged || options.keep == KeepCopy::None)
            continue;
        if (options.keep == KeepCopy::Dest && !sameFolder) {
            entry.copyPath = place.targetFolder + name;
        } else {
            entry.copyPath = entry.source;
            entry.copyTemporary = entry.source + QStringLiteral("Temp");
            if (QFile::encodeName(name).size() + 4 > place.own->nameMax)
                entry.conflicts.append(QStringLiteral("Nom trop long pour le dossier : %1")
                                           .arg(namePart(entry.copyTemporary)));
        }
    }

    // Every name the run ends with (and every temporary copy) is held once.
    std::vector<std::pair<NameKey, Claim>> claims;
    claims.reserve(static_cast<std::size_t>(count));
    FlatIndex claimed(static_cast<std::size_t>(count));
    auto claim = [&](int i, const FolderInfo* folder, const QString& name, Claim::Kind kind) {
        NameKey key = keyOf(folder, name);
        const int held = claimed.insert(hashOf(key), static_cast<int>(claims.size()), [&](int c) {
            return claims[static_cast<std::size_t>(c)].first == key;
        });
        if (held < 0) {
            claims.emplace_back(std::move(key), Claim{kind, i});
            return;
        }
        const Claim& found = claims[static_cast<std::size_t>(held)].second;
        plan.entries[static_cast<std::size_t>(i)].conflicts.append(
            QStringLiteral("%1 %2 déjà pris par %3.")
                .arg(claimedAs(kind), name,
                     holder(found, plan.entries[static_cast<std::size_t>(found.entry)].source)));
    };
    for (int i = 0; i < count; ++i) {
        const PlannedRename& entry = plan.entries[static_cast<std::size_t>(i)];
        const Place& place = places[static_cast<std::size_t>(i)];
        if (!entry.identity || entry.target.isEmpty())
            continue;
        if (entry.unchanged) {
            claim(i, place.own, place.name, Claim::Kind::KeptName);
            continue;
        }
        claim(i, place.target, place.newName, Claim::Kind::Target);
        if (!entry.copyTemporary.isEmpty()) {
            claim(i, place.own, place.name, Claim::Kind::Copy);
            claim(i, place.own, namePart(entry.copyTemporary), Claim::Kind::CopyTemporary);
        } else if (!entry.copyPath.isEmpty()) {
            claim(i, place.target, place.name, Claim::Kind::Copy);
        }
    }

    // Names taken on disk: free only when the file holding them is renamed away in this run.
    for (int i = 0; i < count; ++i) {
        PlannedRename& entry = plan.entries[static_cast<std::size_t>(i)];
        Place& place = places[static_cast<std::size_t>(i)];
        if (!entry.identity || entry.target.isEmpty() || entry.unchanged)
            continue;
        if (const auto there =
                folders.identityOf(*place.target, place.targetFolder, place.newName)) {
            // The file of the run that holds the name itself (not another link to it): found
            // by its name, and by its inode too where the folder tells spellings apart.
            const int holderIndex = named(keyOf(place.target, place.newName));
            const bool holdsName =
                holderIndex >= 0 &&
                (place.target->ignoresCase ||
                 plan.entries[static_cast<std::size_t>(holderIndex)].identity == *there);
            if (holdsName && holderIndex != i &&
                !plan.entries[static_cast<std::size_t>(holderIndex)].unchanged) {
                entry.waitsFor = holderIndex;
            } else if (!(holdsName && holderIndex == i)) {
                entry.conflicts.append(
                    QStringLiteral("Le fichier %1 existe déjà.").arg(entry.target));
            }
        }
        if (!entry.copyTemporary.isEmpty() &&
            folders.identityOf(*place.own, place.ownFolder, namePart(entry.copyTemporary)))
            entry.conflicts.append(
                QStringLiteral("Le fichier %1 existe déjà.").arg(entry.copyTemporary));
        else if (entry.copyTemporary.isEmpty() && !entry.copyPath.isEmpty() &&
                 folders.identityOf(*place.target, place.targetFolder, place.name))
            entry.conflicts.append(
                QStringLiteral("Le fichier %1 existe déjà.").arg(entry.copyPath));
    }
    return plan;
}

std::vector<RenameStep> executionOrder(const RenamePlan& plan)
{
    const std::size_t count = plan.entries.size();
    std::vector<int> movesInto(count, -1); // the entry whose target is this entry's old path
    for (std::size_t i = 0; i < count; ++i) {
        if (const int holder = plan.entries[i].waitsFor; holder >= 0)
            movesInto[static_cast<std::size_t>(holder)] = static_cast<int>(i);
    }
    std::vector<RenameStep> steps;
    steps.reserve(count);
    std::vector<char> placed(count, 0);
    auto follow = [&](int from, int until) {
        for (int next = from; next >= 0 && next != until;
             next = movesInto[static_cast<std::size_t>(next)]) {
            steps.push_back({next, RenameStep::Kind::Whole});
            placed[static_cast<std::size_t>(next)] = 1;
        }
    };
    // Chains start at a file whose target is free.
    for (std::size_t i = 0; i < count; ++i) {
        if (!plan.entries[i].unchanged && plan.entries[i].waitsFor < 0)
            follow(static_cast<int>(i), -1);
    }
    // What is left are cycles: one file steps aside, the others follow, it comes last.
    for (std::size_t i = 0; i < count; ++i) {
        if (plan.entries[i].unchanged || placed[i])
            continue;
        const int first = static_cast<int>(i);
        steps.push_back({first, RenameStep::Kind::AsideFirst});
        placed[i] = 1;
        follow(movesInto[i], first);
        steps.push_back({first, RenameStep::Kind::FromTemporary});
    }
    return steps;
}

} // namespace renaming
