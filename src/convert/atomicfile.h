#pragma once

#include "imaging/status.h"

#include <QByteArray>

#include <functional>

class QIODevice;
class QString;

namespace convert {

enum class WriteMode
{
    Replace,   // whatever entry holds the name (a file, a link) is replaced, never followed
    NoReplace, // Status::DestinationExists when anything holds the name, a dangling link too
};

// Writes `destination` through a temporary file `.morvane-*` created (exclusively) in its
// folder: `write` fills the temporary, which is synced to disk and renamed to the
// destination name only when `write` returns Status::Ok. A symbolic link at the destination
// is replaced as a name, never written through: its target is never opened. With
// WriteMode::NoReplace the final step fails with Status::DestinationExists, leaving the
// existing entry alone, when the name was taken meanwhile. On any failure the temporary is
// removed and a previous file at `destination` stays as it was. A replaced file keeps its
// permissions; a new one gets the usual ones (0666 less the umask).
Status writeAtomically(const QString& destination,
                       const std::function<Status(QIODevice& device)>& write,
                       WriteMode mode = WriteMode::Replace);

// Same, for bytes already encoded.
Status writeAtomically(const QString& destination, const QByteArray& bytes,
                       WriteMode mode = WriteMode::Replace);

// The hidden name beside `output` under which this process writes it before the rename into
// place: ".morvane-<machine>-<process>-<random>".
QString stagingPath(const QString& output);

// Removes from `folder` the temporaries of writers of this program, on this machine, whose
// process is gone (a killed run). Only names of stagingPath()'s exact form are touched, and
// only regular files; returns how many were removed.
int removeStaleStaging(const QString& folder);

namespace testing {
// Test support: when the hook returns a byte budget for a destination, the device handed to
// the writer accepts that many bytes and then fails every write, as a full disk does. No
// hook (or a negative budget) writes normally. Defined only in a build with the tests.
using WriteFailureHook = std::function<qint64(const QString& destination)>;
void setWriteFailureHook(WriteFailureHook hook);
} // namespace testing

} // namespace convert
