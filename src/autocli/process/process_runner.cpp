// The shell-command runner (piped standard input and output) and its process-wide listener and option hooks.
#include <corvane/process.h>

#include "autocli/os/error_text.h"
#include "autocli/os/termination_signals.h"
#include "autocli/os/unique_fd.h"

#include <tarvikuser.h>

#include <boost/algorithm/string/replace.hpp>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <optional>
#include <vector>

namespace Corvane::AutoCli {

namespace {

// Set by the embedding program before commands run; plain pointers, no locking (one thread).
CommandExecListener commandExecListener = nullptr;
ChildRpZelOptionMaker childRpZelOptionMaker = nullptr;

struct Pipe {
    UniqueFd readEnd;
    UniqueFd writeEnd;
};

// Close-on-exec, so that no other child started meanwhile (by another thread or a later spawn) holds
// an end and keeps the pipe from reporting end of file.
void OpenPipe(Pipe& pipe, const char* failureText) {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) {
        throw CorvaneException(failureText + ErrorText(errno));
    }
    pipe.readEnd.Adopt(fds[0]);
    pipe.writeEnd.Adopt(fds[1]);
}

// Blocks SIGPIPE on this thread while it lives, so that writing to a child that has stopped reading
// fails with EPIPE instead of killing the tool. The SIGPIPE such a write raises stays pending while
// blocked; ConsumeRaised takes it back before the caller's mask returns, unless one was already
// pending before (that one belongs to someone else and must still be delivered).
class SigpipeBlock {
public:
    SigpipeBlock() {
        sigemptyset(&pipeSet);
        sigaddset(&pipeSet, SIGPIPE);
        pthread_sigmask(SIG_BLOCK, &pipeSet, &previousMask);
        sigset_t pending;
        sigemptyset(&pending);
        sigpending(&pending);
        wasPending = sigismember(&pending, SIGPIPE) == 1;
    }
    ~SigpipeBlock() { pthread_sigmask(SIG_SETMASK, &previousMask, nullptr); }
    SigpipeBlock(const SigpipeBlock&) = delete;
    SigpipeBlock& operator=(const SigpipeBlock&) = delete;

    void ConsumeRaised() {
        if (wasPending) {
            return;
        }
        int saved = errno;
        struct timespec noWait = {0, 0};
        while (sigtimedwait(&pipeSet, nullptr, &noWait) < 0 && errno == EINTR) {
        }
        errno = saved;
    }

private:
    sigset_t pipeSet;
    sigset_t previousMask;
    bool wasPending = false;
};

// A started child that must be reaped: unless Wait succeeded, the destructor kills and reaps it, so a
// failure while talking to the child leaves neither a running process nor a zombie behind.
class ChildProcess {
public:
    explicit ChildProcess(pid_t pid) : childPid(pid) {}
    ~ChildProcess() {
        if (childPid <= 0) {
            return;
        }
        int saved = errno;
        kill(childPid, SIGKILL);
        while (waitpid(childPid, nullptr, 0) < 0 && errno == EINTR) {
        }
        errno = saved;
    }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    int Wait(const std::string& command) {
        int status = 0;
        pid_t pid = childPid;
        childPid = -1; // after a failed waitpid the id may not be ours any more: never signal it
        while (waitpid(pid, &status, 0) < 0) {
            if (errno != EINTR) {
                throw CorvaneException("Error waiting for process '" + command + "': " + ErrorText(errno));
            }
        }
        return status;
    }

private:
    pid_t childPid;
};

// The process group of the running child (0 while there is none) and the termination signal this
// process received while it ran, shared with the handler below.
volatile sig_atomic_t childGroup = 0;
volatile sig_atomic_t receivedSignal = 0;

void PassToChildGroup(int sig) {
    receivedSignal = sig;
    const pid_t group = childGroup;
    if (group > 0) {
        const int saved = errno;
        kill(-group, sig);
        errno = saved;
    }
}

// How long the rest of a child's process group may take to end after the child itself was reaped
// before it is killed.
constexpr int kGroupGraceMilliseconds = 1000;

// While a child runs, a SIGINT, SIGTERM or SIGHUP sent to this process (by a supervisor, a timeout,
// the terminal) is passed on to the child's whole process group instead of ending this process at
// once and leaving the program running on its own. Once the child is reaped, whatever else of its
// group is left gets a short while to end and is then killed, and this process ends by the signal
// it received, as it would have without a child.
class ForwardedTermination {
public:
    ForwardedTermination() : signals(&PassToChildGroup) {
        receivedSignal = 0;
        childGroup = 0;
    }
    ~ForwardedTermination() { Finish(); }
    ForwardedTermination(const ForwardedTermination&) = delete;
    ForwardedTermination& operator=(const ForwardedTermination&) = delete;

    // The child has been started as the leader of its own group; a signal that came while it was
    // being started is passed on now.
    void SetChild(pid_t pid) {
        BlockSignals(SIG_BLOCK);
        childGroup = pid;
        group = pid;
        if (receivedSignal != 0) {
            kill(-pid, receivedSignal);
        }
        BlockSignals(SIG_UNBLOCK);
    }

    // Called once the child has been reaped (or has not been started): without a signal received
    // nothing happens and the group's other processes, if any, go on as before.
    void Finish() {
        childGroup = 0;
        const int sig = receivedSignal;
        if (sig == 0) {
            return;
        }
        receivedSignal = 0;
        if (group > 0) {
            EndGroup(group);
            group = 0;
        }
        TerminationSignals::Resignal(sig);
    }

private:
    static void BlockSignals(int how) {
        sigset_t set;
        sigemptyset(&set);
        sigaddset(&set, SIGINT);
        sigaddset(&set, SIGTERM);
        sigaddset(&set, SIGHUP);
        pthread_sigmask(how, &set, nullptr);
    }

    // A program's background processes may ignore the signal (a shell starts them ignoring SIGINT),
    // so what is left of the group when the grace time is over is killed.
    static void EndGroup(pid_t group) {
        for (int waited = 0; waited < kGroupGraceMilliseconds; waited += 10) {
            if (kill(-group, 0) != 0) {
                return;
            }
            struct timespec tick = {0, 10L * 1000 * 1000};
            nanosleep(&tick, nullptr);
        }
        kill(-group, SIGKILL);
    }

    TerminationSignals signals;
    pid_t group = 0;
};

// Feeds `stdinText` to the child and hands its output to `consume` at the same time, so a child that
// writes a lot before reading (or reads a lot before writing) cannot block both sides. Returns true when
// the input is written (or the child stopped reading it) and the output has reached end of file, false
// as soon as `consume` refuses a piece.
bool ExchangeWithChild(UniqueFd& toChild, UniqueFd& fromChild, const std::string& stdinText,
                       const OutputConsumer& consume) {
    std::optional<SigpipeBlock> sigpipeBlock;
    size_t written = 0;
    if (stdinText.empty()) {
        toChild.Reset();
    } else {
        // Non-blocking, so a write never waits for more room than poll reported.
        int flags = fcntl(toChild.Get(), F_GETFL);
        if (flags < 0 || fcntl(toChild.Get(), F_SETFL, flags | O_NONBLOCK) < 0) {
            throw CorvaneException("Unable to write to sub-process: " + ErrorText(errno));
        }
        sigpipeBlock.emplace();
    }

    // The termination signals are let in only while poll waits, so that one cannot slip in between
    // the check below and the wait. After one, the child's output no longer counts: its process
    // group has been told, and a background process that ignores the signal may hold the output
    // open for as long as it likes.
    sigset_t terminationSet;
    sigset_t waitingMask;
    sigemptyset(&terminationSet);
    sigaddset(&terminationSet, SIGINT);
    sigaddset(&terminationSet, SIGTERM);
    sigaddset(&terminationSet, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &terminationSet, &waitingMask);
    struct MaskRestore {
        sigset_t mask;
        ~MaskRestore() { pthread_sigmask(SIG_SETMASK, &mask, nullptr); }
    } maskRestore{waitingMask};

    std::vector<char> buffer(65536);
    while ((fromChild.IsOpen() || toChild.IsOpen()) && receivedSignal == 0) {
        struct pollfd fds[2];
        nfds_t count = 0;
        int readIndex = -1;
        int writeIndex = -1;
        if (fromChild.IsOpen()) {
            readIndex = static_cast<int>(count);
            fds[count++] = {fromChild.Get(), POLLIN, 0};
        }
        if (toChild.IsOpen()) {
            writeIndex = static_cast<int>(count);
            fds[count++] = {toChild.Get(), POLLOUT, 0};
        }
        if (ppoll(fds, count, nullptr, &waitingMask) < 0) {
            if (errno == EINTR) {
                continue;
            }
            throw CorvaneException("Unable to read from sub-process: " + ErrorText(errno));
        }

        if (writeIndex >= 0 && fds[writeIndex].revents != 0) {
            ssize_t n = write(toChild.Get(), stdinText.data() + written, stdinText.size() - written);
            if (n >= 0) {
                written += static_cast<size_t>(n);
                if (written == stdinText.size()) {
                    toChild.Reset(); // the child sees end of input
                }
            } else if (errno == EPIPE) {
                // The child closed its input or exited: what it did not read is dropped, its
                // output and status still count.
                sigpipeBlock->ConsumeRaised();
                toChild.Reset();
            } else if (errno != EINTR && errno != EAGAIN) {
                throw CorvaneException("Unable to write to sub-process: " + ErrorText(errno));
            }
        }

        if (readIndex >= 0 && fds[readIndex].revents != 0) {
            ssize_t n = read(fromChild.Get(), buffer.data(), buffer.size());
            if (n > 0) {
                if (!consume(buffer.data(), static_cast<size_t>(n))) {
                    return false;
                }
            } else if (n == 0) {
                fromChild.Reset();
            } else if (errno != EINTR && errno != EAGAIN) {
                throw CorvaneException("Unable to read from sub-process: " + ErrorText(errno));
            }
        }
    }
    return true;
}

} // namespace

int AutoCli_ShellCmd(const std::string& command, std::string& output, const std::string& stdinText) {
    return AutoCli_ShellCmdStream(
        command,
        [&output](const char* data, std::size_t size) {
            output.append(data, size);
            return true;
        },
        stdinText);
}

int AutoCli_ShellCmdStream(const std::string& command, const OutputConsumer& consume,
                           const std::string& stdinText) {
    Pipe input;
    Pipe childOutput;
    OpenPipe(input, "Can't create input pipe: ");
    OpenPipe(childOutput, "Can't create output pipe: ");

    const std::string option = MakeChildRpZelOption(-1);
    std::vector<const char*> argv;
    argv.push_back("/bin/sh");
    if (!option.empty()) {
        argv.push_back(option.c_str());
    }
    argv.push_back("-c");
    argv.push_back(command.c_str());
    argv.push_back(nullptr);
    // The child's standard error is ours: only its output is captured.
    int fdMap[3] = {input.readEnd.Get(), childOutput.writeEnd.Get(), 2};

    // Made before the child exists, so that no signal falls between its start and the handlers.
    ForwardedTermination forwarding;
    int pid = -1;
    // Its own process group: the child and everything it starts can be signalled together.
    int spawnStatus =
        TarvikProc_Spawn("/bin/sh", argv.data(), nullptr, -1, fdMap, 3, -1, -1, TARVIK_SPAWN_NEW_GROUP, &pid);
    // Our copies of the child's ends must go, or we would never see end of file on its output.
    input.readEnd.Reset();
    childOutput.writeEnd.Reset();
    if (spawnStatus != 0) {
        char text[200] = "";
        TarvikStatus_Describe(spawnStatus, text, sizeof text, 0);
        throw CorvaneException("Failed to call process '" + command + "': " + text);
    }

    ChildProcess child(static_cast<pid_t>(pid));
    forwarding.SetChild(static_cast<pid_t>(pid));
    if (!ExchangeWithChild(input.writeEnd, childOutput.readEnd, stdinText, consume)) {
        // The rest of the output is not wanted: the program and everything it started end now. The
        // child, not yet reaped, keeps the group's id from being reused.
        kill(-static_cast<pid_t>(pid), SIGKILL);
    }
    int status = child.Wait(command);
    if (commandExecListener != nullptr) {
        commandExecListener(command, status);
    }
    forwarding.Finish();
    return status;
}

namespace {

std::string WithZuUsername(const std::string& command, const std::string& userName) {
    if (userName.empty()) {
        return command;
    }
    // Inside single quotes nothing is special but the quote itself: end the word, add an escaped
    // quote, reopen.
    const std::string quoted = boost::replace_all_copy(userName, "'", "'\\''");
    return "ZU_USERNAME='" + quoted + "' " + command;
}

} // namespace

int AutoCli_ShellCmdWithZuUsername(const std::string& command, const std::string& userName,
                                   std::string& output, const std::string& stdinText) {
    return AutoCli_ShellCmd(WithZuUsername(command, userName), output, stdinText);
}

int AutoCli_ShellCmdStreamWithZuUsername(const std::string& command, const std::string& userName,
                                         const OutputConsumer& consume, const std::string& stdinText) {
    return AutoCli_ShellCmdStream(WithZuUsername(command, userName), consume, stdinText);
}

void SetCommandExecListener(CommandExecListener listener) {
    commandExecListener = listener;
}

void SetChildRpZelOptionMaker(ChildRpZelOptionMaker maker) {
    childRpZelOptionMaker = maker;
}

std::string MakeChildRpZelOption(int n) {
    return childRpZelOptionMaker != nullptr ? childRpZelOptionMaker(n) : std::string();
}

} // namespace Corvane::AutoCli
