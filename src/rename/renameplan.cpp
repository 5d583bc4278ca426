#include "rename/renameplan.h"

#include "rename/filetimes.h"
#include "rename/namerule.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QHash>

#include <cerrno>
#include <cstring>
#include <memory>
#include <optional>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace renaming {

namespace {

QString withSlash(const QString& folder)
{
    return folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
}

QString namePart(const QString& path)
{
    return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
}

// The names of a folder, read once: one buffer holds them all and the set looks into it,
// so a large folder costs no allocation per name.
class NameList
{
public:
    bool read(const QString& folderText)
    {
        DIR* dir = ::opendir(
            QFile::encodeName(folderText.isEmpty() ? QStringLiteral(".") : folderText).constData());
        if (!dir)
            return false;
        std::vector<std::size_t> ends;
        while (const dirent* entry = ::readdir(dir)) {
            m_bytes.insert(m_bytes.end(), entry->d_name,
                           entry->d_name + std::strlen(entry->d_name));
            ends.push_back(m_bytes.size());
        }
        ::closedir(dir);
        m_names.reserve(ends.size());
        std::size_t start = 0;
        for (const std::size_t end : ends) {
            m_names.emplace(m_bytes.data() + start, end - start);
            start = end;
        }
        return true;
    }

    bool contains(const QByteArray& name) const
    {
        return m_names.contains(std::string_view(name.constData(), std::size_t(name.size())));
    }

private:
    std::vector<char> m_bytes; // never grows once the set looks into it; a move keeps it
    std::unordered_set<std::string_view> m_names;
};

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
};

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
    static std::optional<fileops::FileIdentity>
    identityOf(FolderInfo& folder, const QString& folderText, const QString& name)
    {
        if (folder.isFolder && !folder.ignoresCase) {
            if (!folder.names) {
                NameList list;
                if (list.read(folderText))
                    folder.names.emplace(std::move(list));
            }
            if (folder.names && !folder.names->contains(QFile::encodeName(name)))
                return std::nullopt;
        }
        return fileops::identityOf(folderText + name);
    }

private:
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

struct NameKeyHash
{
    std::size_t operator()(const NameKey& key) const noexcept
    {
        return qHash(key.name) ^ std::hash<const void*>()(key.folder);
    }
};

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
    QString name;
    QString newName;
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
    const QString dest = options.dest.isEmpty() ? QString() : withSlash(options.dest);
    Folders folders;
    QString lastFolder;
    std::unordered_map<fileops::FileIdentity, int, fileops::FileIdentityHash> seen;
    seen.reserve(static_cast<std::size_t>(count));
    // The files of the run by the name they have now, as their folder compares names.
    std::unordered_map<NameKey, int, NameKeyHash> byName;
    byName.reserve(static_cast<std::size_t>(count));
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
        place.name = entry.source.mid(slash + 1);
        place.targetFolder = dest.isEmpty() ? place.ownFolder : dest;
        place.own = folders.info(place.ownFolder);
        place.target = folders.info(place.targetFolder);
        const QString& name = place.name;

        struct stat st;
        if (name.isEmpty()) {
            entry.conflicts.append(QStringLiteral("Ce n'est pas un nom de fichier."));
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
            const auto [first, inserted] = seen.emplace(*entry.identity, i);
            // Where the folder ignores case, two spellings of one name are one file, even
            // where the file system gives each spelling its own inode.
            const auto [named, newName] = byName.emplace(keyOf(place.own, name), i);
            const int earlier = !inserted ? first->second : !newName ? named->second : -1;
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

        NameInput input{name,
                        options.form,
                        options.nameText,
                        numeric ? QString::number(number + i) : options.start,
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
        place.newName = made.name;
        entry.target = place.targetFolder + made.name;
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
    std::unordered_map<NameKey, Claim, NameKeyHash> claims;
    claims.reserve(static_cast<std::size_t>(count));
    auto claim = [&](int i, const FolderInfo* folder, const QString& name, Claim::Kind kind) {
        const auto [found, inserted] = claims.emplace(keyOf(folder, name), Claim{kind, i});
        if (inserted)
            return;
        plan.entries[static_cast<std::size_t>(i)].conflicts.append(
            QStringLiteral("%1 %2 déjà pris par %3.")
                .arg(claimedAs(kind), name,
                     holder(found->second,
                            plan.entries[static_cast<std::size_t>(found->second.entry)].source)));
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
                Folders::identityOf(*place.target, place.targetFolder, place.newName)) {
            // The file of the run that holds the name itself (not another link to it): found
            // by its name, and by its inode too where the folder tells spellings apart.
            const auto holding = byName.find(keyOf(place.target, place.newName));
            const int holderIndex = holding == byName.end() ? -1 : holding->second;
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
            Folders::identityOf(*place.own, place.ownFolder, namePart(entry.copyTemporary)))
            entry.conflicts.append(
                QStringLiteral("Le fichier %1 existe déjà.").arg(entry.copyTemporary));
        else if (entry.copyTemporary.isEmpty() && !entry.copyPath.isEmpty() &&
                 Folders::identityOf(*place.target, place.targetFolder, place.name))
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
