#pragma once

#include "fileops/fileactions.h"

#include <QObject>
#include <QStringList>

#include <functional>

class Desktop;
class Dialogs;
class SettingsStore;

// What the commands act on, read at each command: the selected names and their folder.
struct FileSelection
{
    std::function<QStringList()> names;
    std::function<QString()> folder;
};

// Copy, move, delete and open of the files selected in the browse list.
class FileOpsController : public QObject
{
    Q_OBJECT
public:
    // `cleanUp(refill)` runs after every copy, move or delete that had a selection, whatever
    // happened; `refill` is true after move and delete (the browse list changed). Deleting
    // moves the files to the Trash when the setting "Corbeille" of `settings` is on.
    FileOpsController(FileSelection selection, Dialogs* dialogs, Desktop* desktop,
                      SettingsStore* settings, std::function<void(bool refill)> cleanUp,
                      QObject* parent = nullptr);

    void copie();
    void deplace();
    void supprim();
    void ouvr();

private:
    void run(fileops::Action action);

    FileSelection m_selection;
    Dialogs* m_dialogs;
    Desktop* m_desktop;
    SettingsStore* m_settings;
    std::function<void(bool)> m_cleanUp;
};
