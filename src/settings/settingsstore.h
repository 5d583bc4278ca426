#pragma once

#include "settings/regaccess.h"

#include <QString>

#include <optional>

// The settings of one run over many files, read once at its start: nothing can change
// them while the run lasts, and reading them per file would cost more than the files.
struct SettingsSnapshot
{
    QString visu;
    QString repertNom;
    QString repertConv;
    int format = 0;
    bool copieOriginal = false; // "CopieOriginal" is 1
    long long supOriginal = 0;
    bool repertCopieOriginal = false;
    bool repertCopieDest = false;
    bool renomOrig = false;
    bool renomDest = false;
    bool convOrig = false;
    bool convDest = false;
    bool corbeille = false;      // deleted files go to the Trash
    bool datePriseDeVue = false; // the date forms read the picture's date taken
    bool ordreAMJ = false;       // "OrdreDates" is aaaa-mm-jj: dates written year first
    bool garderMeta = true;      // conversions keep the originals' metadata
    bool garderDates = false;    // conversions give outputs their originals' modification time
    bool dernierDossier = false; // the last folder, filter and size are restored at start
    int qualiteJpeg = 90;        // from 0 to 100: 90 when not stored, 75 when out of range
    int compressionPng = -1;     // from 0 to 9, or -1 for the encoder's default
    QString tailleMax;           // "LxH" as stored; empty for no resizing
    bool tiffWebp = false;       // window conversions take TIFF and WebP files too
};

// What start-up found and did, for the window to tell the user once.
struct StartupReport
{
    // Set when a malformed file was moved aside: the file and its new name.
    std::optional<std::pair<QString, QString>> movedAside;
    // Set when the malformed file could not be moved aside (it is left as it was).
    bool malformedKept = false;
    // False when the defaults could not be stored.
    bool defaultsStored = true;
};

// The program's settings: named text values under the product key of an INI file.
// Nothing is cached; every read goes to the file at the moment of use.
class SettingsStore
{
public:
    explicit SettingsStore(QString iniPath);

    // $XDG_CONFIG_HOME/Morvane/Morvane.ini (else ~/.config/Morvane/Morvane.ini).
    static QString defaultPath();

    const QString& filePath() const { return m_reg.filePath(); }

    // Creates the product key and stores the default of every missing value, in order.
    // A malformed file is first moved aside (never rewritten) and the defaults stored.
    StartupReport initialise(const QString& programFolder);

    // An advanced option that is not stored reads as its default (settings::advancedDefaults).
    QString readText(const QString& name) const;
    // A whole decimal number (blanks aside); text that is not one reads as 0.
    long long readNumber(const QString& name) const;
    // "True"/"False", "Vrai"/"Faux" in any case, or a number (0 false, any other true).
    // Anything else reads as false.
    // A value of the "Options avancées" tab that is missing or spells no flag reads as its
    // default.
    bool readFlag(const QString& name) const;

    bool exists(const QString& name) const;
    // False when the value could not be stored; writeFailureText() says why.
    bool write(const QString& name, const QString& text);
    bool writeFlag(const QString& name, bool value);
    // The values of the session section (settings::session), beside the product key.
    QString readSession(const QString& name) const;
    bool writeSession(const QString& name, const QString& text);
    // Whether a value could be stored now (nothing is stored).
    bool writable() const;

    SettingsSnapshot snapshot() const;

    // "QualiteJPEG": 90 when it is not stored, the number when it is one from 0 to 100, 75
    // otherwise.
    int jpegQuality() const;
    // "CompressionPNG": a level from 0 to 9, -1 (the encoder's default) for anything else.
    int pngCompression() const;

    // The message shown when a write fails.
    QString writeFailureText() const;
    static QString movedAsideText(const QString& file, const QString& newName);
    static QString malformedKeptText(const QString& file);

    // The folder text as stored: no trailing separator except at the root.
    static QString folderText(const QString& folder);

    static bool parseFlag(const QString& text);
    // The flag `text` spells, or nothing when it spells none.
    static std::optional<bool> flagValue(const QString& text);
    static long long parseNumber(const QString& text);

    // Whether a stored "OrdreDates" asks for year-first dates (aaaa-mm-jj).
    static bool parseOrdreAMJ(const QString& text);

private:
    mutable RegAccess m_reg;
};
