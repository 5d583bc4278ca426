#pragma once

#include <QString>

// Named text values under a key path, kept in an INI file. The key path
// ("HKEY_LOCAL_MACHINE\software\Morvane") selects a section: the root key's name is
// dropped and the subkeys form the section ("software/Morvane"). Every read goes to the
// file, so a change made from outside is seen at once.
//
// Only a file Morvane can read entirely is used: UTF-8 text of at most maxFileSize bytes
// whose every line is blank, a comment (";" or "#"), a "[section]" or a "key=value" line.
// Any other file reads as holding no value and is never written.
class RegAccess
{
public:
    enum class FileState
    {
        Ok,
        Missing,
        Malformed,
        Unreadable
    };

    static constexpr qint64 maxFileSize = 1024 * 1024;

    explicit RegAccess(QString iniPath);

    const QString& filePath() const { return m_path; }

    void setKeyPath(const QString& keyPath);
    bool valueExists(const QString& name, int reserved = 0) const;
    // The stored text, or empty text when the value is missing.
    QString readValue(const QString& name) const;
    // Creates or replaces the value. False when the file cannot be written, or when it is
    // malformed: rewriting it would drop whatever the parser did not understand.
    bool writeValue(const QString& name, const QString& text);
    // Whether writeValue() could store a value now, without storing one.
    bool writable() const;
    // A section exists as soon as it holds a value; creating one is checking that the
    // settings folder can be made. Creating a key that exists does no harm.
    bool createKey(const QString& subkey);

    // Malformed as soon as the file is too big, whatever its content: the size is known
    // before a byte of it is read.
    FileState fileState() const;

private:
    QString groupName() const;
    // The file is missing or can be read entirely.
    bool usable() const;

    QString m_path;
    QString m_keyPath;
};
