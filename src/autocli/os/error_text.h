// ErrorText: the system's text for an errno value.
#pragma once

#include <cstring>
#include <string>

namespace Corvane::AutoCli {

namespace Detail {
// Both strerror_r variants: the GNU one returns the text, the XSI one fills the buffer.
[[maybe_unused]] inline const char* PickErrorText(char* result, const char*) {
    return result;
}
[[maybe_unused]] inline const char* PickErrorText(int, const char* buffer) {
    return buffer;
}
} // namespace Detail

// "No space left on device" for ENOSPC; thread-safe, unlike strerror.
inline std::string ErrorText(int error) {
    char buffer[256] = "";
    return Detail::PickErrorText(strerror_r(error, buffer, sizeof buffer), buffer);
}

} // namespace Corvane::AutoCli
