// varnok-doc's command line: writing the manual pages and the command catalog.
#include <corvane/catalog.h>
#include <corvane/dispatch.h>
#include <corvane/manual.h>

#include "autocli/programs/tool_arguments.h"

#include <fstream>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

namespace Corvane::AutoCli {

namespace {

const char kUsage[] =
    "Usage: varnok-doc (--man DIR | --markdown DIR) [--plugin-dir DIR]... [--plugin FILE]... "
    "[--no-default-plugins]\n"
    "       varnok-doc [--man DIR | --markdown DIR] --schema DIR [--plugin-dir DIR]... ...\n"
    "Writes a manual page for every command of the loaded plugins and varnok.1 (or .md) into DIR.\n"
    "--schema writes the JSON Schemas of every command's input and result, and catalog.json.\n"
    "The installed plugin directories are loaded as varnok loads them, unless --no-default-plugins.\n";

} // namespace

int AutoCli_DocMain(int argc, const char* const* argv, std::ostream& out, std::ostream& err) {
    std::string directory;
    std::string schemaDirectory;
    ManualFormat format = ManualFormat::Man;
    bool defaults = true;
    std::vector<std::pair<bool, std::string>> plugins;
    ToolArguments arguments(argc, argv, "varnok-doc", kUsage);
    std::string word;
    while (arguments.Next(word)) {
        if (ToolArguments::IsHelp(word)) {
            arguments.PrintUsage(out);
            return 0;
        }
        if (word == "--no-default-plugins") {
            defaults = false;
            continue;
        }
        if (word != "--man" && word != "--markdown" && word != "--schema" && word != "--plugin-dir" &&
            word != "--plugin") {
            return arguments.UsageError(err, "unknown argument " + word);
        }
        std::string value;
        if (!arguments.TakeValue(word, value) || value.empty()) {
            return arguments.UsageError(err, word + " needs a value");
        }
        if (word == "--schema") {
            if (!schemaDirectory.empty()) {
                return arguments.UsageError(err, "--schema can be given once only");
            }
            schemaDirectory = value;
        } else if (word == "--man" || word == "--markdown") {
            if (!directory.empty()) {
                return arguments.UsageError(err, "only one of --man and --markdown can be given");
            }
            directory = value;
            format = word == "--man" ? ManualFormat::Man : ManualFormat::Markdown;
        } else {
            plugins.emplace_back(word == "--plugin-dir", value);
        }
    }
    if (directory.empty() && schemaDirectory.empty()) {
        return arguments.UsageError(err, "--man DIR or --markdown DIR is required");
    }
    Dispatcher dispatcher;
    if (defaults) {
        dispatcher.AddInstalledDirectories();
    }
    try {
        for (const auto& [isDirectory, path] : plugins) {
            if (isDirectory) {
                dispatcher.AddExternalDirectory(path);
            } else {
                dispatcher.AddPlugin(path);
            }
        }
    } catch (const CorvaneException& e) {
        err << "varnok-doc: " << e.what() << "\n";
        return 1;
    }
    std::vector<std::pair<std::string, std::string>> files;
    if (!directory.empty()) {
        std::vector<ManualPage> pages = AutoCli_CommandManuals(dispatcher, format);
        pages.push_back(AutoCli_ToolManual(dispatcher, format));
        for (ManualPage& page : pages) {
            files.emplace_back(directory + "/" + page.fileName, std::move(page.text));
        }
    }
    if (!schemaDirectory.empty()) {
        for (SchemaFile& schema : AutoCli_SchemaFiles(dispatcher)) {
            files.emplace_back(schemaDirectory + "/" + schema.fileName, std::move(schema.text));
        }
    }
    for (const auto& [path, text] : files) {
        std::ofstream file(path, std::ios::binary | std::ios::trunc);
        file << text;
        file.close();
        if (!file) {
            err << "varnok-doc: unable to write " << path << "\n";
            return 1;
        }
    }
    return 0;
}

} // namespace Corvane::AutoCli
