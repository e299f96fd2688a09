// The clean-up of $if constructs left by absent parameters, and the paired-brace search it rests on.
#include "autocli/extension/template_if_cleanup.h"

#include <corvane/plugins.h>

#include <cstdint>
#include <vector>

namespace Corvane::AutoCli {

namespace {

constexpr std::size_t npos = std::string::npos;

bool IsNameChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-';
}

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
        if (oldHeads.empty() || lastClose == npos || oldHeads.front().second + 2 > lastClose) {
            return old;
        }
        PairBraces();
        std::size_t pos = old.find('{');
        if (pos == npos) {
            return old;
        }
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
            if (!removed) {
                Keep(close == npos ? next + 1 : close + 1);
            }
            std::size_t brace = old.find('{', next);
            Keep(brace == npos ? old.size() : brace);
        }
        return kept;
    }

private:
    // Recogniser of "$if{NAME,": 0 nothing, 1 "$", 2 "$i", 3 "$if", 4 "$if{", 5 "$if{" and name bytes.
    static std::uint8_t Step(std::uint8_t state, char c) {
        if (c == '$') {
            return 1;
        }
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
            if (state == 5 && old[i] == ',') {
                oldHeads.emplace_back(dollar, i);
            }
            if (old[i] == '$') {
                dollar = i;
            }
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
            if (state == 5 && c == ',') {
                keptHeads.push_back(dollars.back());
            }
            if (c == '$') {
                dollars.push_back(kept.size());
            }
            kept += c;
            states.push_back(Step(state, c));
        }
    }

    void Truncate(std::size_t size) {
        kept.resize(size);
        states.resize(size);
        while (!dollars.empty() && dollars.back() >= size) {
            dollars.pop_back();
        }
        while (!keptHeads.empty() && keptHeads.back() >= size) {
            keptHeads.pop_back();
        }
    }

    // Whether kept[d..] followed by old[next..close] holds a "$if{NAME," whose comma lies at least
    // two bytes before the closing brace at `close`.
    bool CandidateHasHead(std::size_t d, std::size_t close) {
        if (!keptHeads.empty() && keptHeads.back() >= d) {
            return true;
        }
        // A head that began in the kept text and goes on in the original.
        std::uint8_t state = states.empty() ? 0 : states.back();
        for (std::size_t i = next; state >= 3 && i + 2 <= close; ++i) {
            if (state == 5 && old[i] == ',') {
                return true;
            }
            state = Step(state, old[i]);
            if (state == 1) {
                break;
            }
        }
        while (headCursor < oldHeads.size() && oldHeads[headCursor].first < next) {
            ++headCursor;
        }
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

std::string RemoveLeftoverIfs(const std::string& text) {
    return IfCleanup(text).Run();
}

std::pair<std::size_t, std::size_t> FindPairedTokenSize(const char* text, std::size_t start,
                                                        std::size_t length, char open, char close) {
    if (text == nullptr || start >= length) {
        return {0, 0};
    }
    // The nested scans of the recursive definition all end at the first closing byte that leaves
    // the nesting depth at zero, and any nested failure makes the outer scan fail too, so one pass
    // that counts depth gives the same pairs.
    std::size_t depth = 0;
    for (std::size_t i = text[start] == open ? start + 1 : start; i < length; ++i) {
        if (text[i] == open) {
            ++depth;
        } else if (text[i] == close) {
            if (depth == 0) {
                return {start, i - start + 1};
            }
            --depth;
        }
    }
    return {0, 0};
}

} // namespace Corvane::AutoCli
