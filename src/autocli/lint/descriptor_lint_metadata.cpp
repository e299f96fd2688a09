// Descriptor linter: meta-data entries whose values the library reads, such as a command's effect.
#include "autocli/lint/descriptor_lint_internal.h"

#include <corvane/xmlutil.h>

#include <cstring>

namespace Corvane::AutoCli {
namespace DescriptorLint {

namespace {

bool HasName(const xmlNode* node, const char* name) {
    return node->name != nullptr && std::strcmp(reinterpret_cast<const char*>(node->name), name) == 0;
}

// The values of the "effect" entry, in the order the manual pages and the catalog explain them.
const std::vector<std::string>& Effects() {
    static const std::vector<std::string> effects{"read", "change", "destroy"};
    return effects;
}

void CheckEffect(xmlNode* entry, std::vector<LintFinding>& findings) {
    // The loader keeps the text as it stands, blanks included, so the value is checked the same way.
    const std::string value = XmlUtil_GetContent(entry);
    for (const std::string& effect : Effects()) {
        if (value == effect) {
            return;
        }
    }
    LintFinding finding;
    finding.line = LineOf(entry);
    finding.error = true;
    finding.message = "meta-data entry 'effect' has the unknown value '" + value +
                      "': it takes read, change or destroy" + Suggestion(value, Effects());
    findings.push_back(std::move(finding));
}

} // namespace

void CheckMetaData(xmlNode* root, std::vector<LintFinding>& findings) {
    for (xmlNode* commands : ElementChildren(root)) {
        if (!HasName(commands, "commands")) {
            continue;
        }
        for (xmlNode* command : ElementChildren(commands)) {
            if (!HasName(command, "command")) {
                continue;
            }
            for (xmlNode* metaData : ElementChildren(command)) {
                if (!HasName(metaData, "meta-data")) {
                    continue;
                }
                for (xmlNode* entry : ElementChildren(metaData)) {
                    if (HasName(entry, "meta-data-entry") &&
                        XmlUtil_ExtractAttribute(entry, "name") == "effect") {
                        CheckEffect(entry, findings);
                    }
                }
            }
        }
    }
}

} // namespace DescriptorLint
} // namespace Corvane::AutoCli
