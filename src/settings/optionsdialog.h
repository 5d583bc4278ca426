#pragma once

#include <QDialog>

#include <array>

class Dialogs;
class QAbstractButton;
class QCheckBox;
class QGroupBox;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QScrollArea;
class QSpinBox;
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
    // "Ok": writes those of the values of fields() the user changed since load() and closes, so
    // what another window stored meanwhile stays. A failed write is reported once.
    void confirm();
    // "..." of the rename / conversion folder: picks a folder and stores it at once.
    void chooseRenameFolder();
    void chooseConversionFolder();

    static constexpr QSize clientSize{441, 321};

private:
    // A value "Ok" stores, with the control that shows it.
    struct Field
    {
        const QString& name;
        QAbstractButton* control;
        bool asWord; // stored as "True"/"False", else as "1"/"0"
    };
    static constexpr size_t fieldCount = 15;
    // The values "Ok" stores, in the order it writes them.
    std::array<Field, fieldCount> fields() const;

    void showTab(int index);
    void updateEnablings();
    // "Date du fichier" and "Ordre des dates": their captions and option pairs.
    QWidget* makeDateOptions();
    void loadDateOptions();
    // Stores those of the two that changed since load(); false when a write failed.
    bool storeDateOptions(bool& changed);
    void chooseFolder(const QString& name, QLineEdit* field);
    void reportWriteFailure();

    SettingsStore& m_settings;
    Dialogs& m_dialogs;
    QTabBar* m_ts1;
    QGroupBox* m_frame1;
    QGroupBox* m_frame2;
    QGroupBox* m_frame3;
    QGroupBox* m_frame4;
    // The "Options avancées" tab: one list of options that scrolls once it outgrows the page.
    QGroupBox* m_frame5;
    QScrollArea* m_advanced;
    QRadioButton* m_optDateModif = nullptr;
    QRadioButton* m_optDatePriseDeVue = nullptr;
    QRadioButton* m_optOrdreJMA = nullptr;
    QRadioButton* m_optOrdreAMJ = nullptr;
    bool m_shownDatePriseDeVue = false;
    bool m_shownOrdreAMJ = false;
    QRadioButton* m_option1;
    QRadioButton* m_option2;
    QRadioButton* m_option3;
    QRadioButton* m_option4;
    QRadioButton* m_option5;
    QRadioButton* m_option6;
    QCheckBox* m_check1;
    QCheckBox* m_check2;
    QCheckBox* m_check3;
    QCheckBox* m_chkCorbeille;
    QCheckBox* m_chkGarderMeta;
    QCheckBox* m_chkGarderDates;
    QCheckBox* m_chkApercuTout;
    QCheckBox* m_chkDernierDossier;
    QCheckBox* m_chkTiffWebp;
    QSpinBox* m_spinQualiteJpeg;    // 0 to 100
    QSpinBox* m_spinCompressionPng; // 0 to 9, or -1 "Par défaut"
    QLineEdit* m_textTailleMax;     // "LxH", empty for no resizing
    QLineEdit* m_text1;
    QLineEdit* m_text2;
    QPushButton* m_command1;
    QPushButton* m_command2;
    QPushButton* m_command3;
    QPushButton* m_command4;
    std::array<bool, fieldCount> m_shown{}; // the state of each field when load() filled it
    int m_shownQuality = 0;                 // the same for the spin boxes and the size
    int m_shownCompression = 0;
    QString m_shownTailleMax;
};
