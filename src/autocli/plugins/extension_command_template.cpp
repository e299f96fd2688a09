// Filling command templates: $val, $if, $list and $multilist, the clean-up of leftover $if, and brace
// pairing.
#include <corvane/plugins.h>

#include "extension_command_shell.h"

#include <boost/algorithm/string/replace.hpp>

#include <array>
#include <cstdint>

namespace Corvane::AutoCli {

namespace {

using ShellText::Piece;
using ShellText::ValueForm;

constexpr std::size_t npos = std::string::npos;

// The template being filled. Substituted text is held aside as pieces and the working text carries
// a token (mark, decimal index, mark) in its place: the tokens hold no byte that any pattern of the
// template language looks for, so no later step can match value text.
class WorkingText {
public:
    explicit WorkingText(const std::string& templateText) {
        std::array<bool, 256> used{};
        for (char c : templateText)
            used[static_cast<unsigned char>(c)] = true;
        for (int candidate = 1; candidate < 256; ++candidate) {
            bool control = candidate < 32 && candidate != '\t' && candidate != '\n' && candidate != '\v' &&
                           candidate != '\f' && candidate != '\r';
            if ((control || candidate >= 127) && !used[candidate]) {
                mark = static_cast<char>(candidate);
                text = templateText;
                return;
            }
        }
        // A template that uses every candidate byte: its own 0x01 bytes are held aside as template
        // pieces, which frees 0x01 for the tokens.
        mark = '\x01';
        std::string token = Token(ValueForm::Template, std::string(1, mark));
        text = boost::algorithm::replace_all_copy(templateText, std::string(1, mark), token);
    }

    std::string Token(ValueForm form, std::string pieceText) {
        pieces.push_back(Piece{form, std::move(pieceText)});
        return mark + std::to_string(pieces.size() - 1) + mark;
    }

    std::string text;
    char mark = '\x01';
    std::vector<Piece> pieces;
};

bool IsNameChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-';
}

// Every non-overlapping $if{NAME,TEXT} (TEXT: one byte or more up to the next closing brace) becomes
// TEXT. A start without a closing brace after it means no later start has one either.
void ReplaceIf(std::string& text, const std::string& name) {
    const std::string head = "$if{" + name + ",";
    std::string result;
    std::size_t copied = 0;
    for (std::size_t start = text.find(head); start != npos; start = text.find(head, copied)) {
        std::size_t body = start + head.size();
        std::size_t close = body < text.size() ? text.find('}', body + 1) : npos;
        if (close == npos)
            break;
        result.append(text, copied, start - copied);
        result.append(text, body, close - body);
        copied = close + 1;
    }
    if (copied == 0)
        return;
    result.append(text, copied, npos);
    text.swap(result);
}

// One $list{NAME,'C',Q} at `start`, C being zero or one byte (one preferred, as a greedy .? does).
struct ListMatch {
    std::string separator;
    bool quote = false;
    std::size_t end = 0;
};

bool MatchListAt(const std::string& text, std::size_t start, std::size_t headSize, ListMatch& match) {
    std::size_t separator = start + headSize;
    for (std::size_t length : {std::size_t{1}, std::size_t{0}}) {
        std::size_t quote = separator + length;
        if (quote + 2 > text.size() || text.compare(quote, 2, "',") != 0)
            continue;
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

// Replaces every match found by `matchAt(start, end)` at the starts of `head`, left to right and
// without overlap, by `replacement`.
template <typename MatchAt>
void ReplaceMatches(std::string& text, const std::string& head, const std::string& replacement,
                    MatchAt matchAt) {
    std::string result;
    std::size_t copied = 0;
    for (std::size_t start = text.find(head); start != npos;) {
        std::size_t end = 0;
        if (!matchAt(start, end)) {
            start = text.find(head, start + 1);
            continue;
        }
        result.append(text, copied, start - copied);
        result += replacement;
        copied = end;
        start = text.find(head, end);
    }
    result.append(text, copied, npos);
    text.swap(result);
}

void SubstituteList(WorkingText& work, const std::string& name, const CallSpec::Input& input) {
    std::string& text = work.text;
    const std::string head = "$list{" + name + ",'";
    // The last construct supplies C and Q.
    ListMatch last;
    std::size_t start = text.rfind(head);
    while (start != npos && !MatchListAt(text, start, head.size(), last))
        start = start == 0 ? npos : text.rfind(head, start - 1);
    if (start == npos)
        return;
    std::vector<std::string> values;
    input.GetParameterList(name, values);
    std::string joined;
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (i > 0)
            joined += last.separator;
        joined += values[i];
    }
    std::string token = work.Token(last.quote ? ValueForm::ListQuoted : ValueForm::Plain, std::move(joined));
    ReplaceMatches(text, head, token, [&](std::size_t at, std::size_t& end) {
        ListMatch match;
        if (!MatchListAt(text, at, head.size(), match))
            return false;
        end = match.end;
        return true;
    });
}

void SubstituteMultilist(WorkingText& work, const std::string& name, const CallSpec::Input& input) {
    std::string& text = work.text;
    const std::string head = "$multilist{" + name + ",";
    // The last construct (PREFIX: one byte or more, up to the first ",true}" or ",false}") supplies
    // PREFIX and Q. A start has a match exactly when some terminator lies past its first PREFIX byte.
    std::size_t lastEnd = npos;
    for (std::size_t comma = text.rfind(','); comma != npos;
         comma = comma == 0 ? npos : text.rfind(',', comma - 1)) {
        if (text.compare(comma, 6, ",true}") == 0 || text.compare(comma, 7, ",false}") == 0) {
            lastEnd = comma;
            break;
        }
    }
    if (lastEnd == npos)
        return;
    std::size_t start = text.rfind(head);
    while (start != npos && start + head.size() + 1 > lastEnd)
        start = start == 0 ? npos : text.rfind(head, start - 1);
    if (start == npos)
        return;
    std::size_t prefixStart = start + head.size();
    std::size_t at = 0;
    std::size_t end = 0;
    bool quote = false;
    FindMultilistEnd(text, prefixStart + 1, at, quote, end);
    const std::string prefix = text.substr(prefixStart, at - prefixStart);

    std::vector<std::string> values;
    input.GetParameterList(name, values);
    std::string replacement;
    for (std::string& value : values) {
        replacement += ' ';
        replacement += prefix;
        replacement += ' ';
        replacement += work.Token(quote ? ValueForm::ItemQuoted : ValueForm::Plain, std::move(value));
    }
    ReplaceMatches(text, head, replacement, [&](std::size_t from, std::size_t& matchEnd) {
        // Past the last terminator nothing can match; checking that first keeps this linear.
        std::size_t terminator = 0;
        bool q = false;
        return from + head.size() + 1 <= lastEnd &&
               FindMultilistEnd(text, from + head.size() + 1, terminator, q, matchEnd);
    });
}

// Removes leftover $if constructs: for each opening brace, left to right, the text from the last $
// before it up to its balancing closing brace goes when it holds "$if{NAME," followed, one byte or
// more later, by a closing brace; scanning then goes on at the same position of the shortened text.
//
// The text before the scan point is kept in `kept` with enough bookkeeping (positions of $ and of
// complete "$if{NAME," heads, and the recogniser's state after each byte) to answer each step in
// constant time; the rest is the untouched original, whose brace pairs are known from one pass.
// So the whole clean-up is linear, however the braces nest or fail to pair.
class IfCleanup {
public:
    explicit IfCleanup(const std::string& text) : old(text) {}

    std::string Run() {
        FindHeads();
        std::size_t lastClose = old.rfind('}');
        if (oldHeads.empty() || lastClose == npos || oldHeads.front().second + 2 > lastClose)
            return old;
        PairBraces();
        std::size_t pos = old.find('{');
        if (pos == npos)
            return old;
        Keep(pos);
        while (next < old.size()) {
            std::size_t close = match[next];
            bool removed = false;
            if (close != npos && !dollars.empty()) {
                std::size_t d = dollars.back();
                if (CandidateHasHead(d, close)) {
                    std::size_t scanPoint = kept.size();
                    Truncate(d);
                    next = close + 1;
                    // The scan resumes at the same position, which now holds later bytes.
                    Keep(std::min(old.size(), next + (scanPoint - d)));
                    removed = true;
                }
            }
            if (!removed)
                Keep(close == npos ? next + 1 : close + 1);
            std::size_t brace = old.find('{', next);
            Keep(brace == npos ? old.size() : brace);
        }
        return kept;
    }

private:
    // Recogniser of "$if{NAME,": 0 nothing, 1 "$", 2 "$i", 3 "$if", 4 "$if{", 5 "$if{" and name bytes.
    static std::uint8_t Step(std::uint8_t state, char c) {
        if (c == '$')
            return 1;
        switch (state) {
        case 1:
            return c == 'i' ? 2 : 0;
        case 2:
            return c == 'f' ? 3 : 0;
        case 3:
            return c == '{' ? 4 : 0;
        case 4:
        case 5:
            return IsNameChar(c) ? 5 : 0;
        default:
            return 0;
        }
    }

    void FindHeads() {
        std::uint8_t state = 0;
        std::size_t dollar = 0;
        for (std::size_t i = 0; i < old.size(); ++i) {
            if (state == 5 && old[i] == ',')
                oldHeads.emplace_back(dollar, i);
            if (old[i] == '$')
                dollar = i;
            state = Step(state, old[i]);
        }
    }

    void PairBraces() {
        match.assign(old.size(), npos);
        std::vector<std::size_t> open;
        for (std::size_t i = 0; i < old.size(); ++i) {
            if (old[i] == '{') {
                open.push_back(i);
            } else if (old[i] == '}' && !open.empty()) {
                match[open.back()] = i;
                open.pop_back();
            }
        }
    }

    // Moves the original bytes up to `end` into the kept text.
    void Keep(std::size_t end) {
        for (; next < end; ++next) {
            char c = old[next];
            std::uint8_t state = states.empty() ? 0 : states.back();
            if (state == 5 && c == ',')
                keptHeads.push_back(dollars.back());
            if (c == '$')
                dollars.push_back(kept.size());
            kept += c;
            states.push_back(Step(state, c));
        }
    }

    void Truncate(std::size_t size) {
        kept.resize(size);
        states.resize(size);
        while (!dollars.empty() && dollars.back() >= size)
            dollars.pop_back();
        while (!keptHeads.empty() && keptHeads.back() >= size)
            keptHeads.pop_back();
    }

    // Whether kept[d..] followed by old[next..close] holds a "$if{NAME," whose comma lies at least
    // two bytes before the closing brace at `close`.
    bool CandidateHasHead(std::size_t d, std::size_t close) {
        if (!keptHeads.empty() && keptHeads.back() >= d)
            return true;
        // A head that began in the kept text and goes on in the original.
        std::uint8_t state = states.empty() ? 0 : states.back();
        for (std::size_t i = next; state >= 3 && i + 2 <= close; ++i) {
            if (state == 5 && old[i] == ',')
                return true;
            state = Step(state, old[i]);
            if (state == 1)
                break;
        }
        while (headCursor < oldHeads.size() && oldHeads[headCursor].first < next)
            ++headCursor;
        return headCursor < oldHeads.size() && oldHeads[headCursor].second + 2 <= close;
    }

    const std::string& old;
    std::vector<std::size_t> match;
    std::vector<std::pair<std::size_t, std::size_t>> oldHeads; // ($ position, comma position)
    std::size_t headCursor = 0;
    std::size_t next = 0;
    std::string kept;
    std::vector<std::uint8_t> states;
    std::vector<std::size_t> dollars;
    std::vector<std::size_t> keptHeads; // $ positions of complete heads in `kept`
};

} // namespace

std::pair<std::size_t, std::size_t> FindPairedTokenSize(const char* text, std::size_t start,
                                                        std::size_t length, char open, char close) {
    if (text == nullptr || start >= length)
        return {0, 0};
    // The nested scans of the recursive definition all end at the first closing byte that leaves
    // the nesting depth at zero, and any nested failure makes the outer scan fail too, so one pass
    // that counts depth gives the same pairs.
    std::size_t depth = 0;
    for (std::size_t i = text[start] == open ? start + 1 : start; i < length; ++i) {
        if (text[i] == open) {
            ++depth;
        } else if (text[i] == close) {
            if (depth == 0)
                return {start, i - start + 1};
            --depth;
        }
    }
    return {0, 0};
}

std::string ExtensionCommand::SubstituteInput(const std::shared_ptr<CallSpec::Input>& input, bool forStdin) {
    const std::string& templateText = forStdin ? stdinTemplate : executeCommand;
    if (templateText.empty() || templateText.find('$') == npos)
        return templateText;
    if (!input)
        throw CorvaneException("Unable to fill the command template without an input");

    WorkingText work(templateText);
    std::string& text = work.text;
    for (const std::shared_ptr<CallSpec::ParameterSpec>& parameter : GetInputSpec()->GetParameters()) {
        const std::string& name = parameter->GetName();
        if (!input->HasParameter(name))
            continue;
        const std::string valKey = "$val{" + name + "}";
        if (text.find(valKey) != npos) {
            // Each occurrence is escaped for its own place when the command is assembled.
            std::string token = work.Token(ValueForm::Plain, input->GetParameter(name));
            boost::algorithm::replace_all(text, valKey, token);
        }
        ReplaceIf(text, name);
        SubstituteList(work, name, *input);
        SubstituteMultilist(work, name, *input);
    }
    text = IfCleanup(text).Run();
    return forStdin ? ShellText::FillRaw(text, work.mark, work.pieces)
                    : ShellText::FillCommand(text, work.mark, work.pieces);
}

} // namespace Corvane::AutoCli
