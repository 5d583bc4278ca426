#pragma once

#include <QString>

#include <optional>

// Test-only controls of morvane-batch, read from the environment. They exist so that the
// tests, which run as root (permission bits stop nothing), can make file operations fail and
// can interrupt a run at a known point. Nothing else sets these variables, and only a build
// with the tests (MORVANE_TEST_HOOKS) reads them: elsewhere these are no-ops.
//
//   MORVANE_BATCH_TEST_FAIL="call:name[,call:name...]"
//       makes every file-layer call of that kind on a path whose file name is `name` fail
//       with EIO. Calls: rename, link, unlink, create, write, sync, settimes; "write" also
//       makes the conversion's writer fail on an output of that name.
//   MORVANE_BATCH_TEST_PAUSE_AFTER=N
//       after N files are done, prints "pause de test" on standard error and waits (at most
//       a minute) for SIGINT or SIGTERM before going on.
namespace cli {

class StopSignals;

namespace testhooks {

#ifdef MORVANE_TEST_HOOKS

// Installs the failures asked for by MORVANE_BATCH_TEST_FAIL. An error text when the
// variable cannot be read.
std::optional<QString> installFailures();

// Pauses when `done` is the number of files set by MORVANE_BATCH_TEST_PAUSE_AFTER.
class Pause
{
public:
    Pause();
    void afterFiles(int done, StopSignals& stops) const;

private:
    int m_after = -1;
};

#else

inline std::optional<QString> installFailures()
{
    return std::nullopt;
}

class Pause
{
public:
    void afterFiles(int /*done*/, StopSignals& /*stops*/) const {}
};

#endif

} // namespace testhooks
} // namespace cli
