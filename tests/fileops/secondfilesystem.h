#pragma once

#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <sys/mount.h>
#include <sys/stat.h>

// A folder on another file system than `near`: a tmpfs mounted for the test, else a
// temporary folder in /dev/shm when that is another file system. path() is empty when
// neither is available (the caller skips).
class SecondFileSystem
{
public:
    explicit SecondFileSystem(const QString& near)
    {
        m_mounted = ::mount("morvane-test", QFile::encodeName(m_mountPoint.path()).constData(),
                            "tmpfs", 0, "size=64m") == 0;
        if (m_mounted)
            m_path = m_mountPoint.path() + QLatin1Char('/');
        else if (m_shm.isValid() && device(m_shm.path()) != device(near))
            m_path = m_shm.path() + QLatin1Char('/');
    }
    ~SecondFileSystem()
    {
        if (m_mounted)
            ::umount2(QFile::encodeName(m_mountPoint.path()).constData(), MNT_DETACH);
    }

    // A folder ending with '/', or empty.
    const QString& path() const { return m_path; }

    static dev_t device(const QString& path)
    {
        struct stat st;
        return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_dev : 0;
    }

private:
    QTemporaryDir m_mountPoint;
    QTemporaryDir m_shm{QStringLiteral("/dev/shm/morvane-XXXXXX")};
    bool m_mounted = false;
    QString m_path;
};

#define SKIP_WITHOUT_SECOND_FILE_SYSTEM(fs)                                                        \
    if ((fs).path().isEmpty())                                                                     \
    GTEST_SKIP() << "no second file system: mounting a tmpfs failed and /dev/shm is on the "       \
                    "same file system as the temporary folder"
