#pragma once

#include "preview/previewcontroller.h"

#include <QObject>
#include <QStringList>

#include <atomic>
#include <deque>
#include <memory>

class BrowsePanel;
class Dialogs;
template <typename T> class QFutureWatcher;
class WorkListPanel;

// Joins the browse panel, the work list and the preview: adding browse files to the work
// list, the clicks on both lists and on the preview box, and the browse panel's messages.
class ListsController : public QObject
{
    Q_OBJECT
public:
    // The panels, the preview controller and the dialogs outlive the controller.
    ListsController(BrowsePanel* browse, WorkListPanel* workList, PreviewController* preview,
                    Dialogs* dialogs, QObject* parent = nullptr);

    // How the preview controller reaches the browse list and the work list.
    static PreviewController::ListAccess browseListAccess(BrowsePanel* browse);
    static PreviewController::ListAccess workListAccess(WorkListPanel* workList);
    ~ListsController() override;

    // Adds the selected browse files / every browse file to the work list.
    void ajouter();
    void tout();
    // Selects every entry of the browse list.
    void selectall();

    // Adds files and folders (a drop, "Ouvrir avec"): each file as "+" adds it, each folder
    // with the pictures of its whole tree that pass the type filter. Folders are read off the
    // window's thread; additions keep the order of their requests. The folders that could
    // not be read are listed in one message at the end.
    void ajouterChemins(const QStringList& paths);
    // "Ajouter un dossier et ses sous-dossiers…": the same for a folder picked by the user.
    void ajouterDossier();
    // Start-up arguments: the browse panel opens at the first one's folder (at the folder
    // itself for a folder), and the files are added; folders add nothing.
    void ouvrirArguments(const QStringList& paths);
    // Whether an addition is being read.
    bool adding() const { return bool(m_running); }

    // Whether the "Convertir" tab is selected: a click on LV2 then also asks for the
    // conversion panel to load the first work-list file.
    void setConversionTabShown(bool shown) { m_conversionTab = shown; }

    PreviewController* preview() const { return m_preview; }

Q_SIGNALS:
    // A click on LV2 while the "Convertir" tab is selected and the list is not empty
    // (ouvririmage), after the preview, whether or not that ran.
    void conversionEntryClicked();
    // An addition of ajouterChemins() or ajouterDossier() reached the work list.
    void additionFinished();

private:
    void clicLV2();
    void startNextAddition();
    void finishAddition();

    struct Addition
    {
        QStringList paths;
        int filter;
    };
    // What an addition read off the window's thread.
    struct Found;

    BrowsePanel* m_browse;
    WorkListPanel* m_workList;
    Dialogs* m_dialogs;
    PreviewController* m_preview;
    bool m_conversionTab = false;
    std::deque<Addition> m_pending;
    QFutureWatcher<Found>* m_running = nullptr;
    std::shared_ptr<std::atomic_bool> m_cancel = std::make_shared<std::atomic_bool>(false);
};
