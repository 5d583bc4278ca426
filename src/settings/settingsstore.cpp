#include "settings/settingsstore.h"

#include "settings/settingsschema.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

SettingsStore::SettingsStore(QString iniPath) : m_reg(std::move(iniPath))
{
    m_reg.setKeyPath(settings::productKey);
}

QString SettingsStore::defaultPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/Morvane/Morvane.ini");
}

QString SettingsStore::folderText(const QString& folder)
{
    QString text = QDir::cleanPath(folder);
    while (text.size() > 1 && text.endsWith(QLatin1Char('/')))
        text.chop(1);
    return text;
}

namespace {

// A free name beside `path` for a file put aside: "<name>.illisible-<date>[-n]".
QString asideName(const QString& path)
{
    const QString stem = path + QStringLiteral(".illisible-") +
                         QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString candidate = stem;
    for (int n = 2; QFileInfo::exists(candidate); ++n)
        candidate = stem + QLatin1Char('-') + QString::number(n);
    return candidate;
}

} // namespace

StartupReport SettingsStore::initialise(const QString& programFolder)
{
    StartupReport report;
    if (m_reg.fileState() == RegAccess::FileState::Malformed) {
        const QString aside = asideName(m_reg.filePath());
        if (QFile::rename(m_reg.filePath(), aside)) {
            report.movedAside = std::make_pair(m_reg.filePath(), aside);
        } else {
            report.malformedKept = true;
            report.defaultsStored = false;
            return report;
        }
    }

    m_reg.setKeyPath(settings::softwareKey);
    bool stored = m_reg.createKey(settings::productName);
    m_reg.setKeyPath(settings::productKey);
    const QString folder = folderText(programFolder);
    for (const settings::Default& entry : settings::defaults) {
        if (m_reg.valueExists(entry.name, 0))
            continue;
        stored =
            m_reg.writeValue(entry.name, entry.isProgramFolder ? folder : entry.value) && stored;
    }
    report.defaultsStored = stored;
    return report;
}

namespace {

// The default of the advanced option `name`; nullptr for another value.
const settings::Default* advancedDefault(const QString& name)
{
    for (const settings::Default& entry : settings::advancedDefaults) {
        if (entry.name == name)
            return &entry;
    }
    return nullptr;
}

} // namespace

QString SettingsStore::readText(const QString& name) const
{
    m_reg.setKeyPath(settings::productKey);
    // An advanced option that was never stored reads as its default.
    if (const settings::Default* entry = advancedDefault(name);
        entry && !m_reg.valueExists(name, 0))
        return entry->value;
    return m_reg.readValue(name);
}

long long SettingsStore::parseNumber(const QString& text)
{
    bool ok = false;
    const long long value = text.trimmed().toLongLong(&ok);
    return ok ? value : 0;
}

std::optional<bool> SettingsStore::flagValue(const QString& text)
{
    const QString word = text.trimmed();
    if (word.compare(QStringLiteral("true"), Qt::CaseInsensitive) == 0 ||
        word.compare(QStringLiteral("vrai"), Qt::CaseInsensitive) == 0)
        return true;
    if (word.compare(QStringLiteral("false"), Qt::CaseInsensitive) == 0 ||
        word.compare(QStringLiteral("faux"), Qt::CaseInsensitive) == 0)
        return false;
    bool ok = false;
    const double number = word.toDouble(&ok);
    if (!ok)
        return std::nullopt;
    return number != 0.0;
}

bool SettingsStore::parseFlag(const QString& text)
{
    return flagValue(text).value_or(false);
}

long long SettingsStore::readNumber(const QString& name) const
{
    return parseNumber(readText(name));
}

bool SettingsStore::readFlag(const QString& name) const
{
    const QString text = readText(name);
    // An advanced flag stored as something else than a flag reads as its default too.
    if (const settings::Default* entry = advancedDefault(name))
        return flagValue(text).value_or(parseFlag(entry->value));
    return parseFlag(text);
}

bool SettingsStore::exists(const QString& name) const
{
    m_reg.setKeyPath(settings::productKey);
    return m_reg.valueExists(name, 0);
}

bool SettingsStore::write(const QString& name, const QString& text)
{
    m_reg.setKeyPath(settings::productKey);
    return m_reg.writeValue(name, text);
}

bool SettingsStore::writeFlag(const QString& name, bool value)
{
    return write(name, value ? QStringLiteral("True") : QStringLiteral("False"));
}

QString SettingsStore::readSession(const QString& name) const
{
    m_reg.setKeyPath(settings::sessionKey);
    return m_reg.readValue(name);
}

bool SettingsStore::writeSession(const QString& name, const QString& text)
{
    m_reg.setKeyPath(settings::sessionKey);
    return m_reg.writeValue(name, text);
}

bool SettingsStore::writable() const
{
    return m_reg.writable();
}

SettingsSnapshot SettingsStore::snapshot() const
{
    namespace n = settings::names;
    SettingsSnapshot s;
    s.visu = readText(n::visu);
    s.repertNom = readText(n::repertNom);
    s.repertConv = readText(n::repertConv);
    s.format = static_cast<int>(readNumber(n::format));
    s.copieOriginal = readNumber(n::copieOriginal) == 1; // a number: only 1 keeps copies
    s.supOriginal = readNumber(n::supOriginal);
    s.repertCopieOriginal = readFlag(n::repertCopieOriginal);
    s.repertCopieDest = readFlag(n::repertCopieDest);
    s.renomOrig = readFlag(n::renomOrig);
    s.renomDest = readFlag(n::renomDest);
    s.convOrig = readFlag(n::convOrig);
    s.convDest = readFlag(n::convDest);
    s.corbeille = readFlag(n::corbeille);
    s.datePriseDeVue = readFlag(n::datePriseDeVue);
    s.ordreAMJ = parseOrdreAMJ(readText(n::ordreDates));
    s.garderMeta = readFlag(n::garderMeta);
    s.garderDates = readFlag(n::garderDates);
    s.dernierDossier = readFlag(n::dernierDossier);
    s.qualiteJpeg = jpegQuality();
    s.compressionPng = pngCompression();
    s.tailleMax = readText(n::tailleMax).trimmed();
    s.tiffWebp = readFlag(n::tiffWebp);
    return s;
}

bool SettingsStore::parseOrdreAMJ(const QString& text)
{
    return text.trimmed().compare(settings::ordreAMJ, Qt::CaseInsensitive) == 0;
}

int SettingsStore::jpegQuality() const
{
    bool ok = false;
    const int quality = readText(settings::names::qualiteJpeg).trimmed().toInt(&ok);
    return ok && quality >= 0 && quality <= 100 ? quality : settings::fallbackJpegQuality;
}

int SettingsStore::pngCompression() const
{
    bool ok = false;
    const int level = readText(settings::names::compressionPng).trimmed().toInt(&ok);
    return ok && level >= 0 && level <= 9 ? level : -1;
}

QString SettingsStore::writeFailureText() const
{
    return QStringLiteral("Les réglages ne peuvent pas être enregistrés : le fichier « %1 » "
                          "ne peut pas être écrit.")
        .arg(QDir::toNativeSeparators(m_reg.filePath()));
}

QString SettingsStore::movedAsideText(const QString& file, const QString& newName)
{
    return QStringLiteral("Le fichier de réglages « %1 » est illisible. Il a été mis de côté "
                          "sous le nom « %2 » et les réglages par défaut sont utilisés.")
        .arg(file, newName);
}

QString SettingsStore::malformedKeptText(const QString& file)
{
    return QStringLiteral("Le fichier de réglages « %1 » est illisible et n'a pas pu être mis "
                          "de côté. Il est laissé tel quel ; les réglages ne seront pas "
                          "enregistrés.")
        .arg(file);
}
