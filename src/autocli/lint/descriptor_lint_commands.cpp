// Descriptor linter: per-command checks the loader cannot make: parameters that collide with the
// implicit help parameter, default formatters nobody provides, command template constructs, and
// command templates that the filler refuses whatever the values.
#include "autocli/lint/descriptor_lint_internal.h"

#include <corvane/xmlutil.h>

#include "autocli/extension/shell_lexer.h"
#include "autocli/extension/template_constructs.h"

#include <corvane/callspec.h>

#include <boost/algorithm/string/join.hpp>

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

// Whether `position` of the template lies inside its own quotes, as the filler's lexer reads them.
bool InsideQuotes(const std::string& text, std::size_t position) {
    ShellText::ShellLexer lexer;
    for (std::size_t i = 0; i < position && i < text.size(); ++i) {
        lexer.Feed(text[i], false);
    }
    const ShellText::Place place = lexer.Current();
    return place == ShellText::Place::Double || place == ShellText::Place::Single ||
           place == ShellText::Place::Ansi;
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
    using TemplateText::ConstructKind;
    const std::string text = XmlUtil_GetContent(element);
    std::vector<std::string> names;
    names.reserve(parameters.size());
    for (const auto& entry : parameters) {
        names.push_back(entry.first);
    }
    for (const TemplateText::Construct& construct : TemplateText::FindConstructs(text)) {
        const std::string& name = construct.name;
        const bool isIf = construct.kind == ConstructKind::If;
        const std::string shown =
            isIf ? "$if{" + name + ",...}" : text.substr(construct.start, construct.end - construct.start);
        const auto parameter = parameters.find(name);
        if (parameter == parameters.end()) {
            Report(findings, element, false,
                   "'" + shown + "' names no declared parameter" + Suggestion(name, names));
            continue;
        }
        if (!isIf && !parameter->second.required && !InsideIfOf(text, name, construct.start)) {
            std::string message = "'" + shown;
            message += "' of the optional parameter '" + name;
            message += "' is outside any '$if{" + name;
            message += ",...}': it stays as literal text when the option is left off";
            Report(findings, element, false, std::move(message));
        }
        const bool listLike =
            construct.kind == ConstructKind::List || construct.kind == ConstructKind::Multilist;
        if (shellText && construct.quoted && listLike && InsideQuotes(text, construct.start)) {
            Report(findings, element, false,
                   "quoted '" + shown + "' inside the template's own quotes: its double quotes end them");
        }
    }
}

// A command template that the filler refuses whatever the values: reported as an error.
void CheckRefusedPlaces(xmlNode* command, xmlNode* execute, std::vector<LintFinding>& findings) {
    const std::vector<xmlNode*> inputSpecs = Named(command, "input-spec");
    std::shared_ptr<ExtensionCommand> filler = ExtensionCommand::New();
    try {
        filler->SetInputSpec(inputSpecs.empty() ? CallSpec::InputSpec::New()
                                                : ExtractInputSpec(inputSpecs.front()));
    } catch (const CorvaneException&) {
        return; // the loader reports the declaration
    }
    filler->SetOutputSpec(CallSpec::OutputSpec::New());
    filler->SetExecuteCommand(XmlUtil_GetContent(execute));
    std::vector<std::string> present;
    std::string refusal;
    try {
        refusal = AutoCli_FindTemplateRefusal(*filler, &present);
    } catch (const std::exception&) {
        return; // a declaration the loader or another check reports
    }
    if (refusal.empty()) {
        return;
    }
    if (!present.empty()) {
        refusal += " (with the parameters given: " + boost::algorithm::join(present, ", ") + ")";
    }
    Report(findings, execute, true, std::move(refusal));
}

} // namespace

void CheckCommands(xmlNode* root, Dispatcher& dispatcher, std::vector<LintFinding>& findings) {
    for (xmlNode* commands : Named(root, "commands")) {
        for (xmlNode* command : Named(commands, "command")) {
            const std::map<std::string, Parameter> parameters = CheckParameters(command, findings);
            CheckFormatter(command, dispatcher, findings);
            for (xmlNode* execute : Named(command, "execute")) {
                CheckTemplate(execute, true, parameters, findings);
                CheckRefusedPlaces(command, execute, findings);
            }
            for (xmlNode* input : Named(command, "stdin")) {
                CheckTemplate(input, false, parameters, findings);
            }
        }
    }
}

} // namespace DescriptorLint
} // namespace Corvane::AutoCli
