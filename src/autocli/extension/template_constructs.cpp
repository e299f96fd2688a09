// The constructs of the template language: where each one starts and ends, as the filler reads them.
#include "autocli/extension/template_constructs.h"

namespace Corvane::AutoCli::TemplateText {

namespace {

constexpr std::size_t npos = std::string::npos;

bool IsNameByte(char c) {
    return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-';
}

} // namespace

bool MatchListAt(const std::string& text, std::size_t start, std::size_t headSize, ListMatch& match) {
    std::size_t separator = start + headSize;
    for (std::size_t length : {std::size_t{1}, std::size_t{0}}) {
        std::size_t quote = separator + length;
        if (quote + 2 > text.size() || text.compare(quote, 2, "',") != 0) {
            continue;
        }
        std::size_t flag = quote + 2;
        if (text.compare(flag, 5, "true}") == 0) {
            match.quote = true;
            match.end = flag + 5;
        } else if (text.compare(flag, 6, "false}") == 0) {
            match.quote = false;
            match.end = flag + 6;
        } else {
            continue;
        }
        match.separator = text.substr(separator, length);
        return true;
    }
    return false;
}

// The first ",true}" or ",false}" at or after `from`: its position, Q and the end of the construct.
bool FindMultilistEnd(const std::string& text, std::size_t from, std::size_t& at, bool& quote,
                      std::size_t& end) {
    for (std::size_t comma = text.find(',', from); comma != npos; comma = text.find(',', comma + 1)) {
        if (text.compare(comma, 6, ",true}") == 0) {
            at = comma;
            quote = true;
            end = comma + 6;
            return true;
        }
        if (text.compare(comma, 7, ",false}") == 0) {
            at = comma;
            quote = false;
            end = comma + 7;
            return true;
        }
    }
    return false;
}

std::size_t IfClose(const std::string& text, std::size_t body) {
    return body < text.size() ? text.find('}', body + 1) : npos;
}

std::vector<Construct> FindConstructs(const std::string& text) {
    static const std::pair<const char*, ConstructKind> kHeads[] = {{"$val{", ConstructKind::Val},
                                                                   {"$if{", ConstructKind::If},
                                                                   {"$list{", ConstructKind::List},
                                                                   {"$multilist{", ConstructKind::Multilist}};
    std::vector<Construct> found;
    for (std::size_t start = text.find('$'); start != npos; start = text.find('$', start + 1)) {
        for (const auto& [head, kind] : kHeads) {
            const std::string headText = head;
            if (text.compare(start, headText.size(), headText) != 0) {
                continue;
            }
            std::size_t nameEnd = start + headText.size();
            while (nameEnd < text.size() && IsNameByte(text[nameEnd])) {
                ++nameEnd;
            }
            if (nameEnd == start + headText.size() || nameEnd >= text.size()) {
                break;
            }
            Construct construct{kind, text.substr(start + headText.size(), nameEnd - start - headText.size()),
                                start, npos, false};
            if (kind == ConstructKind::Val) {
                construct.end = text[nameEnd] == '}' ? nameEnd + 1 : npos;
            } else if (text[nameEnd] != ',') {
                break;
            } else if (kind == ConstructKind::If) {
                const std::size_t close = IfClose(text, nameEnd + 1);
                construct.end = close == npos ? npos : close + 1;
            } else if (kind == ConstructKind::List) {
                ListMatch match;
                if (text.compare(nameEnd, 2, ",'") == 0 &&
                    MatchListAt(text, start, nameEnd + 2 - start, match)) {
                    construct.end = match.end;
                    construct.quoted = match.quote;
                }
            } else {
                std::size_t at = 0;
                bool quote = false;
                std::size_t end = 0;
                if (FindMultilistEnd(text, nameEnd + 2, at, quote, end)) {
                    construct.end = end;
                    construct.quoted = quote;
                }
            }
            if (construct.end != npos) {
                found.push_back(std::move(construct));
            }
            break;
        }
    }
    return found;
}

} // namespace Corvane::AutoCli::TemplateText
