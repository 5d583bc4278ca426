#pragma once

#include <QString>
#include <QStringList>

#include <array>
#include <optional>

namespace lists {

// One entry of the type filter Combo1: its text and the name endings it lets through.
struct TypeFilter
{
    QString text;
    QStringList patterns; // "*.BMP" ...; compared without regard to letter case
};

inline constexpr int typeFilterCount = 8;

// The eight entries of the type filter, in list order.
const std::array<TypeFilter, typeFilterCount>& typeFilters();

// True when `name` matches one of the patterns of filter `index` (letter case ignored).
bool matchesTypeFilter(QStringView name, int index);

// The files of one folder that pass a type filter.
struct FolderListing
{
    // The system's description of the failure; empty when the folder was listed.
    std::optional<QString> error;
    // File names in case-insensitive order, hidden files and names that are not valid UTF-8
    // left out.
    QStringList names;

    bool ok() const { return !error.has_value(); }
};

// Lists the regular files (or links to them) of `folder` that pass filter `index`.
FolderListing listFolder(const QString& folder, int index);

} // namespace lists
