// Descriptor linter: elements and attributes the descriptor format does not know, with the closest
// known name.
#include "autocli/lint/descriptor_lint_internal.h"

#include <corvane/completion.h>

#include <algorithm>
#include <cstring>
#include <map>

namespace Corvane::AutoCli {
namespace DescriptorLint {

namespace {

struct Place {
    std::vector<std::string> elements;
    std::vector<std::string> attributes;
};

// What each element of a descriptor may hold. The value elements of an output-spec are the output
// document's grammar.
const std::map<std::string, Place>& Grammar() {
    static const std::map<std::string, Place> grammar = {
        {"", {{"version", "namespaces", "commands"}, {}}},
        {"namespaces", {{"namespace"}, {}}},
        {"namespace", {{"description"}, {"path"}}},
        {"commands", {{"command"}, {}}},
        {"command",
         {{"description", "meta-data", "input-spec", "output-spec", "format-parameters", "execute", "stdin"},
          {"path"}}},
        {"meta-data", {{"meta-data-entry"}, {}}},
        {"meta-data-entry", {{}, {"name"}}},
        {"input-spec", {{"parameter", "context-supported"}, {}}},
        {"parameter", {{"description", "constraint"}, {"name", "type", "required", "secret", "shortname"}}},
        {"constraint", {{"enum", "regex", "range"}, {"type"}}},
        {"enum", {{"enum-value"}, {}}},
        {"enum-value", {{}, {"value"}}},
        {"range", {{}, {"min", "max"}}},
        {"output-spec", {{"structure", "list", "string", "int", "bool"}, {}}},
        {"structure", {{"field"}, {"typeName"}}},
        {"field", {{"structure", "list", "string", "int", "bool"}, {"name"}}},
        {"list", {{"structure", "list", "string", "int", "bool"}, {"type"}}},
        {"format-parameters", {{"formatter", "format-parameter"}, {}}},
        {"format-parameter", {{}, {"name"}}},
    };
    return grammar;
}

std::string NameOf(const void* name) {
    return name != nullptr ? reinterpret_cast<const char*>(name) : "";
}

void Report(std::vector<LintFinding>& findings, const xmlNode* node, std::string message) {
    LintFinding finding;
    finding.line = LineOf(node);
    finding.message = std::move(message);
    findings.push_back(std::move(finding));
}

void CheckElement(const xmlNode* node, const std::string& place, std::vector<LintFinding>& findings) {
    const auto known = Grammar().find(place);
    const std::string shown = place.empty() ? NameOf(node->name) : place;
    static const std::vector<std::string> none;
    // The root element's name and attributes are the author's own.
    if (!place.empty()) {
        for (const xmlAttr* attribute = node->properties; attribute != nullptr; attribute = attribute->next) {
            const std::string name = NameOf(attribute->name);
            const auto& names = known != Grammar().end() ? known->second.attributes : none;
            if (std::find(names.begin(), names.end(), name) == names.end()) {
                std::string message = "unknown attribute '" + name;
                message += "' of <" + shown + ">";
                message += Suggestion(name, names);
                Report(findings, node, std::move(message));
            }
        }
    }
    for (xmlNode* child : ElementChildren(node)) {
        const std::string name = NameOf(child->name);
        if (known == Grammar().end()) {
            std::string message = "unexpected element <" + name;
            message += "> inside <" + shown + ">";
            Report(findings, child, std::move(message));
            continue;
        }
        const auto& names = known->second.elements;
        if (std::find(names.begin(), names.end(), name) == names.end()) {
            std::string message = "unknown element <" + name;
            message += "> inside <" + shown + ">";
            message += Suggestion(name, names);
            Report(findings, child, std::move(message));
            continue;
        }
        CheckElement(child, name, findings);
    }
}

} // namespace

std::string Suggestion(const std::string& word, const std::vector<std::string>& known) {
    const std::string closest = AutoCli_ClosestName(word, known);
    return closest.empty() ? std::string() : "; did you mean '" + closest + "'?";
}

void CheckNames(xmlNode* root, std::vector<LintFinding>& findings) {
    CheckElement(root, "", findings);
}

} // namespace DescriptorLint
} // namespace Corvane::AutoCli
