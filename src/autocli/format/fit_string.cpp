// AutoCli_FitString: word wrapping of text to a column width.
#include <corvane/format.h>

#include "autocli/format/format_internal.h"

namespace Corvane {
namespace AutoCli {

namespace {

// The run that brings a fresh line to the indent column: the stream's field width set to `indent`
// and one space written, so 0 and 1 both give a single character.
void WriteIndentRun(std::ostream& out, int indent) {
    out.width(indent);
    out << ' ';
}

void EndLine(std::ostream& out) {
    out << '\n';
    out.flush();
}

void FitLine(int indent, int width, const std::string& text, bool skipIndent, std::ostream& out,
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
        std::string::size_type start = 0;
        while (start < text.size()) {
            std::string::size_type end = text.find(' ', start);
            if (end == std::string::npos) {
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
    const std::vector<std::string> lines = Detail::SplitItems(text, '\n');
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (i > 0 && !newlineAtEnd) {
            EndLine(out);
        }
        FitLine(indent, width, lines[i], i == 0 ? skipIndent : false, out, newlineAtEnd, wrapMarker);
    }
}

} // namespace AutoCli
} // namespace Corvane
