// The constructs of the template language as the template filler reads them, for the filler and
// for tools that check templates.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace Corvane::AutoCli::TemplateText {

// One $list{NAME,'C',Q}: C (zero or one byte), Q, and the position just past the construct.
struct ListMatch {
    std::string separator;
    bool quote = false;
    std::size_t end = 0;
};

// Whether a $list construct whose head ("$list{NAME,'", `headSize` bytes) starts at `start` is
// complete; C is zero or one byte, one preferred, as a greedy .? does.
bool MatchListAt(const std::string& text, std::size_t start, std::size_t headSize, ListMatch& match);

// The first ",true}" or ",false}" at or after `from`: its position, Q and the end of the construct.
bool FindMultilistEnd(const std::string& text, std::size_t from, std::size_t& at, bool& quote,
                      std::size_t& end);

// The closing brace of a $if whose TEXT starts at `body` (TEXT: one byte or more up to the next
// closing brace), or npos.
std::size_t IfClose(const std::string& text, std::size_t body);

enum class ConstructKind { Val, If, List, Multilist };

// A construct of a template: its kind, parameter name, the span [start, end) and, for $list and
// $multilist, whether it puts double quotes around what it inserts.
struct Construct {
    ConstructKind kind;
    std::string name;
    std::size_t start;
    std::size_t end;
    bool quoted;
};

// Every construct of `text` that the filler would fill for a parameter of its name, in order of
// their starts, constructs inside $if text and $multilist prefixes included.
std::vector<Construct> FindConstructs(const std::string& text);

} // namespace Corvane::AutoCli::TemplateText
