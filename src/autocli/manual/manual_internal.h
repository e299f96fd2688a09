// The format-neutral model of a manual page, shared by the page builders and the two renderers.
#pragma once

#include <corvane/dispatch.h>
#include <corvane/manual.h>

#include "autocli/tree/all_commands.h"

#include <memory>

#include <string>
#include <vector>

namespace Corvane::AutoCli {
namespace Manual {

// A paragraph (empty term), a tagged paragraph (term, then indented text), or a literal command
// line (`literal` set: printed as it is, never filled).
struct Block {
    std::string term;
    std::string text;
    bool literal = false;
    // Further indented lines under a tagged paragraph, such as the values of an enumeration.
    std::vector<std::pair<std::string, std::string>> items;
};

struct Section {
    std::string title;
    std::vector<Block> blocks;
};

struct Page {
    std::string name;    // varnok-system-process-list
    std::string summary; // the text after the dash of NAME
    std::string date;    // the date in the page's header, 2026-12-06; none when empty
    std::vector<Section> sections;
};

// The page as roff with the man macros, or as Markdown. In both, text inside `*...*` pairs of a
// term is shown in italics and the rest of a term in bold.
std::string RenderMan(const Page& page);
std::string RenderMarkdown(const Page& page);

} // namespace Manual
} // namespace Corvane::AutoCli
