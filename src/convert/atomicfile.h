#pragma once

#include "convert/status.h"

#include <functional>

class QIODevice;
class QString;

namespace convert {

// Writes `destination` through a temporary file in its folder: `write` fills the temporary,
// which is synced to disk and renamed over the destination only when `write` returns
// Status::Ok. On any failure the temporary is removed and a previous file at `destination`
// stays as it was.
Status writeAtomically(const QString& destination,
                       const std::function<Status(QIODevice& device)>& write);

namespace testing {
// Test support: when the hook returns a byte budget for a destination, the device handed to
// the writer accepts that many bytes and then fails every write, as a full disk does. No
// hook (or a negative budget) writes normally.
using WriteFailureHook = std::function<qint64(const QString& destination)>;
void setWriteFailureHook(WriteFailureHook hook);
} // namespace testing

} // namespace convert
