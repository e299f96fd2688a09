// Close names: the one matcher that picks the known name a mistyped word most likely meant, used by
// the command line's "Did you mean" lines and by the descriptor linter.
#include "autocli/dispatch/close_name.h"

#include <corvane/completion.h>

#include <algorithm>

namespace Corvane::AutoCli {

namespace {

// Edit distance: insertions, deletions and substitutions of single bytes.
std::size_t Distance(const std::string& a, const std::string& b) {
    std::vector<std::size_t> row(b.size() + 1);
    for (std::size_t j = 0; j <= b.size(); ++j) {
        row[j] = j;
    }
    for (std::size_t i = 1; i <= a.size(); ++i) {
        std::size_t diagonal = row[0];
        row[0] = i;
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const std::size_t above = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
            diagonal = above;
        }
    }
    return row[b.size()];
}

} // namespace

std::string AutoCli_ClosestName(const std::string& word, const std::vector<std::string>& candidates) {
    if (word.empty() || std::find(candidates.begin(), candidates.end(), word) != candidates.end()) {
        return std::string();
    }
    std::string best;
    std::size_t bestDistance = 0;
    for (const std::string& name : candidates) {
        const std::size_t distance = Distance(word, name);
        if (best.empty() || distance < bestDistance) {
            best = name;
            bestDistance = distance;
        }
    }
    // A slip changes a few letters; beyond a third of the word it is another word, and a word or
    // name replaced whole ("x" for "v", "h2" for "h") is no slip at all.
    const std::size_t limit = std::max<std::size_t>(2, std::max(word.size(), best.size()) / 3);
    if (!best.empty() && bestDistance <= limit && bestDistance < std::min(word.size(), best.size())) {
        return best;
    }
    // A word cut short names the one candidate it begins; a single letter is too little to tell.
    std::string only;
    if (word.size() < 2) {
        return only;
    }
    for (const std::string& name : candidates) {
        if (name.size() > word.size() && name.compare(0, word.size(), word) == 0) {
            if (!only.empty()) {
                return std::string();
            }
            only = name;
        }
    }
    return only;
}

namespace Detail {

std::string DidYouMean(const std::string& word, const std::vector<std::string>& candidates, bool asOption) {
    const std::string closest = AutoCli_ClosestName(word, candidates);
    if (closest.empty()) {
        return std::string();
    }
    const char* dashes = !asOption ? "" : closest.size() == 1 ? "-" : "--";
    return std::string("Did you mean '") + dashes + closest + "'?";
}

std::vector<std::string> CandidateWords(const Completion& completion, bool dropDashes) {
    std::vector<std::string> words;
    words.reserve(completion.candidates.size());
    for (const CompletionCandidate& candidate : completion.candidates) {
        const std::string& word = candidate.word;
        words.push_back(dropDashes ? word.substr(std::min(word.find_first_not_of('-'), word.size())) : word);
    }
    return words;
}

} // namespace Detail
} // namespace Corvane::AutoCli
