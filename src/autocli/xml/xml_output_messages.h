// The messages of output documents refused before or without being read whole.
#pragma once

#include <string>

namespace Corvane::AutoCli {

// An output longer than libxml2 can take (its sizes are ints).
std::string OutputTooLongProblem();
// An output with a start tag of more than kMaxAttributesPerElement attributes.
std::string TooManyAttributesProblem();
// An output with a text longer than XmlUtil_MaxTextBytes: thrown as a CorvaneException.
[[noreturn]] void ThrowTextTooLong();

} // namespace Corvane::AutoCli
