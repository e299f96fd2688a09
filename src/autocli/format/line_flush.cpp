// When formatter output is flushed: line by line on a terminal, in blocks anywhere else.
#include "format_internal.h"

#include <unistd.h>

#include <iostream>

namespace Corvane::AutoCli {
namespace Detail {

bool FlushesEveryLine(const std::ostream& out) {
    // Standard output does not change between a process's commands, so it is asked once. Other
    // streams (strings, files of an embedding program) are flushed by their owners.
    static const bool terminal = ::isatty(STDOUT_FILENO) == 1;
    return terminal && out.rdbuf() == std::cout.rdbuf();
}

} // namespace Detail
} // namespace Corvane::AutoCli
