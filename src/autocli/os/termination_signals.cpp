// TerminationSignals: SIGINT, SIGTERM and SIGHUP caught for a while, then ended by as before.
#include "autocli/os/termination_signals.h"

#include <signal.h>

#include <cerrno>

namespace Corvane::AutoCli {

namespace {

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};
constexpr int kCount = sizeof kSignals / sizeof kSignals[0];

// What each signal did before the object was made; `caught` is false for one left alone.
struct sigaction previousActions[kCount];
volatile sig_atomic_t caught[kCount] = {};

int IndexOf(int sig) {
    for (int i = 0; i < kCount; ++i) {
        if (kSignals[i] == sig) {
            return i;
        }
    }
    return -1;
}

} // namespace

TerminationSignals::TerminationSignals(Handler handler) {
    for (int i = 0; i < kCount; ++i) {
        caught[i] = 0;
        if (sigaction(kSignals[i], nullptr, &previousActions[i]) != 0 ||
            previousActions[i].sa_handler == SIG_IGN) {
            continue;
        }
        struct sigaction action {};
        action.sa_handler = handler;
        sigemptyset(&action.sa_mask);
        // One handler at a time: a second termination signal waits until the first is handled.
        for (int other : kSignals) {
            sigaddset(&action.sa_mask, other);
        }
        action.sa_flags = 0; // no SA_RESTART: a blocking read or wait returns with EINTR
        if (sigaction(kSignals[i], &action, nullptr) == 0) {
            caught[i] = 1;
        }
    }
}

TerminationSignals::~TerminationSignals() {
    const int saved = errno;
    for (int i = 0; i < kCount; ++i) {
        if (caught[i] != 0) {
            caught[i] = 0;
            sigaction(kSignals[i], &previousActions[i], nullptr);
        }
    }
    errno = saved;
}

void TerminationSignals::Resignal(int sig) {
    const int saved = errno;
    const int index = IndexOf(sig);
    if (index >= 0 && caught[index] != 0) {
        caught[index] = 0;
        sigaction(sig, &previousActions[index], nullptr);
    }
    raise(sig);
    errno = saved;
}

} // namespace Corvane::AutoCli
