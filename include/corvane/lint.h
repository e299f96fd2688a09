// Descriptor linting: plugin files loaded as the tool loads them, with findings that name lines.
#pragma once

#include <corvane/export.h>

#include <iosfwd>
#include <string>
#include <vector>

namespace Corvane::AutoCli {

class Dispatcher;
class ExtensionCommand;

/// One finding about a plugin file. `line` is 0 when no line applies (a shared object, a file
/// that cannot be read).
struct CORVANE_API LintFinding {
    std::string file;
    long line = 0;
    bool error = false;
    std::string message;
    /// A fact worth knowing that is no fault (an addition found by comparing catalogs); never set
    /// together with `error`.
    bool note = false;
};

/// "FILE:LINE: error: MESSAGE", "FILE:LINE: warning: MESSAGE" or "FILE:LINE: note: MESSAGE" ("FILE: ..."
/// without a line).
CORVANE_API std::string AutoCli_FormatLintFinding(const LintFinding& finding);

/// Loads plugin files into a dispatcher exactly as the tool does (Initialize, then RegisterPlugin)
/// and reports, besides every refusal with the loader's own message, the mistakes the loader lets
/// through: unknown elements and attributes, formatters no loaded plugin provides, template
/// constructs naming undeclared parameters or optional ones outside their $if, command templates
/// that the filler refuses whatever the values (AutoCli_FindTemplateRefusal, an error), and parameters
/// that collide with the implicit help parameter. Files linted by one linter are loaded together, so a
/// clash between them is found as the tool would find it.
class CORVANE_API DescriptorLinter {
public:
    /// Plugins are registered into `dispatcher`, which must outlive the linter.
    explicit DescriptorLinter(Dispatcher& dispatcher);

    /// Lints one file: .xml and .so files are loaded; any other name is what the tool skips, and is
    /// reported as a warning.
    void LintFile(const std::string& path);
    /// Lints the plugin files of DIR/lib64 and DIR in the order the tool loads them; other files are
    /// passed over silently, as the tool does.
    void LintDirectory(const std::string& directory);

    /// Every finding so far: files in the order linted, findings of a file in line order.
    const std::vector<LintFinding>& GetFindings() const { return findings; }
    bool HasErrors() const;

private:
    void LintDirectoryInt(const std::string& directory, bool reportOpenFailure);
    void LintDescriptor(const std::string& path);

    Dispatcher& dispatcher;
    std::vector<LintFinding> findings;
};

/// The refusal that filling the command template of `command` gives for the template's own sake: a
/// value would stand where no escaping keeps it data (inside backquotes, after $'...' holding a
/// backslash, inside ${...} or $((...)), in a case pattern). The template is filled with every set of
/// the optional parameters (all given first, then fewer; with more than 8 optional ones only all of
/// them), each value one letter; a refusal counts when two different letters both get it. Returns
/// the filler's message, and the names of the parameters given then in `present`; the empty text when
/// the template is never refused so.
CORVANE_API std::string AutoCli_FindTemplateRefusal(ExtensionCommand& command,
                                                    std::vector<std::string>* present);

/// The whole varnok-lint command: `varnok-lint [--werror] [--plugin-dir DIR]... [FILE]...`, the
/// directories and files linted in the order given. Findings go to `out`, usage errors to `err`.
/// Returns 0 without errors, 1 with errors (warnings too under --werror), 2 on a usage error.
/// `varnok-lint --compat OLD_CATALOG NEW_CATALOG` compares two catalogs instead
/// (AutoCli_CompareCatalogs of corvane/catalog.h): 1 when something breaks, 2 when a catalog cannot
/// be read, with its error on `err`.
CORVANE_API int AutoCli_LintMain(int argc, const char* const* argv, std::ostream& out, std::ostream& err);

} // namespace Corvane::AutoCli
