// RegexPattern: a compiled regular expression in Perl syntax, from the library's regex module.
#pragma once

#include "regex/regex_module.h"

#include <string>
#include <vector>

namespace Corvane::Detail {

// The module is loaded the first time any pattern is compiled, and stays loaded. A pattern that
// does not compile throws boost::regex_error; a module that cannot be loaded throws
// CorvaneException.
class RegexPattern {
public:
    explicit RegexPattern(const std::string& expression);
    ~RegexPattern();
    RegexPattern(const RegexPattern&) = delete;
    RegexPattern& operator=(const RegexPattern&) = delete;

    // True when the pattern matches the whole of `text`.
    bool FullMatch(const std::string& text) const;
    // Every match in `text`, left to right.
    std::vector<RegexGroups> FindAll(const std::string& text) const;

private:
    const RegexModule& module;
    void* compiled;
};

} // namespace Corvane::Detail
