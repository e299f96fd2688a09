// Completion: the candidates a shell offers for one word of a command line, computed from the live tree.
#pragma once

#include <corvane/export.h>

#include <ostream>
#include <string>
#include <vector>

namespace Corvane::AutoCli {

class Dispatcher;

/// What the shell should offer in place of the word being completed.
enum class CompletionKind {
    Words,       ///< the candidates listed, nothing else
    Files,       ///< file names of the file system
    Directories, ///< directory names of the file system
};

/// One word the shell may put in place of the word being completed, with a one-line description
/// (empty when there is none).
struct CORVANE_API CompletionCandidate {
    std::string word;
    std::string description;
};

inline bool operator==(const CompletionCandidate& a, const CompletionCandidate& b) {
    return a.word == b.word && a.description == b.description;
}

/// The answer for one word. For Words, `candidates` holds whole words (an option's "--name=" part
/// included) that begin with the word being completed, in byte-wise order. For Files and Directories
/// `candidates` is empty and `prefix` is the part of the word in front of the file name ("--plugin="
/// in "--plugin=/tmp/p"; empty when the whole word is the file name).
struct CORVANE_API Completion {
    CompletionKind kind = CompletionKind::Words;
    std::string prefix;
    std::vector<CompletionCandidate> candidates;
};

/// The candidates for the last of `words`, the words of a command line after the tool name up to the
/// one being completed (which may be empty: completing a new word). An empty `words` completes a first,
/// empty word. The words are read with the grammar of the command line:
/// - before the path: dispatcher options, then their values (formatter names after --formatter, files
///   after --plugin and --input, directories after --plugin-dir);
/// - in the path: the namespaces and commands below the words before;
/// - after a command: the command's options not given yet (list options again), long and short (short
///   ones only once the word begins with a dash), and after an option the values of its enumeration
///   constraint, or true and false for a boolean.
///
/// The plugins that the words before the last one name with --plugin-dir and --plugin are loaded into
/// `dispatcher` first, so that their commands complete; failures to load are ignored here (loading
/// reports them on standard error, which a completing program should silence). Apart from that
/// nothing is changed or written. A word that names nothing, or a line the tool would refuse, gives
/// no candidates.
CORVANE_API Completion AutoCli_Complete(Dispatcher& dispatcher, const std::vector<std::string>& words);

/// Writes `completion` in the line form the completion scripts read: first the kind ("words",
/// "files" or "directories"), a tab and the prefix; then one line per candidate: the word, and a tab
/// and the description when there is one. Tabs and line breaks in descriptions become blanks; a word
/// holding either cannot be written and is left out.
CORVANE_API void AutoCli_WriteCompletion(const Completion& completion, std::ostream& out);

/// The candidate that `word`, which names none of them, most likely meant: the one nearest by edit
/// distance when the distance is at most a third of the longer word (at least 2) and leaves some of
/// both standing; otherwise the only candidate that begins with `word` when it has two characters or
/// more. Empty when neither exists, when
/// `word` is empty or is itself a candidate. Of equally near candidates the first in the list wins.
CORVANE_API std::string AutoCli_ClosestName(const std::string& word,
                                            const std::vector<std::string>& candidates);

} // namespace Corvane::AutoCli
