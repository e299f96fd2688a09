// Standard output of the command-line front end: written through a buffer that keeps the reason of a failed
// write.
#pragma once

namespace Corvane::AutoCli {

// While it lives, std::cout writes to descriptor 1 through a buffer that remembers why a write
// failed (a full disk, a closed descriptor), so that FinishStandardOutput can say so instead of the
// result being lost with status 0. A broken pipe still ends the process by SIGPIPE, as any write
// does. At most one exists at a time; the buffer std::cout had before comes back when it ends.
//
// A closed descriptor 0 or 1 is first taken by /dev/null opened for the other direction: no file
// or pipe opened later can land there and receive the result or be read as input, and a write to
// standard output (or a read of standard input) fails with EBADF as it would on the closed one.
class CheckedStandardOutput {
public:
    CheckedStandardOutput();
    ~CheckedStandardOutput();
    CheckedStandardOutput(const CheckedStandardOutput&) = delete;
    CheckedStandardOutput& operator=(const CheckedStandardOutput&) = delete;
};

// Flushes std::cout. When that or any earlier write of standard output failed, writes
// "varnok: write error: <reason>" to standard error (once per process) and returns false.
bool FinishStandardOutput();

// Ends the process with `status`, or with 1 when FinishStandardOutput fails.
[[noreturn]] void ExitProcess(int status);

} // namespace Corvane::AutoCli
