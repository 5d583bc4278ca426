#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace cli {

// Turns SIGINT and SIGTERM into a request to stop. Both signals stay blocked in every thread
// of the program (the constructor blocks them before any other thread starts, and threads
// inherit the mask); one thread of this class waits for them with sigwait. A run therefore
// reads a flag between files, and no step of a run, an undo least of all, is ever cut short
// by a signal handler. Construct it first thing in main().
class StopSignals
{
public:
    StopSignals();
    ~StopSignals();
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

    // The first stop signal received, 0 while none was.
    int signal() const { return m_signal.load(); }
    bool stopRequested() const { return m_signal.load() != 0; }

    // Set together with signal(): handed to engines that take a cancellation flag.
    const std::atomic<bool>& cancelFlag() const { return m_cancel; }

    // Waits until a stop signal arrives or `timeout` passes; true when one arrived.
    bool waitForStop(std::chrono::milliseconds timeout);

    // The exit status for the signal received: 130 for SIGINT, 143 for SIGTERM.
    int exitStatus() const;

private:
    void watch();

    std::atomic<int> m_signal{0};
    std::atomic<bool> m_cancel{false};
    std::mutex m_mutex;
    std::condition_variable m_stopped;
    std::thread m_thread;
};

// Says that a stop signal came before the first change and returns its exit status.
int stoppedBeforeTheRun(const StopSignals& stops);

} // namespace cli
