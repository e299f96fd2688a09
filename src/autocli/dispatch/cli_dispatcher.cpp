// CliDispatcher: one command line from arguments to printed result, stream input and error printing.
#include <corvane/dispatch.h>

#include "autocli/dispatch/close_name.h"
#include "autocli/dispatch/command_lines.h"
#include "autocli/dispatch/completion_internal.h"
#include "autocli/dispatch/standard_output.h"
#include "autocli/os/error_text.h"
#include "autocli/os/unique_fd.h"

#include <tarvikaudit.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <exception>
#include <iostream>

namespace Corvane::AutoCli {

namespace {

// Resolves `path` from `root`. A word that names nothing leaves with the tree's message, and when a
// child of the namespace it was looked for in comes close, a second line naming it.
std::shared_ptr<NamespaceNode> ResolvePath(const std::shared_ptr<RootNamespace>& root,
                                           const std::list<std::string>& path) {
    std::list<std::string> words = path;
    try {
        return root->ResolveNode(words);
    } catch (const CorvaneException& e) {
        std::string hint;
        try {
            std::shared_ptr<NamespaceNode> node = root;
            for (const std::string& word : path) {
                std::shared_ptr<NamespaceNode> child = node->GetNamespaceNode(word);
                if (!child) {
                    hint = Detail::DidYouMean(word,
                                              Detail::CandidateWords(CompletionDetail::Children(*node, "")));
                    break;
                }
                node = child;
            }
        } catch (const std::exception&) {
            hint.clear();
        }
        if (hint.empty()) {
            throw;
        }
        throw CorvaneException(std::string(e.what()) + "\n" + hint);
    }
}

// Puts after each "Unknown parameter : NAME" of an option the command does not declare either the
// hint that a dispatcher option belongs before the namespaces, or the command's option it comes close to.
void AddOptionHints(const CallSpec::Input& input, const CallSpec::InputSpec& spec, CallSpec::Output& output) {
    std::vector<std::string>& errors = output.GetErrors();
    for (const auto& entry : input.GetParameters()) {
        const std::string& name = entry.first;
        if (spec.FindParameter(name)) {
            continue;
        }
        auto unknown =
            std::find(errors.begin(), errors.end(), "Unknown parameter : " + CallSpec::EchoText(name));
        if (unknown == errors.end()) {
            continue;
        }
        const std::string word = (name.size() == 1 ? "-" : "--") + name;
        std::string hint;
        if (CompletionDetail::FindDispatcherOption(name) != nullptr) {
            hint = "'" + word + "' is a dispatcher option: give it before the namespaces.";
        } else if (name.size() > 1) {
            hint = Detail::DidYouMean(
                name, Detail::CandidateWords(CompletionDetail::CommandOptions(spec, {}, ""), true), true);
        }
        if (!hint.empty()) {
            errors.insert(unknown + 1, std::move(hint));
        }
    }
}

// The query of the dispatcher options --where (repeatable), --sort and --limit; a repeated --sort or
// --limit, and a value given to --dry-run, are problems added to `problems`.
ResultQuery ReadQueryOptions(const OptionParser& parser, CallSpec::Output& problems) {
    ResultQuery query;
    for (const std::string& condition : parser.GetDispatcherParameter("where")) {
        query.AddWhere(condition);
    }
    const std::vector<std::string> sorts = parser.GetDispatcherParameter("sort");
    if (sorts.size() > 1) {
        problems.AddErrorMessage("Only one --sort option can be passed to a command");
    } else if (sorts.size() == 1) {
        query.SetSort(sorts.front());
    }
    const std::vector<std::string> limits = parser.GetDispatcherParameter("limit");
    if (limits.size() > 1) {
        problems.AddErrorMessage("Only one --limit option can be passed to a command");
    } else if (limits.size() == 1) {
        query.SetLimit(limits.front());
    }
    for (const std::string& value : parser.GetDispatcherParameter("dry-run")) {
        if (!value.empty()) {
            problems.AddErrorMessage("--dry-run takes no value: " + value);
            break;
        }
    }
    return query;
}

} // namespace

CliDispatcher::CliDispatcher() = default;

CliDispatcher::~CliDispatcher() = default;

void CliDispatcher::HandleArgvInput(int argc, const char* const* argv) {
    CheckedStandardOutput standardOutput;
    OptionParser parser;
    parser.ParseArgv(argc, argv);
    bool ok = HandleOptions(parser, true);
    ExitProcess(ok ? 0 : 1);
}

bool CliDispatcher::HandleOptions(OptionParser& parser, bool allowStreamInput) {
    // Everything the call does is attributed to the invoking user; the previous value comes back
    // on every way out, exceptions included.
    const char* user = std::getenv("ZU_USERNAME");
    TarvikAudit::AuditParamOnStack audit("user", user != nullptr && *user != '\0' ? user : "@component");

    auto input = CommandInput::New();
    auto output = CommandOutput::New();
    FormatParameters overrides;

    for (const auto& error : parser.GetParseErrors()) {
        output->AddErrorMessage(error);
    }
    if (output->HasError()) {
        PrintError(output);
        return false;
    }

    name = parser.GetDispatcher();

    if (!HandleDispatcherOptions(parser, overrides, output)) {
        ExitProcess(1);
    }

    DisplayContext context;
    GetDisplayContext(context);

    // The command lines of a file or of standard input replace this one; errors collected so far
    // (--input itself is not a valid option for a single command) are dropped.
    if (allowStreamInput && parser.HasDispatcherParameter("input")) {
        std::vector<std::string> values = parser.GetDispatcherParameter("input");
        if (values.size() != 1) {
            std::cerr << "Only one --input dispatch parameter is allowed" << std::endl;
            return false;
        }
        return HandleInputFile(values.front());
    }

    std::list<std::string> path = parser.GetCommandPath();
    std::shared_ptr<NamespaceNode> node = ResolvePath(GetRootNamespace(), path);

    bool ok = false;
    if (!node) {
        PrintChildren(GetRootNamespace(), output);
    } else if (auto command = std::dynamic_pointer_cast<Command>(node); !command) {
        PrintChildren(node, output);
    } else {
        input->SetDispatcher(parser.GetDispatcher());
        input->SetCommandPath(path);

        parser.SetInputSpec(command->GetInputSpec());
        const OptionParser::ParameterList& parameters = parser.GetCommandParameters();
        for (const auto& error : parser.GetParseErrors()) {
            output->AddErrorMessage(error);
        }
        if (output->HasError()) {
            PrintError(output);
            return false;
        }
        for (const auto& parameter : parameters) {
            input->AddParameter(parameter.first, parameter.second);
        }

        // Nothing runs unless its result can be printed as asked, as far as the declared output tells.
        // A help request is printed by the help formatter and is not held up.
        // A query is read against the declared output too, and so is a dry run's: it fails where the
        // real call would.
        std::shared_ptr<CallSpec::InputSpec> spec = command->GetInputSpec();
        input->SetInputSpec(spec);
        const bool help = input->HasParameter("help");
        auto problems = CommandOutput::New();
        ResultQuery query = ReadQueryOptions(parser, *problems);
        if (!help) {
            FormatParameters planned = command->GetDefaultOutputFormatParameters();
            planned.OverrideValues(overrides);
            bool fine = !problems->HasError();
            fine = CheckFormatParameters(command, planned, problems) && fine;
            fine = CheckQuery(command, query, problems) && fine;
            if (!fine) {
                // What validation finds is said first, as it would be without the format problems.
                spec->Validate(input, output);
                AddOptionHints(*input, *spec, *output);
                for (auto& problem : problems->GetErrors()) {
                    output->AddErrorMessage(std::move(problem));
                }
                PrintError(output);
                return false;
            }
        }

        if (!help && parser.HasDispatcherParameter("dry-run")) {
            // What would run is printed as a result of its own, by the formatter asked for or "simple".
            ok = DryRun(input, output);
            AddOptionHints(*input, *spec, *output);
            if (ok && !output->HasError()) {
                FormatParameters params;
                params.SetFormatter(overrides.GetFormatter().empty() ? "simple" : overrides.GetFormatter());
                ok = PrintResult(output, params, context);
            }
            if (output->HasError()) {
                PrintError(output);
                return false;
            }
            return ok;
        }

        ok = ExecuteCommand(input, output);
        AddOptionHints(*input, *spec, *output);
        if (ok && output->GetOutputType() == CallSpec::Output::Normal) {
            query.Apply(output->GetRootObject());
        }

        if (!output->HasError()) {
            FormatParameters params;
            if (output->GetOutputType() == CallSpec::Output::Normal) {
                params = GetDefaultOutputFormatParameters(input, output);
            } else if (output->GetOutputType() == CallSpec::Output::Help) {
                params = GetHelpFormatParams();
            }
            params.OverrideValues(overrides);
            if (ok && !output->HasError()) {
                ok = PrintResult(output, params, context);
            }
        }
    }

    if (output->HasError()) {
        PrintError(output);
        return false;
    }
    return ok;
}

bool CliDispatcher::ParseStreamInput(std::istream& in) {
    const bool secretsFromTerminal = &in == &std::cin;
    bool result = true;
    std::string line;
    for (std::size_t number = 1; std::getline(in, line); ++number) {
        result = HandleInputLine(line, number, secretsFromTerminal) && result;
        if (!FinishStandardOutput()) {
            return false;
        }
    }
    return result;
}

bool CliDispatcher::PrintResult(const std::shared_ptr<CallSpec::Output>& output, FormatParameters& params,
                                DisplayContext& context) {
    const std::string& formatterName = params.GetFormatter();
    std::shared_ptr<Formatter> formatter = formatterName.empty() ? nullptr : GetFormatter(formatterName);
    if (!formatter) {
        const bool printed = FormatOutput(output, params, context, std::cout);
        if (!printed) {
            if (std::string hint = Detail::FormatterHint(*this, formatterName); !hint.empty()) {
                output->AddErrorMessage(std::move(hint));
            }
        }
        return printed;
    }
    // A formatter answers false when it wrote a problem in place of some of the result.
    return formatter->Format(output, params, context, std::cout);
}

bool CliDispatcher::HandleInputFile(const std::string& path) {
    const bool standardInput = path == "STDIN" || path == "-";
    UniqueFd file;
    if (!standardInput) {
        file.Adopt(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
        if (!file.IsOpen()) {
            std::cerr << "Unable to open file " << CallSpec::EchoText(path) << std::endl;
            return false;
        }
    }
    CommandLineReader reader(standardInput ? STDIN_FILENO : file.Get());
    bool result = true;
    std::string line;
    std::size_t number = 0;
    for (;;) {
        switch (reader.Next(line)) {
        case CommandLineReader::Result::Line:
            result = HandleInputLine(line, ++number, standardInput) && result;
            // A result that could not be written is not run on from: the commands after it would
            // act with nobody seeing what they print.
            if (!FinishStandardOutput()) {
                return false;
            }
            continue;
        case CommandLineReader::Result::End:
            return result;
        case CommandLineReader::Result::Error:
            std::cout.flush();
            std::cerr << "varnok: --input: " << CallSpec::EchoText(path) << ": " << ErrorText(reader.Error())
                      << std::endl;
            return false;
        }
    }
}

bool CliDispatcher::HandleInputLine(const std::string& line, std::size_t number, bool secretsFromTerminal) {
    OptionParser parser;
    if (parser.ParseString(line)) {
        return true;
    }
    // The lines are independent calls: one whose path names nothing, or whose --plugin fails to
    // load, is reported as the tool reports it for a single command line, and the batch goes on.
    parser.SetSecretsFromTerminal(secretsFromTerminal);
    inputLineHeader = "varnok: --input line " + std::to_string(number) + ":";
    bool ok = false;
    try {
        ok = HandleOptions(parser, false);
    } catch (const std::exception& e) {
        PrintInputLineHeader();
        std::cerr << "varnok: " << e.what() << std::endl;
    }
    // A listing fails without an error of its own; its line is still named.
    if (!ok) {
        PrintInputLineHeader();
    }
    inputLineHeader.clear();
    // Each command's output leaves before the next command or its program writes anything.
    std::cout.flush();
    return ok;
}

void CliDispatcher::PrintInputLineHeader() {
    if (inputLineHeader.empty()) {
        return;
    }
    std::cout.flush();
    std::cerr << inputLineHeader << std::endl;
    inputLineHeader.clear();
}

void CliDispatcher::PrintError(const std::shared_ptr<CallSpec::Output>& output) {
    if (!output->HasError()) {
        return;
    }
    PrintInputLineHeader();
    std::cout.flush();
    std::cerr << "Errors: " << std::endl;
    for (const auto& error : output->GetErrors()) {
        std::cerr << error << std::endl;
    }
}

} // namespace Corvane::AutoCli
