#pragma once

#include <QObject>

class BrowsePanel;
class Dialogs;
class PreviewController;
class SettingsStore;
class WorkListPanel;

// Joins the browse panel, the work list and the preview: adding browse files to the work
// list, the clicks on both lists and on the preview box, and the browse panel's messages.
class ListsController : public QObject
{
    Q_OBJECT
public:
    // The panels, the settings store and the dialogs outlive the controller.
    ListsController(BrowsePanel* browse, WorkListPanel* workList, SettingsStore* settings,
                    Dialogs* dialogs, QObject* parent = nullptr);

    // Adds the selected browse files / every browse file to the work list.
    void ajouter();
    void tout();
    // Selects every entry of the browse list.
    void selectall();

    // Whether the "Convertir" tab is selected: a click on LV2 then also asks for the
    // conversion panel to load the first work-list file.
    void setConversionTabShown(bool shown) { m_conversionTab = shown; }

    PreviewController* preview() const { return m_preview; }

Q_SIGNALS:
    // A click on LV2 while the "Convertir" tab is selected and the list is not empty
    // (ouvririmage), after the preview, whether or not that ran.
    void conversionEntryClicked();

private:
    void clicLV2();

    BrowsePanel* m_browse;
    WorkListPanel* m_workList;
    Dialogs* m_dialogs;
    PreviewController* m_preview;
    bool m_conversionTab = false;
};
