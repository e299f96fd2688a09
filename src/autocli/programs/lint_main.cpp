// varnok-lint's command line: linting plugin files and directories, and comparing two catalogs.
#include <corvane/catalog.h>
#include <corvane/dispatch.h>
#include <corvane/lint.h>

#include "autocli/programs/tool_arguments.h"

#include <cstring>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

namespace Corvane::AutoCli {

namespace {

const char kUsage[] =
    "Usage: varnok-lint [--werror] [--plugin-dir DIR]... [FILE]...\n"
    "       varnok-lint --compat OLD_CATALOG NEW_CATALOG\n"
    "Loads plugin files as varnok does, together and in the order given, and prints one line per\n"
    "finding: FILE:LINE: error: MESSAGE or FILE:LINE: warning: MESSAGE.\n"
    "  --plugin-dir DIR   lint every plugin file varnok would load from DIR/lib64 and DIR\n"
    "  --werror           treat warnings as errors\n"
    "  --compat OLD NEW   list what would break a script written against the catalog OLD\n"
    "                     (varnok-doc --schema) in NEW, as errors, and additions as notes\n"
    "  -h, --help         show this message\n"
    "Exit status: 0 without errors, 1 with errors, 2 on a usage error.\n";

// varnok-lint --compat OLD NEW: findings on `out`; a catalog that cannot be read is a misuse.
int CompatMain(const ToolArguments& arguments, int argc, const char* const* argv, std::ostream& out,
               std::ostream& err) {
    if (argc != 4 || argv[2][0] == '\0' || argv[3][0] == '\0') {
        return arguments.UsageError(err, "--compat needs an old and a new catalog file");
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
    ToolArguments arguments(argc, argv, "varnok-lint", kUsage);
    if (argc >= 2 && std::strcmp(argv[1], "--compat") == 0) {
        return CompatMain(arguments, argc, argv, out, err);
    }
    bool werror = false;
    // (is a directory, path) in command-line order.
    std::vector<std::pair<bool, std::string>> targets;
    std::string word;
    while (arguments.Next(word)) {
        if (ToolArguments::IsHelp(word)) {
            arguments.PrintUsage(out);
            return 0;
        }
        if (word == "--werror") {
            werror = true;
        } else if (ToolArguments::IsOption(word, "--plugin-dir", true)) {
            std::string directory;
            if (!arguments.TakeValue(word, directory) || directory.empty()) {
                return arguments.UsageError(err, "--plugin-dir needs a directory");
            }
            targets.emplace_back(true, directory);
        } else if (word.size() > 1 && word[0] == '-') {
            return arguments.UsageError(err, "unknown option " + word);
        } else {
            targets.emplace_back(false, word);
        }
    }
    if (targets.empty()) {
        return arguments.UsageError(err, "no plugin file or directory given");
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
