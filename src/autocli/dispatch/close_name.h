// Close names: the "Did you mean" line for a word that names nothing, from the candidates it may have meant.
#pragma once

#include <corvane/completion.h>

#include <string>
#include <vector>

namespace Corvane::AutoCli {
class Dispatcher;
} // namespace Corvane::AutoCli

namespace Corvane::AutoCli::Detail {

/// "Did you mean 'X'?" where X is AutoCli_ClosestName(word, candidates), written as an option word
/// ("-x", "--name") when `asOption`; empty when no candidate is close.
std::string DidYouMean(const std::string& word, const std::vector<std::string>& candidates,
                       bool asOption = false);

/// The words of `completion`; with `dropDashes`, option words without their leading dashes.
std::vector<std::string> CandidateWords(const Completion& completion, bool dropDashes = false);

/// The "Did you mean" line for a formatter name `dispatcher` does not know, or empty. Defined with the
/// formatter table.
std::string FormatterHint(Dispatcher& dispatcher, const std::string& name);

} // namespace Corvane::AutoCli::Detail
