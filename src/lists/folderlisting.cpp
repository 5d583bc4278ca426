#include "lists/folderlisting.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <string_view>
#include <utility>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace lists {

namespace {

// The patterns as lower-case name endings, for matching raw directory entries.
struct Endings
{
    std::vector<std::string> list;
};

const std::array<Endings, typeFilterCount>& filterEndings()
{
    static const std::array<Endings, typeFilterCount> endings = [] {
        std::array<Endings, typeFilterCount> result;
        for (int index = 0; index < typeFilterCount; ++index) {
            for (const QString& pattern : typeFilters()[index].patterns)
                result[index].list.push_back(pattern.mid(1).toLower().toStdString());
        }
        return result;
    }();
    return endings;
}

bool endsWithIgnoringCase(std::string_view name, std::string_view lowerEnding)
{
    if (name.size() < lowerEnding.size())
        return false;
    const std::string_view tail = name.substr(name.size() - lowerEnding.size());
    for (std::size_t i = 0; i < tail.size(); ++i) {
        char c = tail[i];
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
        if (c != lowerEnding[i])
            return false;
    }
    return true;
}

bool matchesEndings(std::string_view name, int index)
{
    const auto& endings = filterEndings()[index].list;
    return std::any_of(endings.begin(), endings.end(), [name](const std::string& ending) {
        return endsWithIgnoringCase(name, ending);
    });
}

// A regular file, or a symbolic link to one. Other kinds (folders, devices, sockets) are left out.
bool isRegularFile(int dirFd, const dirent* entry)
{
    if (entry->d_type == DT_REG)
        return true;
    if (entry->d_type != DT_LNK && entry->d_type != DT_UNKNOWN)
        return false;
    struct stat info;
    return ::fstatat(dirFd, entry->d_name, &info, 0) == 0 && S_ISREG(info.st_mode);
}

struct DirCloser
{
    void operator()(DIR* dir) const { ::closedir(dir); }
};

} // namespace

const std::array<TypeFilter, typeFilterCount>& typeFilters()
{
    static const std::array<TypeFilter, typeFilterCount> filters = {{
        {QStringLiteral("Tous fichiers Image"),
         {QStringLiteral("*.BMP"), QStringLiteral("*.GIF"), QStringLiteral("*.JPG"),
          QStringLiteral("*.JPEG"), QStringLiteral("*.ICO"), QStringLiteral("*.PNG"),
          QStringLiteral("*.TIFF"), QStringLiteral("*.TIF")}},
        {QStringLiteral("BMP - Windows Bitmap"), {QStringLiteral("*.BMP")}},
        {QStringLiteral("GIF - Compuserve GIF"), {QStringLiteral("*.GIF")}},
        // Only *.JPG: names ending in .JPEG are listed under the first entry alone.
        {QStringLiteral("JPG/JPEG - JPG Images"), {QStringLiteral("*.JPG")}},
        {QStringLiteral("ICO - Windows Icons"), {QStringLiteral("*.ICO")}},
        {QStringLiteral("PNG - Portable Network Graphics"), {QStringLiteral("*.PNG")}},
        {QStringLiteral("TIF - Tagged Image File Format"),
         {QStringLiteral("*.TIFF"), QStringLiteral("*.TIF")}},
        {QStringLiteral("WEBP - WebP"), {QStringLiteral("*.WEBP")}},
    }};
    return filters;
}

bool matchesTypeFilter(QStringView name, int index)
{
    if (index < 0 || index >= typeFilterCount)
        return false;
    const QStringList& patterns = typeFilters()[index].patterns;
    return std::any_of(patterns.begin(), patterns.end(), [name](const QString& pattern) {
        return name.endsWith(QStringView(pattern).mid(1), Qt::CaseInsensitive);
    });
}

FolderListing listFolder(const QString& folder, int index)
{
    if (index < 0 || index >= typeFilterCount)
        return {QStringLiteral("Type de fichiers inconnu"), {}};
    const QByteArray encoded = QFile::encodeName(folder);
    if (encoded.isEmpty())
        return {qt_error_string(ENOENT), {}};
    std::unique_ptr<DIR, DirCloser> dir(::opendir(encoded.constData()));
    if (!dir)
        return {qt_error_string(errno), {}};
    const int dirFd = ::dirfd(dir.get());

    // Sort by a case-folded key computed once per name, not per comparison.
    std::vector<std::pair<QString, QString>> keyed;
    for (;;) {
        errno = 0; // readdir reports its failures through errno only
        const dirent* entry = ::readdir(dir.get());
        if (!entry) {
            if (errno != 0)
                return {qt_error_string(errno), {}};
            break;
        }
        const std::string_view name(entry->d_name);
        if (name.empty() || name.front() == '.')
            continue; // hidden files, "." and ".."
        if (!matchesEndings(name, index) || !isRegularFile(dirFd, entry))
            continue;
        // A name that is not valid UTF-8 cannot be named faithfully by a QString: two such
        // names could decode to the same text and an operation could reach the wrong file.
        const QUtf8StringView utf8(name.data(), qsizetype(name.size()));
        if (!utf8.isValidUtf8())
            continue;
        QString text = utf8.toString();
        QString key = text.toCaseFolded();
        keyed.emplace_back(std::move(key), std::move(text));
    }
    std::sort(keyed.begin(), keyed.end());
    FolderListing listing;
    listing.names.reserve(qsizetype(keyed.size()));
    for (auto& [key, text] : keyed)
        listing.names.push_back(std::move(text));
    return listing;
}

} // namespace lists
