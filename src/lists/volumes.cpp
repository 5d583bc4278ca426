#include "lists/volumes.h"

#include "fileops/fileops.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>
#include <QStorageInfo>

#include <algorithm>

namespace lists {

namespace {

bool isVirtualFileSystem(const QByteArray& type)
{
    static const QSet<QByteArray> virtualTypes = {
        "autofs",     "binfmt_misc", "bpf",      "cgroup",   "cgroup2", "configfs",
        "debugfs",    "devpts",      "devtmpfs", "efivarfs", "fusectl", "hugetlbfs",
        "mqueue",     "nsfs",        "proc",     "pstore",   "ramfs",   "rpc_pipefs",
        "securityfs", "squashfs",    "sysfs",    "tmpfs",    "tracefs", "fuse.gvfsd-fuse",
        "fuse.portal"};
    return virtualTypes.contains(type);
}

} // namespace

QString volumeRootOf(const QString& folder)
{
    const QStorageInfo storage(folder);
    const QString root = storage.isValid() ? storage.rootPath() : QDir::rootPath();
    return fileops::withSlash(root);
}

QList<Volume> mountedVolumes(const QString& startupFolder)
{
    const QString startupRoot = volumeRootOf(startupFolder);
    QList<Volume> volumes;
    QSet<QString> seen;
    const QList<QStorageInfo> all = QStorageInfo::mountedVolumes();
    for (const QStorageInfo& storage : all) {
        const QString root = fileops::withSlash(storage.rootPath());
        if (seen.contains(root))
            continue;
        const bool isStartup = root == startupRoot;
        // Single files bind-mounted by containers are not volumes one can browse.
        if (!isStartup && (!storage.isValid() || !storage.isReady() ||
                           isVirtualFileSystem(storage.fileSystemType()) ||
                           !QFileInfo(storage.rootPath()).isDir()))
            continue;
        seen.insert(root);
        QString label = root;
        const QString name = storage.displayName();
        if (!name.isEmpty() && name != storage.rootPath() && fileops::withSlash(name) != root)
            label += QStringLiteral(" [") + name + QLatin1Char(']');
        volumes.push_back({root, label});
    }
    if (!seen.contains(startupRoot))
        volumes.push_back({startupRoot, startupRoot});
    std::sort(volumes.begin(), volumes.end(),
              [](const Volume& a, const Volume& b) { return a.root < b.root; });
    return volumes;
}

VolumeChoice chooseVolume(const QString& chosenRoot, const QString& previousRoot,
                          const QString& startupRoot, const FolderLister& lister)
{
    QStringList attempts{chosenRoot};
    for (const QString& root : {previousRoot, startupRoot}) {
        if (!root.isEmpty() && !attempts.contains(root))
            attempts.push_back(root);
    }
    VolumeChoice choice;
    for (const QString& root : attempts) {
        choice = {root, lister(root)};
        if (choice.listing.ok())
            break;
    }
    return choice;
}

} // namespace lists
