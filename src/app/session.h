#pragma once

class MainWindow;
class SettingsStore;

// "Rouvrir le dernier dossier": the browse folder, the type filter and the window's size
// (only its size: under Wayland a window cannot place itself), kept in a settings section of
// their own. Both do nothing while the option is off.
namespace session {

// After start-up: the last filter, folder (or its nearest existing ancestor) and size.
void restore(MainWindow& window, const SettingsStore& settings);
// When the program ends.
void save(const MainWindow& window, SettingsStore& settings);

} // namespace session
