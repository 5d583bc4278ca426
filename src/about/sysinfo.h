#pragma once

#include <QString>
#include <QStringList>

#include <functional>

class SettingsStore;

namespace about {

// The usual system-information programs of Linux desktops, in the order they are tried.
QStringList systemInfoCandidates();

// The system-information program to start: the full path stored as "InfosSysteme" in the
// product section, as it is (no existence test); else the first candidate that `findOnPath`
// finds; else empty text.
QString systemInfoTool(const SettingsStore& settings,
                       const std::function<QString(const QString&)>& findOnPath);

// "Version 2.10.3".
QString versionLine(int major, int minor, int revision);

} // namespace about
