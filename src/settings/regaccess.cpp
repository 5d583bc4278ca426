#include "settings/regaccess.h"

#include <QByteArrayView>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QSettings>
#include <QStringList>

namespace {

// Every line blank, a comment, a "[section]" or a "key=value" with a key; UTF-8 throughout
// (a leading byte order mark aside) and no NUL byte. Lines end at "\n" or "\r", as QSettings
// reads them.
bool wellFormed(QByteArrayView text)
{
    if (text.startsWith("\xEF\xBB\xBF"))
        text = text.sliced(3);
    if (text.contains('\0') || !text.isValidUtf8())
        return false;
    while (!text.isEmpty()) {
        qsizetype end = 0;
        while (end < text.size() && text[end] != '\n' && text[end] != '\r')
            ++end;
        const QByteArrayView line = text.first(end).trimmed();
        text = text.sliced(qMin(end + 1, text.size()));
        if (line.isEmpty() || line.startsWith(';') || line.startsWith('#'))
            continue;
        if (line.startsWith('[') && line.endsWith(']'))
            continue;
        const qsizetype equals = line.indexOf('=');
        if (equals < 0 || line.first(equals).trimmed().isEmpty())
            return false;
    }
    return true;
}

// QSettings waits for the lock file of any write. One left by a writer that was killed
// goes at once when it names a dead process, but one QLockFile cannot read (killed while
// creating it, or garbage) is waited for until it is 30 s old. A live writer keeps its lock
// file open and locked (flock), and on Linux removeStaleLockFile() removes only an unlocked
// one; a lock being created is unlocked for the instant between its creation and its flock.
void removeLeftoverLock(const QString& iniPath)
{
    const QString lockPath = iniPath + QStringLiteral(".lock");
    if (QFileInfo::exists(lockPath))
        QLockFile(lockPath).removeStaleLockFile();
}

} // namespace

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

bool RegAccess::usable() const
{
    const FileState state = fileState();
    return state == FileState::Ok || state == FileState::Missing;
}

bool RegAccess::valueExists(const QString& name, int) const
{
    if (!usable())
        return false;
    QSettings settings(m_path, QSettings::IniFormat);
    settings.beginGroup(groupName());
    return settings.contains(name);
}

QString RegAccess::readValue(const QString& name) const
{
    if (!usable())
        return {};
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
    if (!usable())
        return false;
    removeLeftoverLock(m_path);
    QSettings settings(m_path, QSettings::IniFormat);
    settings.beginGroup(groupName());
    settings.setValue(name, text);
    settings.endGroup();
    settings.sync();
    switch (settings.status()) {
    case QSettings::NoError:
        return true;
    case QSettings::FormatError:
        // In a file checked as above, QSettings finds fault only with "#" comments, which it
        // drops as it does ";" ones; it reports that rather than the outcome of the write.
        return settings.isWritable();
    case QSettings::AccessError:
        break;
    }
    return false;
}

bool RegAccess::writable() const
{
    return usable() && QSettings(m_path, QSettings::IniFormat).isWritable();
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
    if (info.size() > maxFileSize)
        return FileState::Malformed;
    QFile file(m_path);
    if (!file.open(QIODevice::ReadOnly))
        return FileState::Unreadable;
    // Read at most one byte over the limit: the file may have grown since its size was read.
    const QByteArray bytes = file.read(maxFileSize + 1);
    return bytes.size() > maxFileSize || !wellFormed(bytes) ? FileState::Malformed : FileState::Ok;
}
