#pragma once

// The exit statuses of morvane-batch, listed in its help and the README.
namespace cli {

enum ExitStatus : int
{
    ExitOk = 0,          // every file done or skipped
    ExitSomeFailed = 1,  // at least one file failed (a rename run was put back)
    ExitRefused = 2,     // usage error, or the check before the run refused it: nothing changed
    ExitStranded = 3,    // rename: putting a file back failed; some files have new names
    ExitInterrupt = 130, // stopped by SIGINT
    ExitTerminate = 143, // stopped by SIGTERM
};

} // namespace cli
