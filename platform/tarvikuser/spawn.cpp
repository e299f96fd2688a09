// TarvikProc_Spawn: fork, install the exact descriptor map, exec; start-up errors come back over a pipe.
#include "tarvikuser.h"

#include <fcntl.h>
#include <grp.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

extern char** environ;

namespace {

// What a child that failed before its exec writes to the status pipe. Eight bytes, well under
// PIPE_BUF, so the parent reads either all of it or nothing.
struct ChildFailure {
    int stage;
    int error;
};

// Everything below up to the exec runs in the child of a fork in a possibly multi-threaded caller, so
// it makes only async-signal-safe calls and allocates nothing: the parent prepared all memory.

[[noreturn]] void FailInChild(int statusFd, int stage) {
    ChildFailure failure{stage, errno};
    ssize_t written = write(statusFd, &failure, sizeof failure);
    (void)written; // nothing more can be done if even this fails
    _exit(127);
}

// Closes every descriptor numbered `low` or above except `keep` (which is at least `low`).
void CloseAllFrom(int low, int keep) {
    bool done = true;
    if (keep > low && close_range(static_cast<unsigned>(low), static_cast<unsigned>(keep - 1), 0) != 0) {
        done = false;
    }
    if (done && close_range(static_cast<unsigned>(keep + 1), ~0U, 0) != 0) {
        done = false;
    }
    if (done) {
        return;
    }
    // Kernels without close_range: try every number the process may hold.
    struct rlimit limit;
    long maxFd = 65536;
    if (getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY) {
        maxFd = static_cast<long>(limit.rlim_cur);
    }
    for (long fd = low; fd < maxFd; ++fd) {
        if (fd != keep) {
            close(static_cast<int>(fd));
        }
    }
}

// Gives caught signals back their default action; ignored ones stay ignored, as across an exec.
void ResetCaughtSignals() {
    for (int sig = 1; sig < NSIG; ++sig) {
        if (sig == SIGKILL || sig == SIGSTOP) {
            continue;
        }
        struct sigaction current;
        if (sigaction(sig, nullptr, &current) != 0) {
            continue; // numbers reserved by the C library
        }
        if (current.sa_handler == SIG_IGN || current.sa_handler == SIG_DFL) {
            continue;
        }
        struct sigaction restore = {};
        restore.sa_handler = SIG_DFL;
        sigemptyset(&restore.sa_mask);
        sigaction(sig, &restore, nullptr);
    }
}

struct SpawnRequest {
    const char* path;
    const char* const* argv;
    const char* const* envp;
    int dirFd;
    const int* fdMap;
    int fdCount;
    int gid;
    int uid;
    int flags;
    const sigset_t* callerMask;
    int* copies; // fdCount slots, prepared by the parent
};

[[noreturn]] void RunChild(const SpawnRequest& request, int statusFd) {
    ResetCaughtSignals();
    if (request.dirFd >= 0 && fchdir(request.dirFd) != 0) {
        FailInChild(statusFd, TARVIK_STAGE_DIRECTORY);
    }
    if ((request.flags & TARVIK_SPAWN_NEW_SESSION) && setsid() < 0) {
        FailInChild(statusFd, TARVIK_STAGE_SESSION);
    }
    if ((request.flags & TARVIK_SPAWN_NEW_GROUP) && setpgid(0, 0) != 0) {
        FailInChild(statusFd, TARVIK_STAGE_GROUP);
    }
    if (request.gid != -1) {
        gid_t gid = static_cast<gid_t>(request.gid);
        if ((geteuid() == 0 && setgroups(1, &gid) != 0) || setgid(gid) != 0) {
            FailInChild(statusFd, TARVIK_STAGE_CREDENTIALS);
        }
    }
    if (request.uid != -1 && setuid(static_cast<uid_t>(request.uid)) != 0) {
        FailInChild(statusFd, TARVIK_STAGE_CREDENTIALS);
    }

    // Descriptors: first move the status pipe and a copy of every map entry to numbers at or above
    // fdCount, where the final dup2s cannot overwrite them; a source that is itself a target number
    // (or equal to its own index) is thus read before any target is replaced.
    if (statusFd < request.fdCount) {
        int moved = fcntl(statusFd, F_DUPFD_CLOEXEC, request.fdCount);
        if (moved < 0) {
            FailInChild(statusFd, TARVIK_STAGE_DESCRIPTORS);
        }
        statusFd = moved;
    }
    for (int i = 0; i < request.fdCount; ++i) {
        request.copies[i] = -1;
        if (request.fdMap[i] >= 0) {
            request.copies[i] = fcntl(request.fdMap[i], F_DUPFD_CLOEXEC, request.fdCount);
            if (request.copies[i] < 0) {
                FailInChild(statusFd, TARVIK_STAGE_DESCRIPTORS);
            }
        }
    }
    for (int i = 0; i < request.fdCount; ++i) {
        if (request.copies[i] < 0) {
            close(i);
        } else if (dup2(request.copies[i], i) < 0) { // dup2 leaves i without close-on-exec
            FailInChild(statusFd, TARVIK_STAGE_DESCRIPTORS);
        }
    }
    // The copies and everything else inherited go; the status pipe closes itself at the exec.
    CloseAllFrom(request.fdCount, statusFd);

    sigprocmask(SIG_SETMASK, request.callerMask, nullptr);
    char* const* envp = request.envp != nullptr ? const_cast<char* const*>(request.envp) : environ;
    execve(request.path, const_cast<char* const*>(request.argv), envp);
    FailInChild(statusFd, TARVIK_STAGE_EXEC);
}

void CloseKeepingErrno(int fd) {
    int saved = errno;
    close(fd);
    errno = saved;
}

} // namespace

extern "C" int TarvikProc_Spawn(const char* path, const char* const* argv, const char* const* envp, int dirFd,
                                const int* fdMap, int fdCount, int gid, int uid, int flags, int* pid) {
    if (path == nullptr || argv == nullptr || pid == nullptr || fdCount < 0 ||
        (fdCount > 0 && fdMap == nullptr) ||
        (flags & ~(TARVIK_SPAWN_NEW_SESSION | TARVIK_SPAWN_NEW_GROUP)) != 0) {
        return TARVIK_STATUS_MAKE(TARVIK_STAGE_ARGUMENTS, EINVAL);
    }
    // A map entry naming a closed descriptor is the caller's mistake: report it before any fork.
    for (int i = 0; i < fdCount; ++i) {
        if (fdMap[i] >= 0 && fcntl(fdMap[i], F_GETFD) < 0) {
            return TARVIK_STATUS_MAKE(TARVIK_STAGE_DESCRIPTORS, errno);
        }
    }
    if (dirFd >= 0 && fcntl(dirFd, F_GETFD) < 0) {
        return TARVIK_STATUS_MAKE(TARVIK_STAGE_DIRECTORY, errno);
    }

    std::vector<int> copies(static_cast<size_t>(fdCount));
    int statusPipe[2];
    if (pipe2(statusPipe, O_CLOEXEC) != 0) {
        return TARVIK_STATUS_MAKE(TARVIK_STAGE_STATUS_PIPE, errno);
    }

    // With every signal blocked no handler of the caller runs in the child before its exec.
    sigset_t all;
    sigset_t callerMask;
    sigfillset(&all);
    pthread_sigmask(SIG_SETMASK, &all, &callerMask);
    SpawnRequest request{path, argv, envp,  dirFd,       fdMap,        fdCount,
                         gid,  uid,  flags, &callerMask, copies.data()};
    pid_t child = fork();
    if (child == 0) {
        close(statusPipe[0]);
        RunChild(request, statusPipe[1]);
    }
    int forkError = errno;
    pthread_sigmask(SIG_SETMASK, &callerMask, nullptr);
    close(statusPipe[1]);
    if (child < 0) {
        close(statusPipe[0]);
        return TARVIK_STATUS_MAKE(TARVIK_STAGE_FORK, forkError);
    }

    // End of file means the exec succeeded (close-on-exec closed the child's end).
    ChildFailure failure{};
    ssize_t n;
    do {
        n = read(statusPipe[0], &failure, sizeof failure);
    } while (n < 0 && errno == EINTR);
    CloseKeepingErrno(statusPipe[0]);
    if (n == static_cast<ssize_t>(sizeof failure)) {
        while (waitpid(child, nullptr, 0) < 0 && errno == EINTR) {
        }
        return TARVIK_STATUS_MAKE(failure.stage, failure.error);
    }
    *pid = static_cast<int>(child);
    return 0;
}
