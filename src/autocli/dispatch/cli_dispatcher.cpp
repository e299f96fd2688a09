// CliDispatcher: one command line from arguments to printed result, stream input and error printing.
#include <corvane/dispatch.h>

#include <tarvikaudit.h>

#include <cstdlib>
#include <fstream>
#include <iostream>

namespace Corvane::AutoCli {

CliDispatcher::CliDispatcher() = default;

CliDispatcher::~CliDispatcher() = default;

void CliDispatcher::HandleArgvInput(int argc, const char* const* argv) {
    OptionParser parser;
    parser.ParseArgv(argc, argv);
    bool ok = HandleOptions(parser, true);
    std::exit(ok ? 0 : 1);
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
        std::exit(1);
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
        if (values.front() == "STDIN") {
            return ParseStreamInput(std::cin);
        }
        std::ifstream file(values.front());
        if (!file) {
            std::cerr << "Unable to open file " << values.front() << std::endl;
            return false;
        }
        return ParseStreamInput(file);
    }

    std::list<std::string> path = parser.GetCommandPath();
    std::shared_ptr<NamespaceNode> node = GetRootNamespace()->ResolveNode(path);

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

        ok = ExecuteCommand(input, output);

        if (!output->HasError()) {
            FormatParameters params;
            if (output->GetOutputType() == CallSpec::Output::Normal) {
                params = GetDefaultOutputFormatParameters(input, output);
            } else if (output->GetOutputType() == CallSpec::Output::Help) {
                params = GetHelpFormatParams();
            }
            params.OverrideValues(overrides);
            if (ok && !output->HasError()) {
                ok = FormatOutput(output, params, context, std::cout);
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
    bool result = true;
    std::string line;
    while (std::getline(in, line)) {
        OptionParser parser;
        if (!parser.ParseString(line)) {
            result = HandleOptions(parser, false);
        }
        // Each command's output leaves before the next command or its program writes anything.
        std::cout.flush();
    }
    return result;
}

void CliDispatcher::PrintError(const std::shared_ptr<CallSpec::Output>& output) {
    if (!output->HasError()) {
        return;
    }
    std::cout.flush();
    std::cerr << "Errors: " << std::endl;
    for (const auto& error : output->GetErrors()) {
        std::cerr << error << std::endl;
    }
}

} // namespace Corvane::AutoCli
