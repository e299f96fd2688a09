// The interface between the library and its regular-expression module, a shared object the library
// loads the first time a pattern is compiled: Boost.Regex and what it loads cost a millisecond of
// start-up that most runs never need.
#pragma once

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

namespace Corvane::Detail {

// Where each group of one match lies in the text: (start, length), start -1 for a group that did
// not take part. Group 0 is the whole match.
using RegexGroups = std::vector<std::pair<std::ptrdiff_t, std::ptrdiff_t>>;

struct RegexModule {
    // Changes whenever the layout or meaning of this structure does.
    int version;
    // Compiles `expression` in Perl syntax; throws boost::regex_error when it does not compile.
    void* (*compile)(const std::string& expression);
    void (*release)(void* compiled);
    // True when the pattern matches the whole of `text`.
    bool (*fullMatch)(const void* compiled, const std::string& text);
    // Every match in `text`, left to right, as a search would find them one after the other.
    void (*findAll)(const void* compiled, const std::string& text, std::vector<RegexGroups>& matches);
};

constexpr int kRegexModuleVersion = 1;

} // namespace Corvane::Detail

// The module's one exported function.
extern "C" const Corvane::Detail::RegexModule* CorvaneRegexModule();
