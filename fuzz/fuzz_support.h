// Shared pieces of the fuzz targets: a reader that turns input bytes into choices, the built-in
// formatters, failure reporting, the checkers of formatter output and the shell readers.
#pragma once

#include <corvane/format.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// The entry point every target defines; libFuzzer calls it, and so does the replay main.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace Corvane::Fuzz {

/// Reads an input front to back; once it is used up every read gives zero or the empty text, so a
/// target never needs to check for the end.
class ByteReader {
public:
    ByteReader(const std::uint8_t* data, std::size_t size) : data(data), size(size) {}

    bool Empty() const { return pos >= size; }
    std::uint8_t Byte();
    /// A length byte (taken modulo `maxLength` + 1), then that many bytes or what is left.
    std::string String(std::size_t maxLength);
    /// Everything not read yet.
    std::string Rest();

private:
    const std::uint8_t* data;
    std::size_t size;
    std::size_t pos = 0;
};

/// The built-in formatters, from one internal plugin kept for the whole process.
const std::vector<std::shared_ptr<Corvane::AutoCli::Formatter>>& Formatters();

/// Makes any diagnostic libxml2 would print a broken
/// property: the XML readers promise that libxml2 prints nothing. Called once per process.
void FailOnLibxml2Diagnostics();

/// Reports a broken property with the input's text and aborts, so that libFuzzer saves the input
/// and the replay fails.
[[noreturn]] void Fail(const std::string& property, const std::string& detail);

/// Whether `text` is one JSON value (RFC 8259) with blanks around it; `error` says where it breaks.
bool IsJsonDocument(const std::string& text, std::string& error);

/// Whether `text` is one Python literal expression of the kinds the python formatter writes
/// (dicts, lists, strings, integers, True, False, None), trailing commas allowed, followed by a
/// line feed; `error` says where it breaks.
bool IsPythonLiteral(const std::string& text, std::string& error);

/// Where a command read to its end, or to its first active syntax, has a comment, and whether it
/// leaves a quote open.
struct ShellShape {
    std::size_t comment = std::string::npos;
    bool openQuote = false;
};

/// The offset of the first byte of `command` that /bin/sh (a POSIX shell, as dash) reads as an
/// operator (; | & < > ( ) or a line feed), a command substitution (a backquote or `$(`, also
/// inside double quotes) or the end of a comment; npos when there is none. Quotes, backslashes and
/// line continuations are followed as the shell follows them, and so are `${...}` expansions, in
/// which a # starts no comment; `$'` and globbing are plain text here. `shape`, when given, tells
/// where a comment started and whether a quote was left open.
std::size_t FindActiveSyntax(const std::string& command, ShellShape* shape = nullptr);

/// The words /bin/sh makes of a command free of operators and expansions: quote removal and
/// splitting at blanks, tabs and line feeds.
std::vector<std::string> ShellWords(const std::string& command);

} // namespace Corvane::Fuzz
