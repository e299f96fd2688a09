// Assembling the filled command: pieces of value text held aside, and the writers that put them in.
#pragma once

#include <string>
#include <vector>

namespace Corvane::AutoCli::ShellText {

/// How the template asked for a piece of value text, which decides the characters put around it.
enum class ValueForm {
    Plain,    // $val, $list without quotes, $multilist without quotes: the value alone.
    Quoted,   // $list with quotes (the joined values), $multilist with quotes (one value): between "...".
    Template, // Template text held aside (a template byte that collides with the token mark).
};

/// Text held aside while a template is filled. The working text refers to it by a token, so that no
/// later step of the filling can read value text as template text.
struct Piece {
    ValueForm form;
    std::string text;
};

/// Replaces every token (mark, decimal index, mark) of `work` by its piece: the text as it stands for
/// the standard-input template.
std::string FillRaw(const std::string& work, char mark, const std::vector<Piece>& pieces);

/// Replaces every token of `work` by its piece, escaped for the place of the shell text where it
/// lands. Throws CorvaneException for a place where no escaping keeps the value data.
std::string FillCommand(const std::string& work, char mark, const std::vector<Piece>& pieces);

} // namespace Corvane::AutoCli::ShellText
