// Shared pieces of the fuzz targets: the byte reader, the built-in formatters, failure reports and
// the libxml2 guard.
#include "fuzz_support.h"

#include <corvane/plugins.h>

#include <libxml/xmlerror.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>

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

const std::vector<std::shared_ptr<Corvane::AutoCli::Formatter>>& Formatters() {
    static const auto plugin = [] {
        auto internal = Corvane::AutoCli::InternalPlugin::New();
        internal->Initialize();
        return internal;
    }();
    return plugin->GetFormatters();
}

void FailOnLibxml2Diagnostics() {
    xmlSetGenericErrorFunc(nullptr, &Libxml2Diagnostic);
}

} // namespace Corvane::Fuzz
