// Manual pages: the pages of varnok-lint, varnok-doc and varnok-complete, the programs beside varnok.
#include "autocli/manual/manual_internal.h"

namespace Corvane::AutoCli {

namespace Manual {
namespace {

Block Text(const std::string& text) {
    return Block{"", text, false, {}};
}
Block Term(const std::string& term, const std::string& text) {
    return Block{term, text, false, {}};
}
Block Literal(const std::string& text) {
    return Block{"", text, true, {}};
}

const char* const kInstalledDirectory = "/usr/lib/tarvik/varnok";
const char* const kExtensionDirectory = "/usr/lib/tarvik/varnok/ext";

// The options that compare and describe plugin sets as catalogs, kept together here: varnok-doc
// writes a catalog, varnok-lint compares two.
Block SchemaOption() {
    return Term(
        "--schema *dir*",
        "Write the JSON Schemas of the loaded commands and a catalog of them, catalog.json, into dir.");
}
Block CompatOption() {
    return Term(
        "--compat *old* *new*",
        "Compare two catalogs written by varnok-doc --schema, the old one and the new one, and report "
        "what the new plugin set breaks for users of the old one. Exits with 1 when something breaks, "
        "0 otherwise, and 2 on a usage error.");
}

Page LintPage() {
    Page page;
    page.name = "varnok-lint";
    page.summary = "check plugin descriptors as varnok loads them";
    page.sections.push_back({"Synopsis",
                             {Literal("varnok-lint [--werror] [--plugin-dir DIR]... [FILE]..."),
                              Literal("varnok-lint --compat OLD_CATALOG NEW_CATALOG")}});
    page.sections.push_back(
        {"Description",
         {Text("varnok-lint loads plugin files as varnok does, together and in the order given, and prints "
               "one "
               "line per finding. Besides every refusal of the loader, with the loader's own message, it "
               "reports what the loader lets through: unknown elements and attributes, formatters that no "
               "loaded plugin provides, template constructs that name undeclared parameters or optional ones "
               "outside their $if, and parameters that collide with the implicit help parameter."),
          Text("Files ending in .xml and .so are loaded; any other file named on the command line is what "
               "varnok skips, and is reported as a warning. Files loaded together are checked together, so "
               "that a clash between them is found as varnok would find it.")}});
    page.sections.push_back(
        {"Options",
         {Term("--plugin-dir *dir*",
               "Lint every plugin file varnok would load from dir/lib64 and dir, in varnok's order; other "
               "files are passed over. Repeatable."),
          Term("--werror", "Treat warnings as errors."), CompatOption(),
          Term("-h, --help", "Print the usage text.")}});
    page.sections.push_back(
        {"Output",
         {Text("One line per finding, files in the order linted and the findings of a file in line order:"),
          Literal("FILE:LINE: error: MESSAGE"), Literal("FILE:LINE: warning: MESSAGE"),
          Text("A finding that concerns no line, such as one about a shared object or a file that cannot be "
               "read, names the file alone.")}});
    page.sections.push_back({"Exit status",
                             {Term("0", "No errors."), Term("1", "Errors, or warnings under --werror."),
                              Term("2", "A usage error.")}});
    page.sections.push_back(
        {"Examples",
         {Text("Check a descriptor before installing it, failing on warnings too:"),
          Literal("varnok-lint --werror system.xml"), Text("Check the plugins installed on this host:"),
          Literal(std::string("varnok-lint --plugin-dir ") + kInstalledDirectory + " --plugin-dir " +
                  kExtensionDirectory)}});
    page.sections.push_back({"See also", {Text("varnok(1), varnok-doc(1)")}});
    return page;
}

Page DocPage() {
    Page page;
    page.name = "varnok-doc";
    page.summary = "write the manual pages of the loaded commands";
    page.sections.push_back(
        {"Synopsis",
         {Literal("varnok-doc (--man DIR | --markdown DIR) [--plugin-dir DIR]... [--plugin FILE]... "
                  "[--no-default-plugins]")}});
    page.sections.push_back(
        {"Description",
         {Text("varnok-doc loads plugins as varnok does and writes a manual page for every command they "
               "declare, named after the command's path (varnok-system-process-list.1 for varnok system "
               "process list), and the page of varnok itself, varnok.1, which lists the registered "
               "formatters. The pages are built from the declarations: synopsis, description, every option "
               "with its type and constraint, the output's fields, the examples and the formatters."),
          Text("The installed plugin directories are loaded first, unless --no-default-plugins is given, and "
               "then the directories and files named, in the order given.")}});
    page.sections.push_back(
        {"Options",
         {Term("--man *dir*", "Write the pages as roff with the man macros, for man(1), into dir."),
          Term("--markdown *dir*", "Write the pages as Markdown into dir, with the extension .md."),
          SchemaOption(),
          Term("--plugin-dir *dir*",
               "Load every plugin file (*.so, *.xml) of dir/lib64 and dir. Repeatable."),
          Term("--plugin *file*", "Load one plugin file. Repeatable."),
          Term("--no-default-plugins", "Load no plugin from the installed plugin directories."),
          Term("-h, --help", "Print the usage text.")}});
    page.sections.push_back({"Exit status",
                             {Term("0", "Every page was written."),
                              Term("1", "A page could not be written, or a plugin file failed to load."),
                              Term("2", "A usage error.")}});
    page.sections.push_back(
        {"Files",
         {Term(kInstalledDirectory, "Installed plugins, loaded first (its lib64 subdirectory before it)."),
          Term(kExtensionDirectory, "Installed extension plugins, loaded next (lib64 first).")}});
    page.sections.push_back({"Examples",
                             {Text("The pages of a plugin alone, to ship with it:"),
                              Literal("varnok-doc --no-default-plugins --plugin system.xml --man man")}});
    page.sections.push_back({"See also", {Text("varnok(1), varnok-lint(1)")}});
    return page;
}

Page CompletePage() {
    Page page;
    page.name = "varnok-complete";
    page.summary = "the candidates for completing a varnok command line";
    page.sections.push_back({"Synopsis", {Literal("varnok-complete [WORD]...")}});
    page.sections.push_back(
        {"Description",
         {Text("varnok-complete is the helper of varnok's completion scripts for bash, zsh and fish; it is "
               "not "
               "meant to be run by hand. Its arguments are the words of a varnok command line after the tool "
               "name, up to the word being completed, which may be empty. It prints what the shell should "
               "offer in place of that word: namespaces and commands, options not given yet, the values of "
               "an option's enumeration, formatter names, or file or directory names."),
          Text(
              "The candidates come from the live command tree: the installed plugins, and those the words "
              "name with --plugin-dir and --plugin. Nothing is written but the candidates; standard error is "
              "discarded, since a shell would show it in the middle of the command line.")}});
    page.sections.push_back(
        {"Output",
         {Text(
             "The first line holds the kind of completion (words, files or directories), a tab and the part "
             "of the word in front of a file name. For words, one line per candidate follows, in byte-wise "
             "order: the word, and a tab and its description when it has one.")}});
    page.sections.push_back({"Exit status",
                             {Term("0", "The candidates were printed (there may be none)."),
                              Term("1", "The candidates could not be computed or printed.")}});
    page.sections.push_back(
        {"Environment",
         {Term("VARNOK_COMPLETE",
               "Read by the completion scripts, not by the helper: the helper to run "
               "instead of ../libexec/varnok-complete beside the varnok being completed.")}});
    page.sections.push_back(
        {"Files",
         {Term(kInstalledDirectory, "Installed plugins, loaded first (its lib64 subdirectory before it)."),
          Term(kExtensionDirectory, "Installed extension plugins, loaded next (lib64 first)."),
          Term("/usr/share/bash-completion/completions/varnok", "The completion script for bash."),
          Term("/usr/share/zsh/vendor-completions/_varnok", "The completion script for zsh."),
          Term("/usr/share/fish/vendor_completions.d/varnok.fish", "The completion script for fish.")}});
    page.sections.push_back(
        {"Examples",
         {Text("The commands below the namespace system:"), Literal("varnok-complete system ''")}});
    page.sections.push_back({"See also", {Text("varnok(1)")}});
    return page;
}

} // namespace
} // namespace Manual

std::vector<ManualPage> AutoCli_ProgramManuals(ManualFormat format, const std::string& date) {
    std::vector<ManualPage> pages;
    for (Manual::Page page : {Manual::LintPage(), Manual::DocPage(), Manual::CompletePage()}) {
        page.date = date;
        pages.push_back(format == ManualFormat::Man
                            ? ManualPage{page.name + ".1", Manual::RenderMan(page)}
                            : ManualPage{page.name + ".md", Manual::RenderMarkdown(page)});
    }
    return pages;
}

} // namespace Corvane::AutoCli
