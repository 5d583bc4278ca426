#pragma once

#include <QString>

#include <array>

namespace settings {

inline const QString productName = QStringLiteral("Morvane");
inline const QString softwareKey = QStringLiteral("HKEY_LOCAL_MACHINE\\software");
inline const QString productKey = softwareKey + QStringLiteral("\\") + productName;

// The names of the stored values, spelled as they are stored.
namespace names {
inline const QString visu = QStringLiteral("Visu");
inline const QString repertNom = QStringLiteral("RepertNom");
inline const QString repertConv = QStringLiteral("RepertConv");
inline const QString format = QStringLiteral("Format");
inline const QString copieOriginal = QStringLiteral("CopieOriginal");
inline const QString supOriginal = QStringLiteral("SupOriginal");
inline const QString repertCopieOriginal = QStringLiteral("RepertCopieOriginal");
inline const QString repertCopieDest = QStringLiteral("RepertCopieDest");
inline const QString renomOrig = QStringLiteral("RenomOrig");
inline const QString renomDest = QStringLiteral("RenomDest");
inline const QString convOrig = QStringLiteral("ConvOrig");
inline const QString convDest = QStringLiteral("ConvDest");
inline const QString infosSysteme = QStringLiteral("InfosSysteme");
inline const QString corbeille = QStringLiteral("Corbeille");
inline const QString garderMeta = QStringLiteral("GarderMeta");
inline const QString garderDates = QStringLiteral("GarderDates");
inline const QString apercuTout = QStringLiteral("ApercuTout");
inline const QString dernierDossier = QStringLiteral("DernierDossier");
inline const QString qualiteJpeg = QStringLiteral("QualiteJPEG");
inline const QString compressionPng = QStringLiteral("CompressionPNG");
inline const QString tailleMax = QStringLiteral("TailleMax");
inline const QString tiffWebp = QStringLiteral("TiffWebp");
} // namespace names

// The date forms' file date and the order of every date's pieces.
namespace names {
inline const QString datePriseDeVue = QStringLiteral("DatePriseDeVue");
inline const QString ordreDates = QStringLiteral("OrdreDates");
} // namespace names
// The two values of "OrdreDates"; any other reads as the first.
inline const QString ordreJMA = QStringLiteral("jj-mm-aaaa");
inline const QString ordreAMJ = QStringLiteral("aaaa-mm-jj");

struct Default
{
    QString name;
    QString value; // empty for the two folders: they default to the program's folder
    bool isProgramFolder = false;
};

// Every stored value with its first-start default, in the order start-up writes them.
inline const std::array<Default, 12> defaults = {{
    {names::visu, QStringLiteral("1")},
    {names::repertNom, QString(), true},
    {names::repertConv, QString(), true},
    {names::format, QStringLiteral("4")},
    {names::copieOriginal, QStringLiteral("0")},
    {names::supOriginal, QStringLiteral("0")},
    {names::repertCopieOriginal, QStringLiteral("0")},
    {names::repertCopieDest, QStringLiteral("1")},
    {names::renomOrig, QStringLiteral("1")},
    {names::renomDest, QStringLiteral("0")},
    {names::convOrig, QStringLiteral("1")},
    {names::convDest, QStringLiteral("0")},
}};

// The values of the "Options avancées" tab with their defaults. Start-up does not write them:
// a missing value reads as its default, as does one that cannot be read.
inline const std::array<Default, 11> advancedDefaults = {{
    {names::corbeille, QStringLiteral("0")},
    {names::datePriseDeVue, QStringLiteral("0")},
    {names::ordreDates, ordreJMA},
    {names::garderMeta, QStringLiteral("1")},
    {names::garderDates, QStringLiteral("0")},
    {names::apercuTout, QStringLiteral("0")},
    {names::dernierDossier, QStringLiteral("0")},
    {names::qualiteJpeg, QStringLiteral("90")},
    {names::compressionPng, QStringLiteral("-1")}, // the encoder's own level
    {names::tailleMax, QString()},                 // "LxH"; empty: no resizing
    {names::tiffWebp, QStringLiteral("0")},
}};

// A stored JPEG quality outside 0 to 100, or that is not a number, gives this one.
inline constexpr int fallbackJpegQuality = 75;

// The section of what "DernierDossier" restores at start, apart from the options.
inline const QString sessionKey = QStringLiteral("HKEY_CURRENT_USER\\session");
namespace session {
inline const QString dossier = QStringLiteral("Dossier");
inline const QString filtre = QStringLiteral("Filtre");
inline const QString largeur = QStringLiteral("Largeur");
inline const QString hauteur = QStringLiteral("Hauteur");
} // namespace session

} // namespace settings
