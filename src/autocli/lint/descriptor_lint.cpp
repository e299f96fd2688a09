// Descriptor linter: loading plugin files as the tool does and collecting findings.
#include <corvane/lint.h>

#include "autocli/lint/descriptor_lint_internal.h"

#include "autocli/os/directory_listing.h"
#include "autocli/os/file_access.h"

#include <algorithm>
#include <ostream>

namespace Corvane::AutoCli {

using namespace DescriptorLint;

std::string AutoCli_FormatLintFinding(const LintFinding& finding) {
    std::string text = finding.file;
    if (finding.line > 0) {
        text += ":" + std::to_string(finding.line);
    }
    text += finding.error ? ": error: " : finding.note ? ": note: " : ": warning: ";
    text += finding.message;
    return text;
}

DescriptorLinter::DescriptorLinter(Dispatcher& dispatcher) : dispatcher(dispatcher) {}

bool DescriptorLinter::HasErrors() const {
    return std::any_of(findings.begin(), findings.end(), [](const LintFinding& f) { return f.error; });
}

void DescriptorLinter::LintFile(const std::string& path) {
    // The same choice by suffix as the dispatcher's: only the end of the whole path decides.
    if (HasSuffixAfterSomething(path, ".xml")) {
        LintDescriptor(path);
        return;
    }
    LintFinding finding;
    finding.file = path;
    if (!HasSuffixAfterSomething(path, ".so")) {
        finding.message =
            "not a plugin file: varnok loads only names ending in .so or .xml and skips this one";
        findings.push_back(std::move(finding));
        return;
    }
    try {
        std::shared_ptr<Plugin> plugin = SharedLibraryPlugin::New(path);
        plugin->Initialize();
        dispatcher.RegisterPlugin(plugin);
    } catch (const std::exception& e) {
        finding.error = true;
        finding.message = e.what();
        findings.push_back(std::move(finding));
    }
}

void DescriptorLinter::LintDescriptor(const std::string& path) {
    std::vector<LintFinding> found;
    ParsedDescriptor parsed = ParseDescriptor(path);
    xmlNode* root = parsed.doc ? xmlDocGetRootElement(parsed.doc.get()) : nullptr;

    std::shared_ptr<XmlPlugin> plugin = XmlPlugin::New(path);
    bool initialized = false;
    try {
        plugin->Initialize();
        initialized = true;
        dispatcher.RegisterPlugin(plugin);
    } catch (const std::exception& e) {
        LintFinding refusal;
        refusal.error = true;
        refusal.message = e.what();
        if (root == nullptr) {
            // Malformed: the parser's own first message says more than the loader's.
            refusal.line = parsed.errorLine;
            if (!parsed.errorMessage.empty()) {
                refusal.message = parsed.errorMessage;
            }
        } else if (initialized) {
            refusal.line = LocateRegistrationFault(root, *plugin, *dispatcher.GetRootNamespace(), e.what());
        } else {
            refusal.line = LocateLoadFault(root);
        }
        found.push_back(std::move(refusal));
    }
    if (root != nullptr) {
        CheckNames(root, found);
        CheckCommands(root, dispatcher, found);
        CheckMetaData(root, found);
    }
    std::stable_sort(found.begin(), found.end(),
                     [](const LintFinding& a, const LintFinding& b) { return a.line < b.line; });
    for (LintFinding& finding : found) {
        finding.file = path;
        findings.push_back(std::move(finding));
    }
}

void DescriptorLinter::LintDirectory(const std::string& directory) {
    LintDirectoryInt(directory + "/lib64", false);
    LintDirectoryInt(directory, true);
}

void DescriptorLinter::LintDirectoryInt(const std::string& directory, bool reportOpenFailure) {
    const DirPtr dir(::opendir(directory.c_str()));
    if (!dir) {
        if (reportOpenFailure) {
            LintFinding finding;
            finding.file = directory;
            finding.error = true;
            finding.message = "Unable to open directory " + directory + " for plugin registration";
            findings.push_back(std::move(finding));
        }
        return;
    }
    std::vector<std::string> names;
    ListDirectory(dir.get(), names);
    std::string path;
    for (const std::string& name : names) {
        path.assign(directory).append(1, '/').append(name);
        // Files the tool ignores are passed over in silence, as the tool does.
        if (HasSuffixAfterSomething(path, ".so") || HasSuffixAfterSomething(path, ".xml")) {
            LintFile(path);
        }
    }
}

} // namespace Corvane::AutoCli
