/* libtarvikuser stand-in: starting child processes with an exact descriptor map, and status texts. */
#ifndef TARVIKUSER_H
#define TARVIKUSER_H

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Flags for TarvikProc_Spawn. */
enum {
    TARVIK_SPAWN_NEW_SESSION = 1, /* the child starts a new session (setsid) */
    TARVIK_SPAWN_NEW_GROUP = 2    /* the child leads a new process group (setpgid), in the caller's session */
};

/* Status codes of TarvikProc_Spawn: 0 for success, otherwise TARVIK_STATUS_MAKE(stage, errno) where
 * the stage says which step failed and the errno value why. TarvikStatus_Describe turns a code into
 * "<step text>: <system error text>". */
enum {
    TARVIK_STAGE_ARGUMENTS = 1,   /* bad arguments: NULL path/argv/pid, negative count, unknown flags */
    TARVIK_STAGE_STATUS_PIPE = 2, /* the internal pipe reporting start-up errors could not be made */
    TARVIK_STAGE_FORK = 3,        /* no new process could be created */
    TARVIK_STAGE_DIRECTORY = 4,   /* changing to the working directory failed */
    TARVIK_STAGE_DESCRIPTORS = 5, /* installing the descriptor map failed (e.g. a bad descriptor) */
    TARVIK_STAGE_CREDENTIALS = 6, /* changing group or user id failed */
    TARVIK_STAGE_SESSION = 7,     /* starting a new session failed */
    TARVIK_STAGE_EXEC = 8,        /* the program could not be executed (missing, not executable...) */
    TARVIK_STAGE_GROUP = 9        /* starting a new process group failed */
};
#define TARVIK_STATUS_MAKE(stage, err) (((stage) << 16) | ((err)&0xffff))
#define TARVIK_STATUS_STAGE(status) (((status) >> 16) & 0xff)
#define TARVIK_STATUS_ERRNO(status) ((status)&0xffff)

/* Starts `path` as a child process and stores its process id in *pid. Returns 0 when the program
 * has been executed (an exec failure in the child is detected and reported here, the failed child
 * is reaped); otherwise a status code (see above) and *pid is left unchanged.
 *   path       the program to execute (no PATH search).
 *   argv       the child's argument vector, NULL-terminated; passed exactly as given.
 *   envp       the child's environment, NULL-terminated; NULL inherits the caller's environment.
 *   dirFd      a descriptor of the directory the child starts in; -1 keeps the caller's directory.
 *   fdMap      fdMap[i] becomes the child's descriptor i (a negative entry leaves i closed). Entries
 *              may name any of the caller's descriptors, including ones below fdCount or equal to
 *              their own index. No other descriptor of the caller is open in the child.
 *   fdCount    the number of entries in fdMap (0 gives a child with no descriptors at all).
 *   gid, uid   when not -1, the child's group id (its supplementary groups become just that group)
 *              and user id; -1 keeps the caller's.
 *   flags      0, or TARVIK_SPAWN_NEW_SESSION or TARVIK_SPAWN_NEW_GROUP. With a new group the
 *              child's process group id is its process id once this call has returned, so the
 *              caller can signal the whole group (kill(-pid, sig)) from then on.
 *   pid        receives the child's process id.
 * The child starts with the caller's signal mask and ignored signals; caught signals revert to
 * their default action. The caller must wait for the child (waitpid). */
int TarvikProc_Spawn(const char* path, const char* const* argv, const char* const* envp, int dirFd,
                     const int* fdMap, int fdCount, int gid, int uid, int flags, int* pid);

/* Writes a NUL-terminated English text for `status` (a TarvikProc_Spawn result) into `buffer` of
 * `size` bytes, cut to fit. 0 reads "Success"; an unknown code reads "Unknown status N".
 * `flags` is reserved and must be 0. Returns the length of the full text, as snprintf does. */
int TarvikStatus_Describe(int status, char* buffer, size_t size, int flags);

#ifdef __cplusplus
}
#endif

#endif /* TARVIKUSER_H */
