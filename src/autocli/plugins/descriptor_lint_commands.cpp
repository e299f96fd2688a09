// Descriptor linter: per-command checks the loader cannot make: parameters that collide with the
// implicit help parameter, default formatters nobody provides, and command template constructs.
#include "descriptor_lint_internal.h"

#include <corvane/xmlutil.h>

#include "regex/regex_pattern.h"

#include <cstring>
#include <map>

namespace Corvane::AutoCli {
namespace DescriptorLint {

namespace {

struct Parameter {
    bool required = false;
};

void Report(std::vector<LintFinding>& findings, const xmlNode* node, bool error, std::string message) {
    LintFinding finding;
    finding.line = LineOf(node);
    finding.error = error;
    finding.message = std::move(message);
    findings.push_back(std::move(finding));
}

std::vector<xmlNode*> Named(const xmlNode* node, const char* tag) {
    std::vector<xmlNode*> found;
    if (node == nullptr) {
        return found;
    }
    for (xmlNode* child : ElementChildren(node)) {
        if (std::strcmp(reinterpret_cast<const char*>(child->name), tag) == 0) {
            found.push_back(child);
        }
    }
    return found;
}

std::map<std::string, Parameter> CheckParameters(xmlNode* command, std::vector<LintFinding>& findings) {
    std::map<std::string, Parameter> parameters;
    for (xmlNode* inputSpec : Named(command, "input-spec")) {
        for (xmlNode* parameter : Named(inputSpec, "parameter")) {
            const std::string name = XmlUtil_ExtractAttribute(parameter, "name");
            parameters[name].required = XmlUtil_ExtractAttribute(parameter, "required") == "true";
            if (name == "help") {
                Report(findings, parameter, true,
                       "parameter 'help' collides with the implicit help parameter: the file loads, but "
                       "every call of the command fails");
            } else if (XmlUtil_ExtractAttribute(parameter, "shortname") == "h") {
                Report(findings, parameter, true,
                       "short name 'h' of parameter '" + name +
                           "' collides with the implicit help parameter: the file loads, but every call of "
                           "the command fails");
            }
        }
    }
    return parameters;
}

void CheckFormatter(xmlNode* command, Dispatcher& dispatcher, std::vector<LintFinding>& findings) {
    std::vector<std::string> known;
    for (const auto& formatter : dispatcher.GetFormatters()) {
        known.push_back(formatter->GetName());
    }
    for (xmlNode* formatParameters : Named(command, "format-parameters")) {
        for (xmlNode* formatter : Named(formatParameters, "formatter")) {
            const std::string name = XmlUtil_GetContent(formatter);
            if (!name.empty() && !dispatcher.HasFormatter(name)) {
                Report(findings, formatter, false,
                       "default formatter '" + name + "' is provided by no loaded plugin" +
                           Suggestion(name, known));
            }
        }
    }
}

// Whether `position` of `text` lies between quotes of the shell text (a backslash outside single
// quotes takes the next character literally).
bool InsideQuotes(const std::string& text, std::size_t position) {
    char quote = 0;
    for (std::size_t i = 0; i < position && i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\\' && quote != '\'') {
            ++i;
        } else if (quote == 0 && (c == '\'' || c == '"')) {
            quote = c;
        } else if (c == quote) {
            quote = 0;
        }
    }
    return quote != 0;
}

// Whether `position` lies inside a $if{NAME,...} of the same parameter, braces balanced as the
// template filler balances them when it removes an $if of an absent parameter.
bool InsideIfOf(const std::string& text, const std::string& name, std::size_t position) {
    const std::string opening = "$if{" + name + ",";
    for (std::size_t at = text.find(opening); at != std::string::npos && at < position;
         at = text.find(opening, at + 1)) {
        const auto span = FindPairedTokenSize(text.c_str(), at + 3, text.size(), '{', '}');
        if (span.second != 0 && position < span.first + span.second) {
            return true;
        }
    }
    return false;
}

void CheckTemplate(xmlNode* element, bool shellText, const std::map<std::string, Parameter>& parameters,
                   std::vector<LintFinding>& findings) {
    static const Detail::RegexPattern construct(
        "\\$(val|if|list|multilist)\\{([a-z0-9-]+)(?:\\}|,('.?',(true|false)\\}|[^}]*?,(true|false)\\})?)");
    const std::string text = XmlUtil_GetContent(element);
    std::vector<std::string> names;
    names.reserve(parameters.size());
    for (const auto& entry : parameters) {
        names.push_back(entry.first);
    }
    for (const Detail::RegexGroups& match : construct.FindAll(text)) {
        const std::string kind = text.substr(match[1].first, match[1].second);
        const std::string name = text.substr(match[2].first, match[2].second);
        const auto position = static_cast<std::size_t>(match[0].first);
        const std::string shown =
            kind == "if" ? "$if{" + name + ",...}" : text.substr(position, match[0].second);
        const auto parameter = parameters.find(name);
        if (parameter == parameters.end()) {
            Report(findings, element, false,
                   "'" + shown + "' names no declared parameter" + Suggestion(name, names));
            continue;
        }
        if (kind != "if" && !parameter->second.required && !InsideIfOf(text, name, position)) {
            std::string message = "'" + shown;
            message += "' of the optional parameter '" + name;
            message += "' is outside any '$if{" + name;
            message += ",...}': it stays as literal text when the option is left off";
            Report(findings, element, false, std::move(message));
        }
        const auto isTrue = [&text](const std::pair<std::ptrdiff_t, std::ptrdiff_t>& group) {
            return group.first >= 0 && text.compare(group.first, group.second, "true") == 0;
        };
        const bool quoted = isTrue(match[4]) || isTrue(match[5]);
        if (shellText && quoted && kind != "val" && kind != "if" && InsideQuotes(text, position)) {
            Report(findings, element, false,
                   "quoted '" + shown + "' inside the template's own quotes: its double quotes end them");
        }
    }
}

} // namespace

void CheckCommands(xmlNode* root, Dispatcher& dispatcher, std::vector<LintFinding>& findings) {
    for (xmlNode* commands : Named(root, "commands")) {
        for (xmlNode* command : Named(commands, "command")) {
            const std::map<std::string, Parameter> parameters = CheckParameters(command, findings);
            CheckFormatter(command, dispatcher, findings);
            for (xmlNode* execute : Named(command, "execute")) {
                CheckTemplate(execute, true, parameters, findings);
            }
            for (xmlNode* input : Named(command, "stdin")) {
                CheckTemplate(input, false, parameters, findings);
            }
        }
    }
}

} // namespace DescriptorLint
} // namespace Corvane::AutoCli
