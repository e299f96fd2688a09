// The quoting of a parameter value for the place of the shell text where it lands.
#pragma once

#include "autocli/extension/shell_lexer.h"

#include <cstddef>
#include <string>

namespace Corvane::AutoCli::ShellText {

/// Backslash before every isBadChar byte and before '#': safe in a plain word and in double quotes.
std::string EscapeForWord(const std::string& value);

/// `value` without any byte listed in `drop`.
std::string Without(const std::string& value, const char* drop, std::size_t dropCount);

/// The value escaped for `place`. `quoteClosed` tells, for Single and Ansi, whether the template
/// closes the quote the value stands in; one that it never closes does not protect the value.
/// `inHereDocBody` tells that the place lies in a here-document body, where a value loses its line
/// feeds in every place.
std::string QuoteFor(const std::string& value, Place place, bool quoteClosed, bool inHereDocBody);

} // namespace Corvane::AutoCli::ShellText
