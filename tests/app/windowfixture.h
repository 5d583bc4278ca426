#pragma once

#include "app/mainwindow.h"
#include "convert/codecregistry.h"
#include "lists/browsepanel.h"
#include "preview/previewbox.h"
#include "recordingdesktop.h"
#include "scripteddialogs.h"
#include "settings/settingsstore.h"

#include <QFile>
#include <QListView>
#include <QTemporaryDir>

#include <memory>
#include <optional>

// One window with its own settings folder, scripted dialogs and a recorded exit. The window
// looks for rename journals at start: the home folder is the fixture's own, never the real one.
struct Fixture
{
    QTemporaryDir dir;
    std::unique_ptr<SettingsStore> store;
    ScriptedDialogs dialogs;
    convert::CodecSession codecs;
    RecordingDesktop desktop;
    std::optional<int> exitStatus;
    std::unique_ptr<MainWindow> window;

    explicit Fixture(const QString& iniPath = {})
        : store(std::make_unique<SettingsStore>(
              iniPath.isEmpty() ? dir.filePath(QStringLiteral("Morvane/Morvane.ini")) : iniPath))
    {
        for (const char* name : {"HOME", "XDG_STATE_HOME", "XDG_DATA_HOME"})
            qputenv(name, QFile::encodeName(dir.filePath(QStringLiteral("home"))));
    }
    // The window, loaded; `programFolder` is where it looks for its help file.
    MainWindow& make(const QString& programFolder = QStringLiteral("/opt/morvane"),
                     bool load = true)
    {
        window = std::make_unique<MainWindow>(
            MainWindowServices{.settings = store.get(),
                               .dialogs = &dialogs,
                               .codecs = &codecs,
                               .desktop = &desktop,
                               .hasHelpHandler = [](const QString&) { return false; },
                               .programFolder = programFolder,
                               .exit = [this](int status) { exitStatus = status; }});
        if (load && !window->Form_Load())
            qFatal("the window did not load");
        return *window;
    }
    int listHeight() const { return window->browsePanel()->files()->height(); }
    bool previewShown() const { return !window->browsePanel()->previewBox()->isHidden(); }
};
