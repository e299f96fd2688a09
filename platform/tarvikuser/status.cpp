// TarvikStatus_Describe: English text for the status codes of TarvikProc_Spawn.
#include "tarvikuser.h"

#include <cstdio>
#include <cstring>

namespace {

const char* StageText(int stage) {
    switch (stage) {
    case TARVIK_STAGE_ARGUMENTS:
        return "Invalid arguments to start a process";
    case TARVIK_STAGE_STATUS_PIPE:
        return "Cannot create the start-up status pipe";
    case TARVIK_STAGE_FORK:
        return "Cannot create a process";
    case TARVIK_STAGE_DIRECTORY:
        return "Cannot change to the working directory";
    case TARVIK_STAGE_DESCRIPTORS:
        return "Cannot set up the descriptors of the process";
    case TARVIK_STAGE_CREDENTIALS:
        return "Cannot change the user or group of the process";
    case TARVIK_STAGE_SESSION:
        return "Cannot start a new session";
    case TARVIK_STAGE_EXEC:
        return "Cannot execute the program";
    case TARVIK_STAGE_GROUP:
        return "Cannot start a new process group";
    default:
        return nullptr;
    }
}

// Both strerror_r variants: the GNU one returns the text, the XSI one fills the buffer.
[[maybe_unused]] const char* ErrorText(char* result, const char*) {
    return result;
}
[[maybe_unused]] const char* ErrorText(int, const char* buffer) {
    return buffer;
}

} // namespace

extern "C" int TarvikStatus_Describe(int status, char* buffer, size_t size, int flags) {
    (void)flags;
    char scratch[1]; // snprintf with size 0 still wants a valid pointer in some sanitizer builds
    if (buffer == nullptr || size == 0) {
        buffer = scratch;
        size = 0;
    }
    if (status == 0) {
        return std::snprintf(buffer, size, "Success");
    }
    const char* stage = status > 0 ? StageText(TARVIK_STATUS_STAGE(status)) : nullptr;
    if (stage == nullptr || (status & ~TARVIK_STATUS_MAKE(0xff, 0xffff)) != 0) {
        return std::snprintf(buffer, size, "Unknown status %d", status);
    }
    char errorBuffer[256] = "";
    const char* error =
        ErrorText(strerror_r(TARVIK_STATUS_ERRNO(status), errorBuffer, sizeof errorBuffer), errorBuffer);
    return std::snprintf(buffer, size, "%s: %s", stage, error);
}
