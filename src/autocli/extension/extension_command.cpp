// ExtensionCommand: its specifications and templates, and running the filled command.
#include <corvane/plugins.h>

#include <corvane/process.h>
#include <corvane/xmlutil.h>

#include <sys/wait.h>
#include <syslog.h>

#include <cstdlib>
#include <exception>

namespace Corvane::AutoCli {

std::shared_ptr<ExtensionCommand> ExtensionCommand::New() {
    return std::make_shared<ExtensionCommand>();
}

ExtensionCommand::ExtensionCommand() = default;

ExtensionCommand::~ExtensionCommand() = default;

void ExtensionCommand::SetInputSpec(std::shared_ptr<CallSpec::InputSpec> spec) {
    inputSpec = std::move(spec);
}

void ExtensionCommand::SetOutputSpec(std::shared_ptr<CallSpec::OutputSpec> spec) {
    outputSpec = std::move(spec);
}

void ExtensionCommand::SetExecuteCommand(const std::string& commandTemplate) {
    executeCommand = commandTemplate;
}

void ExtensionCommand::SetStdin(const std::string& stdinTemplateText) {
    stdinTemplate = stdinTemplateText;
}

std::shared_ptr<CallSpec::InputSpec> ExtensionCommand::GetInputSpecInternal() {
    if (!inputSpec) {
        throw CorvaneException(
            "Request for NULL InputSpec.  Extension command is incomplete and will not work");
    }
    return inputSpec;
}

std::shared_ptr<CallSpec::OutputSpec> ExtensionCommand::GetOutputSpecInternal() {
    if (!outputSpec) {
        throw CorvaneException(
            "Request for NULL OutputSpec.  Extension command is incomplete and will not work");
    }
    return outputSpec;
}

namespace {

// The last line of the no-data message. A shell ended by a signal has no exit code to show.
std::string DescribeStatus(int status) {
    if (WIFSIGNALED(status)) {
        return "terminated by signal " + std::to_string(WTERMSIG(status));
    }
    return "exited with error code: " + std::to_string(WEXITSTATUS(status));
}

// Leading lines that start with ERROR: become one error message each; the first other line ends
// the scan.
void AddLeadingErrors(const std::string& out, CallSpec::Output& output) {
    static const std::string marker = "ERROR:";
    std::size_t pos = 0;
    while (out.compare(pos, marker.size(), marker) == 0) {
        std::size_t text = pos + marker.size();
        std::size_t lineFeed = out.find('\n', text);
        if (lineFeed == std::string::npos) {
            output.AddErrorMessage(out.substr(text));
            return;
        }
        output.AddErrorMessage(out.substr(text, lineFeed - text));
        pos = lineFeed + 1;
        if (pos == out.size()) {
            return;
        }
    }
}

// The command as the no-data message shows it: the template filled with the values as messages
// repeat them (EchoText), so that a long or binary value cannot flood or drive a terminal while the
// template's own text, line breaks included, stays as written. `run` is the command that ran; a
// filling that fails shows it through EchoText as a whole.
std::string ShownCommand(ExtensionCommand& command, CallSpec::Input& input, const std::string& prefix,
                         const std::string& run) {
    auto shown = CallSpec::Input::New();
    for (const auto& [name, values] : input.GetParameters()) {
        for (const std::string& value : values) {
            shown->AddParameter(name, CallSpec::EchoText(value));
        }
    }
    shown->SetInputSpec(command.GetInputSpec());
    try {
        return prefix + command.SubstituteInput(shown, false);
    } catch (const std::exception&) {
        return CallSpec::EchoText(run);
    }
}

} // namespace

void ExtensionCommand::PlanRun(const std::shared_ptr<CallSpec::Input>& input, std::string& shellText,
                               std::string& stdinText) {
    if (!input) {
        throw CorvaneException("Extension command '" + GetName() + "' was planned without an input");
    }
    // The same steps as ExecuteInternal and the process runner take, in the same order.
    shellText = SubstituteInput(input, false);
    if (std::getenv("LANG") == nullptr) {
        shellText = "LANG=en_US.UTF-8 " + shellText;
    }
    stdinText = SubstituteInput(input, true);
    std::shared_ptr<CallSpec::InputSpec> spec = GetInputSpec();
    if (spec && spec->IsContextSupported("user")) {
        const std::string& userName = input->GetContext("user");
        if (!userName.empty()) {
            std::string quoted;
            for (const char c : userName) {
                quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
            }
            shellText = "ZU_USERNAME='" + quoted + "' " + shellText;
        }
    }
}

void ExtensionCommand::ExecuteInternal(const std::shared_ptr<CallSpec::Input>& input,
                                       const std::shared_ptr<CallSpec::Output>& output) {
    if (!input || !output) {
        throw CorvaneException("Extension command '" + GetName() +
                               "' was executed without an input or an output");
    }
    const std::string prefix = std::getenv("LANG") == nullptr ? "LANG=en_US.UTF-8 " : "";
    const std::string command = prefix + SubstituteInput(input, false);
    const std::string stdinText = SubstituteInput(input, true);

    // The output is read as it arrives; one that breaks a bound of the reader ends the program at once.
    XmlOutputStream stream;
    const OutputConsumer consume = [&stream](const char* data, std::size_t size) {
        return stream.Add(data, size);
    };
    int status = 0;
    std::shared_ptr<CallSpec::InputSpec> spec = GetInputSpec();
    if (spec && spec->IsContextSupported("user")) {
        status = AutoCli_ShellCmdStreamWithZuUsername(command, input->GetContext("user"), consume, stdinText);
    } else {
        status = AutoCli_ShellCmdStream(command, consume, stdinText);
    }
    stream.End();

    if (stream.Empty()) {
        std::string message = "Got no data from process.\nCommand \"" +
                              ShownCommand(*this, *input, prefix, command) + "\"\n" + DescribeStatus(status);
        syslog(LOG_ERR, "%s", message.c_str());
        output->AddErrorMessage(std::move(message));
        return;
    }

    AddLeadingErrors(stream.Head(), *output);
    if (output->HasError()) {
        return;
    }
    // Why the output gives no value, or which element of it was refused, comes first.
    std::string problem;
    std::shared_ptr<MetaObj::MetaObject> value;
    try {
        value = stream.Value(problem);
        if (value) {
            output->SetRootObject(value);
        }
    } catch (const CorvaneException& e) {
        if (!problem.empty()) {
            output->AddErrorMessage(problem);
        }
        output->AddErrorMessage(std::string("Unable to parse output of Extension Command: ") + e.what());
        return;
    }
    if (!value && !problem.empty()) {
        // A missing value fails the output check: its messages follow the reason.
        output->AddErrorMessage(problem);
        AddOutputValidationErrors(output);
    }
}

} // namespace Corvane::AutoCli
