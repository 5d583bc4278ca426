#include "widgets/icons.h"

#include <QApplication>

namespace icons {

QIcon themed(const char* themeName, QStyle::StandardPixmap fallback)
{
    const QString name = QLatin1String(themeName);
    if (QIcon::hasThemeIcon(name))
        return QIcon::fromTheme(name);
    return QApplication::style()->standardIcon(fallback);
}

void chooseIconTheme()
{
    const QString current = QIcon::themeName();
    if (!current.isEmpty() && current != QLatin1String("hicolor"))
        return;
    const QString adwaita = QStringLiteral("Adwaita");
    QIcon::setThemeName(adwaita);
    if (!QIcon::hasThemeIcon(QStringLiteral("document-open")))
        QIcon::setThemeName(current);
}

} // namespace icons
