// The clean-up of $if constructs left by absent parameters, and the paired-brace search it rests on.
#pragma once

#include <string>

namespace Corvane::AutoCli {

/// `text` without its leftover $if constructs: for each opening brace, left to right, the text from
/// the last $ before it up to its balancing closing brace goes when it holds "$if{NAME," followed, one
/// byte or more later, by a closing brace; scanning then goes on at the same position of the
/// shortened text. Linear in the length of `text`.
std::string RemoveLeftoverIfs(const std::string& text);

} // namespace Corvane::AutoCli
