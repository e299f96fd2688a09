// ShellLexer: follows the quoting of /bin/sh text byte by byte and tells the Place of the next byte.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace Corvane::AutoCli::ShellText {

/// Where a byte of shell text stands, as far as escaping a value there is concerned.
enum class Place {
    Word,          // unquoted, also inside $(...) and ${...}
    Comment,       // after an unquoted # that starts a word, up to the line end
    Double,        // inside "..."
    Single,        // inside '...'
    Ansi,          // inside $'...' (bash reads backslash escapes there, dash does not)
    HereDoc,       // in the body of a here-document whose delimiter is not quoted
    QuotedHereDoc, // in the body of a here-document whose delimiter is quoted
    Backquoted,    // anywhere inside `...`: refused, the backquote layer rereads backslashes
    Ambiguous,     // after $'...' holding a backslash: dash and bash disagree about what follows
};

/// Places of shell text whose reading shells do not share, or that the lexer does not follow byte
/// for byte: a value there cannot be escaped for every shell, and is refused.
enum class Unread {
    None,
    Expansion,   // inside ${...}: shells quote its word and pattern parts in different ways
    Arithmetic,  // inside $((...)): read as an arithmetic expression, not as words
    CasePattern, // in a pattern of a case command, up to its closing )
};

/// Follows the quoting of shell text byte by byte, the way /bin/sh reads it: backslashes, single,
/// double and $'...' quotes, comments, $(...), ${...}, backquotes and here-documents. It is fed the
/// real command text, values included, so that the place it reports for the next byte is the place
/// the shell will see. It tells apart the places it does not follow byte for byte (UnreadPlace) and
/// does not follow the inner quoting of backquotes (values there are refused). It knows the reserved
/// words case, in and esac where the template writes them itself, so that the ) closing a case
/// pattern does not close a $(...) around it.
class ShellLexer {
public:
    ShellLexer() { frames.emplace_back(Kind::Top); }

    /// The place of the next byte fed.
    Place Current() const;

    /// Whether the next byte lies in a place whose reading is not followed, and which one.
    Unread UnreadPlace() const;

    /// True when the previous byte was a backslash that escapes the next one.
    bool EscapePending() const { return escape; }

    /// True when a # fed now would start a comment: unquoted, unescaped, at the start of a word.
    bool HashStartsComment() const {
        return Current() == Place::Word && !escape && wordStart && op == Operator::None &&
               frames.back().kind != Kind::Brace;
    }

    /// True inside the body of a here-document, also inside a substitution there. Some shells read a
    /// body line by line before they read anything in it, so a line feed there can end it whatever
    /// quotes stand around.
    bool InHereDocBody() const { return !bodies.empty(); }

    /// The delimiter of the first here-document that a line written partly by a value ended, or null.
    const std::string* HereDocEndedByValue() const { return valueEndedBody ? &endedDelimiter : nullptr; }

    /// Reads one byte; `fromValue` tells that a parameter value, not the template, wrote it.
    void Feed(char c, bool fromValue);

private:
    // Where a case command stands, from its reserved word to esac.
    enum class CaseStep : std::uint8_t { Subject, In, Pattern, Body };

    enum class Kind : std::uint8_t {
        Top,
        CmdSubst,
        Brace,
        Backquote,
        Double,
        BraceInDouble,
        Single,
        Ansi,
        Body
    };

    struct Frame {
        explicit Frame(Kind frameKind) : kind(frameKind) {}

        Kind kind;
        int parens = 0;
        bool fresh = true;       // nothing read in the frame yet: a ( now makes $(...) arithmetic
        bool arithmetic = false; // $((...))
        // The unquoted word being read, for reserved words: its bytes while every one of them is
        // a plain byte of the template; `wordPlain` false once one is not.
        std::string word;
        bool wordOpen = false;
        bool wordPlain = true;
        bool commandPosition = true; // the next word would be a command name or a reserved word
        bool semicolon = false;      // the previous byte was an unquoted ;
        bool patternFresh = false;   // no word of the current case pattern read yet
        std::vector<CaseStep> cases;
        // Here-document bodies only.
        std::string delimiter;
        bool stripTabs = false;
        bool quoted = false;
        std::string line;
        bool lineHasValue = false;
    };

    struct PendingBody {
        std::string delimiter;
        bool stripTabs;
        bool quoted;
    };

    // Reading the delimiter word after <<.
    enum class Operator : std::uint8_t { None, AfterOperator, Blanks, Word };

    void Push(Kind kind);
    void Pop();
    void Backquote();
    void StartNextBody();
    void FeedWord(char c);
    bool FeedSeparator(char c, Frame& frame, bool wasSemicolon);
    void WordByte(Frame& frame, char c);
    void EndWord(Frame& frame);
    static bool InPattern(const Frame& frame) {
        return !frame.cases.empty() && frame.cases.back() == CaseStep::Pattern;
    }
    bool FeedOperator(char c);
    void FeedDouble(char c);
    void FeedSingle(char c);
    void FeedBody(char c, bool fromValue);
    void EndBodyLine();

    std::vector<Frame> frames;
    std::vector<std::size_t> bodies; // indexes of the here-document frames in `frames`
    std::vector<PendingBody> pending;
    std::size_t nextPending = 0;
    int backquotes = 0;
    bool escape = false;
    bool dollar = false;
    bool less = false;
    bool wordStart = true;
    bool comment = false;
    bool ambiguous = false;
    bool feedingValue = false;
    bool valueEndedBody = false;
    std::string endedDelimiter;

    Operator op = Operator::None;
    bool opStrip = false;
    bool opQuoted = false;
    bool opEscape = false;
    char opQuote = 0;
    std::string opWord;
};

} // namespace Corvane::AutoCli::ShellText
