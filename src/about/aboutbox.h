#pragma once

#include <QDialog>

class Desktop;
class SettingsStore;

// frmAbout: product, version, links to the project and the system-information program.
class AboutBox : public QDialog
{
    Q_OBJECT
public:
    AboutBox(SettingsStore& settings, Desktop& desktop, QWidget* parent = nullptr);

    void StartSysInfo();

    static const QString webAddress;
    static const QString mailAddress;

private:
    SettingsStore& m_settings;
    Desktop& m_desktop;
};
