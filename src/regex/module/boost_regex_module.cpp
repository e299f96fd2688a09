// The regular-expression module: Boost.Regex behind the library's RegexModule interface.
#include "regex/regex_module.h"

#include <boost/regex.hpp>

namespace {

using Corvane::Detail::RegexGroups;

void* Compile(const std::string& expression) {
    return new boost::regex(expression);
}

void Release(void* compiled) {
    delete static_cast<boost::regex*>(compiled);
}

bool FullMatch(const void* compiled, const std::string& text) {
    return boost::regex_match(text, *static_cast<const boost::regex*>(compiled));
}

void FindAll(const void* compiled, const std::string& text, std::vector<RegexGroups>& matches) {
    const auto& pattern = *static_cast<const boost::regex*>(compiled);
    for (boost::sregex_iterator it(text.begin(), text.end(), pattern), end; it != end; ++it) {
        RegexGroups groups;
        groups.reserve(it->size());
        for (int i = 0; i < static_cast<int>(it->size()); ++i) {
            const auto& group = (*it)[i];
            groups.emplace_back(group.matched ? it->position(i) : -1, group.matched ? it->length(i) : 0);
        }
        matches.push_back(std::move(groups));
    }
}

const Corvane::Detail::RegexModule kModule = {Corvane::Detail::kRegexModuleVersion, Compile, Release,
                                              FullMatch, FindAll};

} // namespace

extern "C" __attribute__((visibility("default"))) const Corvane::Detail::RegexModule* CorvaneRegexModule() {
    return &kModule;
}
