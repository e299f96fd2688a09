// Manual pages generated from the declarations of the loaded commands and of the tool itself.
#pragma once

#include <corvane/export.h>

#include <iosfwd>
#include <string>
#include <vector>

namespace Corvane::AutoCli {

class Dispatcher;

enum class ManualFormat {
    Man,      ///< roff with the man macros, for man(1)
    Markdown, ///< Markdown, for a web page or a repository
};

/// One generated page: its file name (varnok-system-process-list.1, or .md) and its text.
struct CORVANE_API ManualPage {
    std::string fileName;
    std::string text;
};

/// A page for every command in the dispatcher's tree, in path order: synopsis, description, every
/// option with its type, whether required or secret, and its constraint; the output's fields; the
/// examples; the default formatter and the others.
CORVANE_API std::vector<ManualPage> AutoCli_CommandManuals(Dispatcher& dispatcher, ManualFormat format);

/// The page of the tool itself, varnok.1: usage, dispatcher options, the registered formatters with
/// their parameters, exit status, environment, files, and the command pages.
CORVANE_API ManualPage AutoCli_ToolManual(Dispatcher& dispatcher, ManualFormat format);

/// The pages of the programs installed beside varnok, which load no plugins of their own to describe:
/// varnok-lint.1, varnok-doc.1 and varnok-complete.1 (or .md), in that order. `date` (2026-12-06, the
/// date of the release they describe) goes into the roff header.
CORVANE_API std::vector<ManualPage> AutoCli_ProgramManuals(ManualFormat format, const std::string& date);

/// The whole varnok-doc command: `varnok-doc (--man DIR | --markdown DIR) [--schema DIR]
/// [--plugin-dir DIR]... [--plugin FILE]... [--no-default-plugins]` (--schema alone is enough). Loads
/// the installation's plugin directories that exist (unless --no-default-plugins) and then the plugins
/// named, as varnok does, and writes every page into DIR, and with --schema the files of
/// AutoCli_SchemaFiles (corvane/catalog.h) into its DIR. Returns 0 on success, 1 when a page cannot be
/// written or a plugin file fails to load, 2 on a usage error; messages go to `err`.
CORVANE_API int AutoCli_DocMain(int argc, const char* const* argv, std::ostream& out, std::ostream& err);

} // namespace Corvane::AutoCli
