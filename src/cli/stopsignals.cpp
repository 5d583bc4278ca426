#include "cli/stopsignals.h"

#include "cli/console.h"
#include "cli/exitstatus.h"

#include <csignal>

#include <pthread.h>

namespace cli {

namespace {

// SIGUSR2 only ends the watching thread; it is never sent from outside by this program.
sigset_t watchedSignals(bool withQuit)
{
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    if (withQuit)
        sigaddset(&set, SIGUSR2);
    return set;
}

} // namespace

StopSignals::StopSignals()
{
    const sigset_t set = watchedSignals(true);
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
    m_thread = std::thread([this] { watch(); });
}

StopSignals::~StopSignals()
{
    pthread_kill(m_thread.native_handle(), SIGUSR2);
    m_thread.join();
}

void StopSignals::watch()
{
    const sigset_t set = watchedSignals(true);
    for (;;) {
        int received = 0;
        if (sigwait(&set, &received) != 0)
            continue;
        if (received == SIGUSR2)
            return;
        int none = 0;
        if (m_signal.compare_exchange_strong(none, received)) {
            m_cancel.store(true);
            const std::lock_guard lock(m_mutex);
            m_stopped.notify_all();
        }
    }
}

bool StopSignals::waitForStop(std::chrono::milliseconds timeout)
{
    std::unique_lock lock(m_mutex);
    return m_stopped.wait_for(lock, timeout, [this] { return stopRequested(); });
}

int StopSignals::exitStatus() const
{
    return signal() == SIGTERM ? ExitTerminate : ExitInterrupt;
}

int stoppedBeforeTheRun(const StopSignals& stops)
{
    Console::message((stops.signal() == SIGTERM ? QStringLiteral("Arrêté par SIGTERM")
                                                : QStringLiteral("Interrompu par SIGINT")) +
                     QStringLiteral(" : rien n'a été changé."));
    return stops.exitStatus();
}

} // namespace cli
