// CliDispatcher: dispatcher options, the usage text, the screen width and the display context.
#include <corvane/dispatch.h>

#include "autocli/dispatch/close_name.h"
#include "autocli/dispatch/completion_internal.h"
#include "autocli/dispatch/standard_output.h"
#include "autocli/os/terminal.h"
#include "corvane_build_info.h"

#include <cstdlib>
#include <iostream>

namespace Corvane::AutoCli {

namespace {

// Set by --screen-width and never reset: a width given once holds for the rest of the process.
int screenWidth = 0;

bool IsKnownDispatcherOption(const std::string& name) {
    static const char* const known[] = {"h",      "help",         "formatter",    "plugin-dir",
                                        "plugin", "format-param", "screen-width", "version",
                                        "where",  "sort",         "limit",        "dry-run"};
    for (const char* option : known) {
        if (name == option) {
            return true;
        }
    }
    return false;
}

// key=value; the key stops at the first "=" and holds only letters, digits, blanks, full stops,
// hyphens and colons (fields:Type, units:Type.Field); the value is the non-empty rest.
bool SplitFormatParam(const std::string& text, std::string& key, std::string& value) {
    const std::size_t equals = text.find('=');
    if (equals == 0 || equals == std::string::npos || equals + 1 == text.size()) {
        return false;
    }
    for (std::size_t i = 0; i < equals; ++i) {
        const char c = text[i];
        const bool allowed = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                             c == ' ' || c == '.' || c == '-' || c == ':';
        if (!allowed) {
            return false;
        }
    }
    key = text.substr(0, equals);
    value = text.substr(equals + 1);
    return true;
}

void PrintUsage(const std::string& name) {
    std::cout
        << name << " [dispatcher options] <namespaces> <command> [options]" << std::endl
        << "      For a list of available namespaces run " << name << " with no arguments.  " << std::endl
        << "      Objects can be listed by specifying just the namespace." << std::endl
        << "      Commands can be listed by specifying the namespace and object." << std::endl
        << std::endl
        << " Dispatcher Options: " << std::endl
        << "       --plugin-dir                    Add all the plug-ins from this directory" << std::endl
        << "       --plugin                        Add a specific file plugin.  (Multiple --plugin options "
           "can be passed.)"
        << std::endl
        << "       --formatter <formatter>         Override the formatter to use for a given command"
        << std::endl
        << "       --format-param <key>=<value>    Set a formatter parameter to give the formatter "
           "information about how to format the command"
        << std::endl
        << "       --screen-width <width>          Use the specified screen width when formatting text"
        << std::endl
        << "       --version                       Show the version number." << std::endl
        << "    -h|--help                          Show this message." << std::endl
        << std::endl;
}

} // namespace

int CliDispatcher::GetScreenWidth() {
    return screenWidth;
}

void CliDispatcher::SetScreenWidth(int width) {
    screenWidth = width;
}

void CliDispatcher::ValidateDispatcherParameters(OptionParser& parser,
                                                 const std::shared_ptr<CallSpec::Output>& output) {
    for (const auto& parameter : parser.GetDispatcherParameters()) {
        if (!IsKnownDispatcherOption(parameter.first)) {
            output->AddErrorMessage("Unknown dispatcher parameter: " + CallSpec::EchoText(parameter.first));
            const std::string hint = Detail::DidYouMean(
                parameter.first, Detail::CandidateWords(CompletionDetail::DispatcherOptions(""), true), true);
            if (!hint.empty()) {
                output->AddErrorMessage(hint);
            }
        }
    }
}

bool CliDispatcher::HandleDispatcherOptions(OptionParser& parser, FormatParameters& overrides,
                                            const std::shared_ptr<CallSpec::Output>& output) {
    ValidateDispatcherParameters(parser, output);

    if (parser.HasDispatcherParameter("h") || parser.HasDispatcherParameter("help")) {
        PrintUsage(name);
        return false;
    }
    // Before any plugin is loaded, so that nothing but the version is printed.
    if (parser.HasDispatcherParameter("version")) {
        std::cout << "varnok " CORVANE_VERSION << std::endl;
        ExitProcess(0);
    }

    // Base 0: 0x50 is hexadecimal, 010 octal; text that is no number gives 0 (no width).
    std::vector<std::string> widths = parser.GetDispatcherParameter("screen-width");
    if (!widths.empty()) {
        screenWidth = static_cast<int>(std::strtol(widths.back().c_str(), nullptr, 0));
    }

    std::vector<std::string> formatters = parser.GetDispatcherParameter("formatter");
    if (formatters.size() == 1) {
        if (formatters.front().empty()) {
            output->AddErrorMessage("--formatter requires the name of the formatter to use for this command");
        } else {
            overrides.SetFormatter(formatters.front());
        }
    } else if (formatters.size() > 1) {
        output->AddErrorMessage("Only one --formatter option can be passed to a command");
    }

    for (const auto& directory : parser.GetDispatcherParameter("plugin-dir")) {
        if (!directory.empty()) {
            AddExternalDirectory(directory);
        }
    }
    for (const auto& file : parser.GetDispatcherParameter("plugin")) {
        if (!file.empty()) {
            AddPlugin(file);
        }
    }

    for (const auto& value : parser.GetDispatcherParameter("format-param")) {
        std::string key;
        std::string text;
        if (SplitFormatParam(value, key, text)) {
            overrides.SetParameter(std::move(key), std::move(text));
        } else {
            output->AddErrorMessage("Unable to read format parameter " + CallSpec::EchoText(value));
        }
    }
    return true;
}

void CliDispatcher::GetDisplayContext(DisplayContext& context) {
    GetTerminalSize(context.width, context.height);
    if (screenWidth >= 1 && screenWidth <= 9999) {
        context.width = static_cast<uint16_t>(screenWidth);
    }
}

} // namespace Corvane::AutoCli
