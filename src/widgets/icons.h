#pragma once

#include <QIcon>
#include <QStyle>

namespace icons {

// The desktop theme's icon of that name, else the style's standard icon, so the
// buttons look right on any desktop and under a bare X server alike.
QIcon themed(const char* themeName, QStyle::StandardPixmap fallback);

// Without a desktop session Qt knows no icon theme; use Adwaita when it is installed.
void chooseIconTheme();

} // namespace icons
