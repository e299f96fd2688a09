// AutoCli_FitString: word wrapping of text to a column width.
#include <corvane/format.h>

#include "autocli/format/format_internal.h"

#include <string_view>

namespace Corvane::AutoCli {

namespace {

using Detail::EndLine;

// The run that brings a fresh line to the indent column: the stream's field width set to `indent`
// and one space written, so 0 and 1 both give a single character.
void WriteIndentRun(std::ostream& out, int indent) {
    out.width(indent);
    out << ' ';
}

void FitLine(int indent, int width, std::string_view text, bool skipIndent, std::ostream& out,
             bool newlineAtEnd, char wrapMarker) {
    if (width <= indent) {
        if (!skipIndent) {
            WriteIndentRun(out, indent);
        }
        out << text;
        if (newlineAtEnd) {
            EndLine(out);
        }
        return;
    }
    const long room = static_cast<long>(width) - indent;
    if (!skipIndent) {
        WriteIndentRun(out, indent);
    }
    if (static_cast<long>(text.size()) <= room) {
        out << text;
    } else {
        // Every word costs its length plus one, so a wrapped line holds at most room - 1 characters.
        const char marker = wrapMarker == '\0' ? ' ' : wrapMarker;
        long budget = room;
        bool first = true;
        std::string_view::size_type start = 0;
        while (start < text.size()) {
            std::string_view::size_type end = text.find(' ', start);
            if (end == std::string_view::npos) {
                end = text.size();
            }
            const long cost = static_cast<long>(end - start) + 1;
            budget -= cost;
            if (budget < 0) {
                out << marker;
                EndLine(out);
                WriteIndentRun(out, indent);
                budget = room - cost;
            } else if (!first) {
                out << ' ';
            }
            out.write(text.data() + start, static_cast<std::streamsize>(end - start));
            first = false;
            start = end + 1;
        }
    }
    if (newlineAtEnd) {
        EndLine(out);
    }
}

} // namespace

void AutoCli_FitString(const int& indent, const int& width, const std::string& text, bool skipIndent,
                       std::ostream& out, bool newlineAtEnd, char wrapMarker, bool splitNewlines) {
    if (!splitNewlines) {
        FitLine(indent, width, text, skipIndent, out, newlineAtEnd, wrapMarker);
        return;
    }
    // Lines are cut at every newline by the item rules: no line after a final newline, none at all
    // for empty text.
    const std::string_view all(text);
    std::string_view::size_type start = 0;
    bool firstLine = true;
    while (start < all.size()) {
        std::string_view::size_type end = all.find('\n', start);
        if (end == std::string_view::npos) {
            end = all.size();
        }
        if (!firstLine && !newlineAtEnd) {
            EndLine(out);
        }
        FitLine(indent, width, all.substr(start, end - start), firstLine ? skipIndent : false, out,
                newlineAtEnd, wrapMarker);
        firstLine = false;
        start = end + 1;
    }
}

} // namespace Corvane::AutoCli
