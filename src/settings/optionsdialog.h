#pragma once

#include <QDialog>

class Dialogs;
class QCheckBox;
class QGroupBox;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTabBar;
class SettingsStore;

// Form3 "Options": edits the settings other than the numbering style. The two folders are
// stored as soon as they are chosen; the rest when the user confirms with "Ok".
class OptionsDialog : public QDialog
{
    Q_OBJECT
public:
    OptionsDialog(SettingsStore& settings, Dialogs& dialogs, QWidget* parent = nullptr);

    // Fills the controls from the settings and shows the "Renommer" tab.
    void load();
    // "Ok": writes the nine values and closes. A failed write is reported once.
    void confirm();
    // "..." of the rename / conversion folder: picks a folder and stores it at once.
    void chooseRenameFolder();
    void chooseConversionFolder();

    static constexpr QSize clientSize{441, 321};

private:
    void showTab(int index);
    void updateEnablings();
    void chooseFolder(const QString& name, QLineEdit* field);
    void reportWriteFailure();

    SettingsStore& m_settings;
    Dialogs& m_dialogs;
    QTabBar* m_ts1;
    QGroupBox* m_frame1;
    QGroupBox* m_frame2;
    QGroupBox* m_frame3;
    QGroupBox* m_frame4;
    QRadioButton* m_option1;
    QRadioButton* m_option2;
    QRadioButton* m_option3;
    QRadioButton* m_option4;
    QRadioButton* m_option5;
    QRadioButton* m_option6;
    QCheckBox* m_check1;
    QCheckBox* m_check2;
    QCheckBox* m_check3;
    QLineEdit* m_text1;
    QLineEdit* m_text2;
    QPushButton* m_command1;
    QPushButton* m_command2;
    QPushButton* m_command3;
    QPushButton* m_command4;
};
