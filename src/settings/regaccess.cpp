#include "settings/regaccess.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStringList>

RegAccess::RegAccess(QString iniPath) : m_path(std::move(iniPath)) {}

void RegAccess::setKeyPath(const QString& keyPath)
{
    m_keyPath = keyPath;
}

QString RegAccess::groupName() const
{
    QStringList parts = m_keyPath.split(QLatin1Char('\\'), Qt::SkipEmptyParts);
    if (!parts.isEmpty())
        parts.removeFirst(); // the root key's name
    return parts.join(QLatin1Char('/'));
}

bool RegAccess::valueExists(const QString& name, int) const
{
    QSettings settings(m_path, QSettings::IniFormat);
    settings.beginGroup(groupName());
    return settings.contains(name);
}

QString RegAccess::readValue(const QString& name) const
{
    QSettings settings(m_path, QSettings::IniFormat);
    settings.beginGroup(groupName());
    const QVariant value = settings.value(name);
    // An INI line such as "Visu=1, 2" reads back as a list; the stored text is what counts.
    if (value.typeId() == QMetaType::QStringList)
        return value.toStringList().join(QStringLiteral(", "));
    return value.toString();
}

bool RegAccess::writeValue(const QString& name, const QString& text)
{
    QSettings settings(m_path, QSettings::IniFormat);
    if (settings.status() != QSettings::NoError)
        return false;
    settings.beginGroup(groupName());
    settings.setValue(name, text);
    settings.endGroup();
    settings.sync();
    return settings.status() == QSettings::NoError;
}

bool RegAccess::createKey(const QString&)
{
    return QDir().mkpath(QFileInfo(m_path).absolutePath());
}

RegAccess::FileState RegAccess::fileState() const
{
    const QFileInfo info(m_path);
    if (!info.exists())
        return FileState::Missing;
    QSettings settings(m_path, QSettings::IniFormat);
    switch (settings.status()) {
    case QSettings::NoError:
        return FileState::Ok;
    case QSettings::FormatError:
        return FileState::Malformed;
    case QSettings::AccessError:
        break;
    }
    return FileState::Unreadable;
}
