// Manual pages: rendering the page model as roff with the man macros and as Markdown.
#include "autocli/manual/manual_internal.h"

#include <cctype>

namespace Corvane::AutoCli {
namespace Manual {

namespace {

// Backslashes and hyphens escaped for roff; line breaks become blanks.
std::string RoffEscape(const std::string& text) {
    std::string escaped;
    for (char c : text) {
        if (c == '\\') {
            escaped += "\\e";
        } else if (c == '-') {
            escaped += "\\-";
        } else {
            escaped += c == '\n' ? ' ' : c;
        }
    }
    return escaped;
}

// A whole text line: escaped, without trailing blanks, and with a control character or blank at its
// start neutralised.
std::string RoffText(const std::string& text) {
    std::string escaped = RoffEscape(text);
    while (!escaped.empty() && escaped.back() == ' ') {
        escaped.pop_back();
    }
    if (!escaped.empty() && (escaped[0] == '.' || escaped[0] == '\'' || escaped[0] == ' ')) {
        escaped.insert(0, "\\&");
    }
    return escaped;
}

// A term: bold, with the parts between asterisks in italics.
std::string RoffTerm(const std::string& term) {
    std::string text = "\\fB";
    bool italic = false;
    std::string piece;
    for (char c : term) {
        if (c == '*') {
            text += RoffEscape(piece) + (italic ? "\\fB" : "\\fI");
            piece.clear();
            italic = !italic;
        } else {
            piece += c;
        }
    }
    text += RoffEscape(piece) + "\\fR";
    return text;
}

std::string Upper(std::string text) {
    for (char& c : text) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return text;
}

std::string MarkdownText(const std::string& text) {
    std::string escaped;
    for (char c : text) {
        if (c == '*' || c == '_' || c == '`' || c == '<' || c == '>' || c == '[' || c == ']' || c == '\\') {
            escaped += '\\';
        }
        escaped += c == '\n' ? ' ' : c;
    }
    return escaped;
}

// A term: bold, with the parts between asterisks in italics; blanks stay outside the markers.
std::string MarkdownTerm(const std::string& term) {
    std::string text;
    bool italic = false;
    std::string::size_type from = 0;
    while (from <= term.size()) {
        std::string::size_type to = term.find('*', from);
        if (to == std::string::npos) {
            to = term.size();
        }
        const std::string piece = term.substr(from, to - from);
        const std::string::size_type first = piece.find_first_not_of(' ');
        if (first == std::string::npos) {
            text += piece;
        } else {
            const std::string::size_type last = piece.find_last_not_of(' ');
            const char* marker = italic ? "*" : "**";
            text += piece.substr(0, first) + marker + MarkdownText(piece.substr(first, last - first + 1)) +
                    marker + piece.substr(last + 1);
        }
        italic = !italic;
        from = to + 1;
    }
    return text;
}

} // namespace

std::string RenderMan(const Page& page) {
    std::string out =
        ".TH " + Upper(RoffText(page.name)) + " 1 \"" + page.date + "\" \"Corvane AutoCli\" \"varnok\"\n";
    out += ".SH NAME\n" + RoffText(page.name) + " \\- " + RoffText(page.summary) + "\n";
    for (const Section& section : page.sections) {
        out += ".SH " + Upper(section.title) + "\n";
        bool first = true;
        for (const Block& block : section.blocks) {
            if (block.literal) {
                // A section heading starts a paragraph already.
                out += (first ? "" : ".PP\n") + std::string(".RS\n.nf\n") + RoffText(block.text) +
                       "\n.fi\n.RE\n";
            } else if (block.term.empty()) {
                out += (first ? "" : ".PP\n") + RoffText(block.text) + "\n";
            } else {
                out += ".TP\n" + RoffTerm(block.term) + "\n";
                if (!block.text.empty()) {
                    out += RoffText(block.text) + "\n";
                }
                for (const auto& [name, text] : block.items) {
                    out += ".RS\n.TP\n" + RoffTerm(name) + "\n" +
                           (text.empty() ? "" : RoffText(text) + "\n") + ".RE\n";
                }
            }
            first = false;
        }
    }
    return out;
}

std::string RenderMarkdown(const Page& page) {
    std::string out = "# " + MarkdownText(page.name) + "(1)\n\n" + MarkdownText(page.name) + " - " +
                      MarkdownText(page.summary) + "\n";
    for (const Section& section : page.sections) {
        out += "\n## " + MarkdownText(section.title) + "\n";
        for (const Block& block : section.blocks) {
            if (block.literal) {
                out += "\n    " + block.text + "\n";
            } else if (block.term.empty()) {
                out += "\n" + MarkdownText(block.text) + "\n";
            } else {
                out += "\n- " + MarkdownTerm(block.term);
                if (!block.text.empty()) {
                    out += ": " + MarkdownText(block.text);
                }
                out += "\n";
                for (const auto& [name, text] : block.items) {
                    out +=
                        "  - " + MarkdownTerm(name) + (text.empty() ? "" : ": " + MarkdownText(text)) + "\n";
                }
            }
        }
    }
    return out;
}

} // namespace Manual
} // namespace Corvane::AutoCli
