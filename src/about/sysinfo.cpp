#include "about/sysinfo.h"

#include "settings/settingsschema.h"
#include "settings/settingsstore.h"

namespace about {

QStringList systemInfoCandidates()
{
    return {QStringLiteral("hardinfo2"), QStringLiteral("hardinfo"), QStringLiteral("kinfocenter"),
            QStringLiteral("gnome-system-monitor"), QStringLiteral("xfce4-taskmanager")};
}

QString systemInfoTool(const SettingsStore& settings,
                       const std::function<QString(const QString&)>& findOnPath)
{
    const QString configured = settings.readText(settings::names::infosSysteme);
    if (!configured.isEmpty())
        return configured;
    const QStringList candidates = systemInfoCandidates();
    for (const QString& candidate : candidates) {
        const QString found = findOnPath(candidate);
        if (!found.isEmpty())
            return found;
    }
    return {};
}

QString versionLine(int major, int minor, int revision)
{
    return QStringLiteral("Version %1.%2.%3").arg(major).arg(minor).arg(revision);
}

} // namespace about
