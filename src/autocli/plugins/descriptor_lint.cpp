// Descriptor linter: loading plugin files as the tool does, collecting findings, and the
// varnok-lint command line.
#include <corvane/lint.h>

#include <corvane/catalog.h>

#include "descriptor_lint_internal.h"

#include "file_access.h"

#include <dirent.h>

#include <algorithm>
#include <cstring>
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
    std::vector<std::string> paths;
    DIR* dir = ::opendir(directory.c_str());
    if (dir == nullptr) {
        if (reportOpenFailure) {
            LintFinding finding;
            finding.file = directory;
            finding.error = true;
            finding.message = "Unable to open directory " + directory + " for plugin registration";
            findings.push_back(std::move(finding));
        }
        return;
    }
    while (const dirent* entry = ::readdir(dir)) {
        if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0) {
            paths.push_back(directory + "/" + entry->d_name);
        }
    }
    ::closedir(dir);
    std::sort(paths.begin(), paths.end());
    for (const std::string& path : paths) {
        // Files the tool ignores are passed over in silence, as the tool does.
        if (HasSuffixAfterSomething(path, ".so") || HasSuffixAfterSomething(path, ".xml")) {
            LintFile(path);
        }
    }
}

namespace {

void PrintUsage(std::ostream& out) {
    out << "Usage: varnok-lint [--werror] [--plugin-dir DIR]... [FILE]...\n"
           "       varnok-lint --compat OLD_CATALOG NEW_CATALOG\n"
           "Loads plugin files as varnok does, together and in the order given, and prints one line per\n"
           "finding: FILE:LINE: error: MESSAGE or FILE:LINE: warning: MESSAGE.\n"
           "  --plugin-dir DIR   lint every plugin file varnok would load from DIR/lib64 and DIR\n"
           "  --werror           treat warnings as errors\n"
           "  --compat OLD NEW   list what would break a script written against the catalog OLD\n"
           "                     (varnok-doc --schema) in NEW, as errors, and additions as notes\n"
           "  -h, --help         show this message\n"
           "Exit status: 0 without errors, 1 with errors, 2 on a usage error.\n";
}

int UsageError(std::ostream& err, const std::string& message) {
    err << "varnok-lint: " << message << "\n";
    PrintUsage(err);
    return 2;
}

// varnok-lint --compat OLD NEW: findings on `out`; a catalog that cannot be read is a misuse.
int CompatMain(int argc, const char* const* argv, std::ostream& out, std::ostream& err) {
    if (argc != 4 || argv[2][0] == '\0' || argv[3][0] == '\0') {
        return UsageError(err, "--compat needs an old and a new catalog file");
    }
    std::vector<LintFinding> findings;
    if (!AutoCli_CompareCatalogs(argv[2], argv[3], findings)) {
        for (const LintFinding& finding : findings) {
            err << AutoCli_FormatLintFinding(finding) << '\n';
        }
        return 2;
    }
    bool breaks = false;
    for (const LintFinding& finding : findings) {
        breaks = breaks || finding.error;
        out << AutoCli_FormatLintFinding(finding) << '\n';
    }
    out.flush();
    return breaks ? 1 : 0;
}

} // namespace

int AutoCli_LintMain(int argc, const char* const* argv, std::ostream& out, std::ostream& err) {
    if (argc >= 2 && std::strcmp(argv[1], "--compat") == 0) {
        return CompatMain(argc, argv, out, err);
    }
    bool werror = false;
    // (is a directory, path) in command-line order.
    std::vector<std::pair<bool, std::string>> targets;
    for (int i = 1; i < argc; ++i) {
        const std::string word = argv[i];
        if (word == "-h" || word == "--help") {
            PrintUsage(out);
            return 0;
        }
        if (word == "--werror") {
            werror = true;
        } else if (word == "--plugin-dir" || word.rfind("--plugin-dir=", 0) == 0) {
            std::string directory = word.size() > 12 ? word.substr(13) : std::string();
            if (word.size() == 12) {
                if (i + 1 >= argc) {
                    return UsageError(err, "--plugin-dir needs a directory");
                }
                directory = argv[++i];
            }
            if (directory.empty()) {
                return UsageError(err, "--plugin-dir needs a directory");
            }
            targets.emplace_back(true, directory);
        } else if (word.size() > 1 && word[0] == '-') {
            return UsageError(err, "unknown option " + word);
        } else {
            targets.emplace_back(false, word);
        }
    }
    if (targets.empty()) {
        return UsageError(err, "no plugin file or directory given");
    }
    Dispatcher dispatcher;
    DescriptorLinter linter(dispatcher);
    for (const auto& [isDirectory, path] : targets) {
        if (isDirectory) {
            linter.LintDirectory(path);
        } else {
            linter.LintFile(path);
        }
    }
    bool failed = false;
    for (LintFinding finding : linter.GetFindings()) {
        finding.error = finding.error || werror;
        failed = failed || finding.error;
        out << AutoCli_FormatLintFinding(finding) << '\n';
    }
    out.flush();
    return failed ? 1 : 0;
}

} // namespace Corvane::AutoCli
