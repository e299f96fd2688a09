// When formatter output is flushed: line by line on a terminal, in blocks anywhere else; the block
// writer of the formatters.
#include "autocli/format/format_internal.h"

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

BlockWriter::~BlockWriter() {
    try {
        Put();
    } catch (...) {
        // A stream set to throw on failure must not end the program from a destructor; the stream's
        // state records the failure.
    }
}

void BlockWriter::Put() {
    if (!text.empty()) {
        out.write(text.data(), static_cast<std::streamsize>(text.size()));
        text.clear();
    }
}

} // namespace Detail
} // namespace Corvane::AutoCli
