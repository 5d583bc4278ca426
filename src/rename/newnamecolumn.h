#pragma once

#include "rename/renamerequest.h"

#include <QObject>

class QComboBox;
class RenamePanel;
class SettingsStore;
class WorkListModel;

namespace renaming {
class NewNamePreview;
}

// Feeds the work list's "Nouveau nom" column from the rename panel's fields (or, on the
// conversion tab, the output format Combo3) and the settings, refreshing it a short pause
// after any of them or the list changes. The panel, combo box, model and settings outlive it.
class NewNameColumn : public QObject
{
    Q_OBJECT
public:
    NewNameColumn(RenamePanel* panel, QComboBox* outputFormats, WorkListModel* model,
                  SettingsStore* settings, QObject* parent = nullptr);

    // The system clock by default; read once per refresh.
    void setClock(renaming::Clock clock) { m_clock = std::move(clock); }
    // Whether the "Convertir" tab is selected: the column then shows the output names.
    void setConversionShown(bool shown);

    renaming::NewNamePreview* preview() const { return m_preview; }

private:
    RenamePanel* m_panel;
    QComboBox* m_outputFormats;
    WorkListModel* m_model;
    SettingsStore* m_settings;
    renaming::Clock m_clock;
    bool m_conversion = false;
    renaming::NewNamePreview* m_preview;
};
