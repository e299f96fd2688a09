// Shared pieces of the fuzz targets: the byte reader, switches and failure reports.
#include "fuzz_support.h"

#include <libxml/xmlerror.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace Corvane::Fuzz {

std::uint8_t ByteReader::Byte() {
    return pos < size ? data[pos++] : 0;
}

std::string ByteReader::String(std::size_t maxLength) {
    const std::size_t wanted = Byte() % (maxLength + 1);
    const std::size_t length = wanted < size - pos ? wanted : size - pos;
    std::string text(reinterpret_cast<const char*>(data) + pos, length);
    pos += length;
    return text;
}

std::string ByteReader::Rest() {
    std::string text(reinterpret_cast<const char*>(data) + pos, size - pos);
    pos = size;
    return text;
}

bool CheckEnabled(const char* name) {
    const char* value = std::getenv(name);
    if (value != nullptr && *value != '\0') {
        return std::strcmp(value, "0") != 0;
    }
#if defined(CORVANE_FUZZ_ALL_CHECKS) && CORVANE_FUZZ_ALL_CHECKS
    return true;
#else
    return false;
#endif
}

void Fail(const std::string& property, const std::string& detail) {
    std::fprintf(stderr, "fuzz property broken: %s\n", property.c_str());
    std::fprintf(stderr, "----\n");
    std::fwrite(detail.data(), 1, detail.size(), stderr);
    std::fprintf(stderr, "\n----\n");
    std::fflush(stderr);
    std::abort();
}

namespace {

void Libxml2Diagnostic(void* /*context*/, const char* format, ...) {
    char message[512];
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(message, sizeof message, format, arguments);
    va_end(arguments);
    Fail("libxml2 printed a diagnostic", message);
}

} // namespace

void FailOnLibxml2Diagnostics() {
    if (CheckEnabled("CORVANE_FUZZ_QUIET_XML")) {
        xmlSetGenericErrorFunc(nullptr, &Libxml2Diagnostic);
    }
}

bool IsPrintableAscii(const std::string& text) {
    for (const char c : text) {
        if (c < 0x20 || c > 0x7e) {
            return false;
        }
    }
    return true;
}

} // namespace Corvane::Fuzz
