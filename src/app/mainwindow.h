#pragma once

#include <QMainWindow>
#include <QPointer>
#include <QSize>

#include <functional>

#include "about/aboutbox.h"
#include "app/menus.h"
#include "settings/optionsdialog.h"

class BrowsePanel;
class Desktop;
class FileOpsController;
class HelpCommand;
namespace convert {
class CodecSession;
}
class ConversionController;
class ConvertPanel;
class Dialogs;
class ListsController;
class NewNameColumn;
class QAction;
class QLabel;
class QTabBar;
class QTimer;
class QToolBar;
class RenameController;
class RenamePanel;
class SettingsStore;
class WorkListPanel;

// What the main window works with; owned by the caller and outliving the window.
struct MainWindowServices
{
    SettingsStore* settings = nullptr;
    Dialogs* dialogs = nullptr;
    convert::CodecSession* codecs = nullptr;
    Desktop* desktop = nullptr;
    // Whether the desktop has a default program for the help file; xdg-mime by default.
    std::function<bool(const QString&)> hasHelpHandler;
    QString programFolder;
    // Ends the program with the given status; QCoreApplication::exit by default.
    std::function<void(int)> exit;
};

// Form1: composes the panels, runs start-up, re-applies the preview switch on every
// activation and asks before quitting.
class MainWindow : public QMainWindow
{
    Q_OBJECT
public:
    explicit MainWindow(MainWindowServices services, QWidget* parent = nullptr);
    ~MainWindow() override;

    // Runs start-up. False when the program cannot go on; the exit was then requested.
    bool Form_Load();
    void Form_Activate();
    // Asks before quitting; true when the user chose OK (the exit was then requested).
    bool quitte();

    BrowsePanel* browsePanel() const { return m_browse; }
    WorkListPanel* workListPanel() const { return m_workList; }
    RenamePanel* renamePanel() const { return m_rename; }
    ConvertPanel* convertPanel() const { return m_convert; }
    ListsController* lists() const { return m_lists; }
    QAction* toolbarAction(const QString& key) const;
    QAction* menuItem(const QString& name) const { return m_menus.item(name); }
    QMenu* flottant() const { return m_menus.flottant; }
    FileOpsController* fileOps() const { return m_fileOps; }
    HelpCommand* helpCommand() const { return m_help; }

    // The options dialog and the about box: modeless, one instance each, brought to the
    // front when already open.
    void openOptions();
    void openAbout();
    OptionsDialog* optionsDialog() const { return m_options; }

    static constexpr QSize clientSize{545, 536};

protected:
    bool event(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void buildToolbar();
    void buildMenus();
    void cleanUpAfterFileAction(bool refill);
    void buildStatusBar();
    void reportStartupOfSettings();
    void rempliCombo();
    void applyVisu();
    void updateClock();

    MainWindowServices m_services;
    BrowsePanel* m_browse;
    WorkListPanel* m_workList;
    RenamePanel* m_rename;
    RenameController* m_renameController = nullptr;
    ConversionController* m_conversion = nullptr;
    ConvertPanel* m_convert;
    QTabBar* m_ts1;
    QToolBar* m_toolbar1;
    ListsController* m_lists = nullptr;
    FileOpsController* m_fileOps = nullptr;
    HelpCommand* m_help = nullptr;
    MainMenus m_menus;
    NewNameColumn* m_newNames = nullptr;
    QPointer<OptionsDialog> m_options;
    QPointer<AboutBox> m_about;
    QLabel* m_countPanel = nullptr;
    QLabel* m_datePanel = nullptr;
    QLabel* m_timePanel = nullptr;
    QTimer* m_clock = nullptr;
    bool m_sessionOpen = false;
    bool m_quitting = false;
    QSize m_startSize;
};
