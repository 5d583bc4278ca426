#pragma once

#include "rename/renameengine.h"
#include "rename/renamerequest.h"

#include <QObject>

#include <functional>

class Dialogs;
class QWidget;
class RenamePanel;
class SettingsStore;
class WorkList;

// The rename panel's behaviour: fills its lists, applies the field rule, stores the
// numbering style, runs the preview VisuRenom and the rename run renom. The panel, work list,
// settings and dialogs are owned by the caller and outlive the controller.
class RenameController : public QObject
{
    Q_OBJECT
public:
    RenameController(RenamePanel* panel, const WorkList* workList, SettingsStore* settings,
                     Dialogs* dialogs, QObject* parent = nullptr);

    // The steps of a completed run that belong to other panels. Each may be left empty.
    struct FinishingSteps
    {
        // Re-reads the browse panel's folder and fills the browse list again.
        std::function<void()> refreshBrowseList;
        // Empties the preview picture.
        std::function<void()> clearPreview;
        // Empties the work list completely: entries, view, marker "non" and count.
        std::function<void()> emptyWorkList;
    };
    void setFinishingSteps(FinishingSteps steps) { m_finish = std::move(steps); }

    // The system clock by default.
    void setClock(renaming::Clock clock) { m_clock = std::move(clock); }

    // Fills Combo2 (selecting the stored "Format") and Combo11 (showing "Remplace par Texte").
    void rempliCombo();

    // The window the progress dialog of a long run belongs to.
    void setDialogParent(QWidget* parent) { m_dialogParent = parent; }

    // The report of the last run that started.
    const renaming::RunReport& lastReport() const { return m_lastReport; }

public Q_SLOTS:
    // Shows the first work-list entry's new name in the example label.
    void VisuRenom();
    // Checks, asks, renames the whole work list and ends with the finishing steps.
    void renom();
    // Puts back the names of the last rename run (the window's or the command line's).
    void annulerDernierRenommage();
    // At start: offers to put back the names of a rename run that was cut short.
    void checkInterruptedRun();

private:
    void onNameFormClicked(int index);
    void onStyleClicked(int index);
    void onNameTextChanged();
    void applyFieldRule(int form);
    void showFailure(const QString& text);
    void undo();
    renaming::RunReport runWithProgress(const renaming::RenamePlan& plan,
                                        renaming::RunControls controls);

    RenamePanel* m_panel;
    const WorkList* m_workList;
    SettingsStore* m_settings;
    Dialogs* m_dialogs;
    FinishingSteps m_finish;
    renaming::Clock m_clock;
    renaming::RunReport m_lastReport;
    QWidget* m_dialogParent = nullptr;
    // Set while the run puts the name text back: the example is emptied right after.
    bool m_previewSuppressed = false;
    bool m_typing = false;
    // The settings write warning is shown once until a write succeeds again.
    bool m_writeWarningShown = false;
};
