#pragma once

#include "lists/folderlisting.h"

#include <QList>
#include <QString>

#include <functional>

namespace lists {

// A mounted volume offered in Drive1.
struct Volume
{
    QString root;  // mount point ending with '/'
    QString label; // the text shown in the list
};

// Mounted volumes that hold real file systems (no kernel, memory or container-internal
// file systems), sorted by root; the volume of `startupFolder` is always among them.
QList<Volume> mountedVolumes(const QString& startupFolder);

// The root (ending with '/') of the volume that holds `folder`.
QString volumeRootOf(const QString& folder);

// Where a change of volume ends: the root that could be listed and its listing.
struct VolumeChoice
{
    QString root;
    FolderListing listing;
};

using FolderLister = std::function<FolderListing(const QString& folder)>;

// Tries the root of the chosen volume; when it cannot be read, the root of the previous volume
// once; when that fails too (a card pulled out while it was shown), the start-up volume's root.
// No attempt repeats, so the choice always ends. When even the start-up root fails, its failed
// listing is returned.
VolumeChoice chooseVolume(const QString& chosenRoot, const QString& previousRoot,
                          const QString& startupRoot, const FolderLister& lister);

} // namespace lists
