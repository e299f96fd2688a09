// TerminationSignals: SIGINT, SIGTERM and SIGHUP caught for a while, then ended by as before.
#pragma once

namespace Corvane::AutoCli {

// Catches the three signals that ask a process to end while something must be undone first: the
// terminal's echo switched back on, a child's process group told and reaped. Afterwards Resignal
// puts back the disposition found before and raises the signal again, so that the process ends by
// that very signal (its status is what a shell expects: 130, 143, 129) or, in a program that had
// its own handler, that handler runs as it would have.
//
// A signal ignored when the object is made (a program started with nohup ignores SIGHUP) stays
// ignored. At most one object exists at a time: the dispositions found before are kept in static
// storage, where a handler can reach them.
class TerminationSignals {
public:
    using Handler = void (*)(int);

    explicit TerminationSignals(Handler handler);
    ~TerminationSignals();
    TerminationSignals(const TerminationSignals&) = delete;
    TerminationSignals& operator=(const TerminationSignals&) = delete;

    // Puts back the disposition found before for `sig` and raises it. From a handler the signal
    // stays blocked until the handler returns and is delivered then; elsewhere it is delivered
    // before this returns. Async-signal-safe.
    static void Resignal(int sig);
};

} // namespace Corvane::AutoCli
