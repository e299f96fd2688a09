// Panic: the exported last-resort exit for the host's platform libraries.
#include <corvane/process.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>

namespace {

// Process-wide rather than on the stack: a panic may come from a thread whose stack is nearly spent.
char panicText[256];

} // namespace

extern "C" void Panic(const char* format, ...) {
    if (format != nullptr) {
        va_list args;
        va_start(args, format);
        std::vsnprintf(panicText, sizeof panicText, format, args);
        va_end(args);
    } else {
        panicText[0] = '\0';
    }
    panicText[sizeof panicText - 1] = '\0';
    std::fprintf(stderr, "panic: %s", panicText);
    std::fflush(stderr);
    std::abort();
}
