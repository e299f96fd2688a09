// The manual page of the tool itself.
#include "autocli/manual/manual_internal.h"

namespace Corvane::AutoCli {

namespace Manual {
namespace {

Page ToolPage(Dispatcher& dispatcher) {
    Page page;
    page.name = "varnok";
    page.summary = "run the commands its plugins declare";
    page.sections.push_back(
        {"Synopsis", {Block{"", "varnok [dispatcher options] <namespaces> <command> [options]", true, {}}}});
    page.sections.push_back(
        {"Description",
         {Block{
             "",
             "varnok runs one command of its plugins: XML descriptors whose commands run external programs, "
             "shared objects, and the built-in plugin. The words after the dispatcher options name "
             "namespaces and then a command; the options after them are the command's own. Without a "
             "command varnok lists what is below the namespaces given. --help after a command shows its "
             "options.",
             false,
             {}}}});
    Section options{"Options", {}};
    const std::pair<const char*, const char*> dispatcherOptions[] = {
        {"--plugin-dir *dir*", "Load every plugin file (*.so, *.xml) of dir/lib64 and dir. Repeatable."},
        {"--plugin *file*",
         "Load one plugin file. Repeatable. A file that fails to load stops varnok; a name ending in neither "
         ".so nor .xml is skipped silently."},
        {"--formatter *name*", "Print with this formatter instead of the command's default. Once only."},
        {"--format-param *key*=*value*", "Set a formatter parameter; the key may hold letters, digits, "
                                         "blanks, full stops, hyphens and colons."},
        {"--screen-width *width*", "Format for this many columns (1 to 9999)."},
        {"--input *file*",
         "Run the command lines of file, one per line, or of standard input for STDIN or -. Lines starting "
         "with # are comments; double quotes group words. Every line is a call of its own: a failing line is "
         "named on standard error (varnok: --input line N:, counting every line) before its errors, and the "
         "lines after it still run. Secret values of lines read from standard input are asked for on the "
         "terminal."},
        {"--version", "Print varnok and its version, and exit."},
        {"--where '*field* *op* *value*'",
         "Keep only the rows of a list result where the condition holds; op is one of == != < <= > >= =~ "
         "(a regular expression searched in a string). field may be A.B for a nested structure. Repeatable: "
         "all must hold. Checked against the declared output before the command runs."},
        {"--sort [-]*field*[,[-]*field*...]",
         "Sort the rows of a list result by these fields, stably; - sorts that field in descending order. "
         "Once only."},
        {"--limit *n*", "Print at most the first n rows of a list result, after sorting. Once only."},
        {"--dry-run",
         "Run nothing: validate the call and print what would run (the shell text and standard input of a "
         "descriptor command, the path and parameters of an in-process one), secret values shown as ***. "
         "Takes no value."},
        {"-h, --help", "Print the usage text."},
    };
    for (const auto& [term, text] : dispatcherOptions) {
        options.blocks.push_back(Block{term, text, false, {}});
    }
    page.sections.push_back(std::move(options));

    Section formatters{"Formatters", {}};
    formatters.blocks.push_back(Block{"",
                                      "Every command names a default formatter and default parameters; "
                                      "--formatter and --format-param override them. These formatters are "
                                      "registered:",
                                      false,
                                      {}});
    for (const auto& formatter : dispatcher.GetFormatters()) {
        Block block{formatter->GetName(), formatter->GetDescription(), false, {}};
        for (const FormatterParam& param : formatter->GetParams()) {
            block.items.emplace_back(param.name, param.description);
        }
        formatters.blocks.push_back(std::move(block));
    }
    page.sections.push_back(std::move(formatters));

    page.sections.push_back(
        {"Exit status",
         {Block{"0",
                "The command ran and its result was printed; with --input, every command line did.",
                false,
                {}},
          Block{"1",
                "Errors (printed on standard error under a line Errors:), the usage text, a listing of "
                "namespaces, a failed write of standard output (varnok: write error: REASON); with --input, "
                "any command line that failed this way, or a command file that could not be read to its end "
                "(varnok: --input: FILE: REASON). A message that repeats a word, value, file name or "
                "command-file line shows at most 200 bytes of it, then ... (N bytes) with its whole length, "
                "and control bytes and bytes that are not UTF-8 as \\xNN.",
                false,
                {}}}});
    page.sections.push_back(
        {"Environment",
         {Block{"ZU_USERNAME",
                "The user the actions of a call are audited for (@component when unset), and the user handed "
                "to the programs of commands that accept the user context.",
                false,
                {}},
          Block{"LANG", "When unset, commands run their programs with LANG=en_US.UTF-8.", false, {}}}});
    page.sections.push_back({"Files",
                             {Block{"/usr/lib/tarvik/varnok",
                                    "Installed plugins, loaded first (its lib64 subdirectory before it).",
                                    false,
                                    {}},
                              Block{"/usr/lib/tarvik/varnok/ext",
                                    "Installed extension plugins, loaded next (lib64 first).",
                                    false,
                                    {}}}});
    std::string seeAlso;
    for (const auto& command : AllCommands(dispatcher.GetRootNamespace())) {
        seeAlso +=
            (seeAlso.empty() ? "" : ", ") + std::string("varnok-") + command->GetPathString('-') + "(1)";
    }
    page.sections.push_back({"See also", {Block{"", seeAlso.empty() ? "varnok-lint" : seeAlso, false, {}}}});
    return page;
}

} // namespace
} // namespace Manual

ManualPage AutoCli_ToolManual(Dispatcher& dispatcher, ManualFormat format) {
    const Manual::Page page = Manual::ToolPage(dispatcher);
    return format == ManualFormat::Man ? ManualPage{"varnok.1", Manual::RenderMan(page)}
                                       : ManualPage{"varnok.md", Manual::RenderMarkdown(page)};
}

} // namespace Corvane::AutoCli
