// Filling command templates: $val, $if, $list and $multilist, values held aside until the end.
#include <corvane/plugins.h>

#include "autocli/extension/extension_command_shell.h"
#include "autocli/extension/template_constructs.h"
#include "autocli/extension/template_if_cleanup.h"

#include <boost/algorithm/string/replace.hpp>

#include <array>

namespace Corvane::AutoCli {

namespace {

using ShellText::Piece;
using ShellText::ValueForm;
using TemplateText::FindMultilistEnd;
using TemplateText::ListMatch;
using TemplateText::MatchListAt;

constexpr std::size_t npos = std::string::npos;

// The template being filled. Substituted text is held aside as pieces and the working text carries
// a token (mark, decimal index, mark) in its place: the tokens hold no byte that any pattern of the
// template language looks for, so no later step can match value text.
class WorkingText {
public:
    explicit WorkingText(const std::string& templateText) {
        std::array<bool, 256> used{};
        for (char c : templateText) {
            used[static_cast<unsigned char>(c)] = true;
        }
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

// Every non-overlapping $if{NAME,TEXT} (TEXT: one byte or more up to the next closing brace) becomes
// TEXT. A start without a closing brace after it means no later start has one either.
void ReplaceIf(std::string& text, const std::string& name) {
    const std::string head = "$if{" + name + ",";
    std::string result;
    std::size_t copied = 0;
    for (std::size_t start = text.find(head); start != npos; start = text.find(head, copied)) {
        std::size_t body = start + head.size();
        std::size_t close = TemplateText::IfClose(text, body);
        if (close == npos) {
            break;
        }
        result.append(text, copied, start - copied);
        result.append(text, body, close - body);
        copied = close + 1;
    }
    if (copied == 0) {
        return;
    }
    result.append(text, copied, npos);
    text.swap(result);
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
    while (start != npos && !MatchListAt(text, start, head.size(), last)) {
        start = start == 0 ? npos : text.rfind(head, start - 1);
    }
    if (start == npos) {
        return;
    }
    std::vector<std::string> values;
    input.GetParameterList(name, values);
    std::string joined;
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (i > 0) {
            joined += last.separator;
        }
        joined += values[i];
    }
    std::string token = work.Token(last.quote ? ValueForm::Quoted : ValueForm::Plain, std::move(joined));
    ReplaceMatches(text, head, token, [&](std::size_t at, std::size_t& end) {
        ListMatch match;
        if (!MatchListAt(text, at, head.size(), match)) {
            return false;
        }
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
    if (lastEnd == npos) {
        return;
    }
    std::size_t start = text.rfind(head);
    while (start != npos && start + head.size() + 1 > lastEnd) {
        start = start == 0 ? npos : text.rfind(head, start - 1);
    }
    if (start == npos) {
        return;
    }
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
        replacement += work.Token(quote ? ValueForm::Quoted : ValueForm::Plain, std::move(value));
    }
    ReplaceMatches(text, head, replacement, [&](std::size_t from, std::size_t& matchEnd) {
        // Past the last terminator nothing can match; checking that first keeps this linear.
        std::size_t terminator = 0;
        bool q = false;
        return from + head.size() + 1 <= lastEnd &&
               FindMultilistEnd(text, from + head.size() + 1, terminator, q, matchEnd);
    });
}

} // namespace

std::string ExtensionCommand::SubstituteInput(const std::shared_ptr<CallSpec::Input>& input, bool forStdin) {
    const std::string& templateText = forStdin ? stdinTemplate : executeCommand;
    if (templateText.empty() || templateText.find('$') == npos) {
        return templateText;
    }
    if (!input) {
        throw CorvaneException("Unable to fill the command template without an input");
    }

    WorkingText work(templateText);
    std::string& text = work.text;
    for (const std::shared_ptr<CallSpec::ParameterSpec>& parameter : GetInputSpec()->GetParameters()) {
        const std::string& name = parameter->GetName();
        if (!input->HasParameter(name)) {
            continue;
        }
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
    text = RemoveLeftoverIfs(text);
    return forStdin ? ShellText::FillRaw(text, work.mark, work.pieces)
                    : ShellText::FillCommand(text, work.mark, work.pieces);
}

} // namespace Corvane::AutoCli
