// Fuzz target of command-template filling: templates with no shell syntax of their own, filled
// with any values, must not gain any nor gain or lose a comment; quoted values must reach the
// program byte for byte. The linter's verdict on a template and the filler agree: a template it
// passes is not refused for its form, and one it refuses is refused with the values given.
#include "fuzz_support.h"

#include <corvane/callspec.h>
#include <corvane/lint.h>
#include <corvane/plugins.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace {

using Corvane::CallSpec::Input;
using Corvane::CallSpec::InputSpec;
using Corvane::CallSpec::ParameterSpec;
using Corvane::CallSpec::ParameterType;
using Corvane::Fuzz::ByteReader;
using Corvane::Fuzz::Fail;
using Corvane::Fuzz::FindActiveSyntax;
using Corvane::Fuzz::ShellShape;
using Corvane::Fuzz::ShellWords;

// Every parameter optional, so that the linter tries every set of them.
std::shared_ptr<InputSpec> MakeSpec() {
    auto spec = InputSpec::New();
    const std::pair<const char*, ParameterType> parameters[] = {
        {"force", ParameterType::Flag},      {"items", ParameterType::StringList},
        {"name", ParameterType::String},     {"path", ParameterType::String},
        {"tags", ParameterType::StringList}, {"text", ParameterType::String}};
    for (const auto& [name, type] : parameters) {
        auto parameter = ParameterSpec::New(name, type);
        parameter->SetRequired(false);
        spec->AddParameter(parameter);
    }
    return spec;
}

// Pieces a template is assembled from: the constructs in every quoting a template can give them.
const std::vector<std::string>& Fragments() {
    static const std::vector<std::string> fragments = {
        "prog ",
        " ",
        "'",
        "\"",
        "x",
        "$",
        "{",
        "}",
        "# ",
        "\\",
        "=",
        ",",
        "$val{name}",
        "$val{path}",
        "$val{text}",
        "$val{force}",
        "$val{items}",
        "$if{force,-f }",
        "$if{name,--name $val{name}}",
        "$if{path,'$val{path}'}",
        "$if{text,\"$val{text}\"}",
        "$list{items,',',true}",
        "$list{items,'',false}",
        "$list{items,' ',false}",
        "$multilist{tags,--tag,true}",
        "$multilist{tags,-t,false}",
        "$multilist{items,$val{name},false}",
        "$'",
        "${",
        "$$val{name}",
        "case $val{name} in ",
        "case x in ",
        ") ",
        ";; ",
        "esac",
        "$((",
        "))",
        "$(case x in (",
    };
    return fragments;
}

// Template text of the fuzzer's own, less every byte that is active shell syntax by itself.
std::string WithoutShellSyntax(const std::string& text) {
    std::string result;
    for (const char c : text) {
        if (c != '\0' && std::strchr(";|&<>\n`()", c) == nullptr) {
            result += c;
        }
    }
    return result;
}

// Whether `text` holds a ${ whose $ no backslash escapes.
bool HasUnescapedBraceExpansion(const std::string& text) {
    for (std::size_t at = text.find("${"); at != std::string::npos; at = text.find("${", at + 1)) {
        std::size_t backslashes = 0;
        while (backslashes < at && text[at - 1 - backslashes] == '\\') {
            ++backslashes;
        }
        if (backslashes % 2 == 0) {
            return true;
        }
    }
    return false;
}

std::string WithoutNul(std::string text) {
    text.erase(std::remove(text.begin(), text.end(), '\0'), text.end());
    return text;
}

// The template filled with the letter v for every value given, or the empty text when it is refused.
std::string FillWithLetters(const std::shared_ptr<Corvane::AutoCli::ExtensionCommand>& command,
                            const Input& input) {
    auto letters = Input::New();
    for (const auto& [name, list] : input.GetParameters()) {
        for (std::size_t i = 0; i < list.size(); ++i) {
            letters->AddParameter(name, name == "force" ? "" : "v");
        }
    }
    letters->SetInputSpec(command->GetInputSpec());
    try {
        return command->SubstituteInput(letters, false);
    } catch (const Corvane::CorvaneException&) {
        return std::string();
    }
}

// The linter and the filler agree on `command`'s template for the parameters of `input`: a template
// the linter passes is filled with letters as values (a refusal for the template's form would refuse
// them), and one it refuses for these parameters is refused with the values given, but for values
// that split into words or hold braces, which may change the form of the text around them.
void CheckLinterAgrees(const std::shared_ptr<Corvane::AutoCli::ExtensionCommand>& command, const Input& input,
                       const std::string& commandTemplate) {
    std::vector<std::string> present;
    const std::string refusal = Corvane::AutoCli::AutoCli_FindTemplateRefusal(*command, &present);
    std::vector<std::string> given;
    bool splits = false;
    for (const auto& [name, list] : input.GetParameters()) {
        given.push_back(name);
        for (const std::string& value : list) {
            splits = splits || (name != "force" &&
                                (value.empty() || value.find_first_of(" \t\n{}") != std::string::npos));
        }
    }
    auto filled = [&](const char* letter) {
        auto letters = Input::New();
        for (const auto& [name, list] : input.GetParameters()) {
            for (std::size_t i = 0; i < list.size(); ++i) {
                letters->AddParameter(name, name == "force" ? "" : letter);
            }
        }
        letters->SetInputSpec(command->GetInputSpec());
        try {
            command->SubstituteInput(letters, false);
        } catch (const Corvane::CorvaneException& e) {
            return std::string(e.what()).rfind("Unable to fill the command template: ", 0) != 0;
        }
        return true;
    };
    if (refusal.empty()) {
        if (!filled("v") && !filled("w")) {
            Fail("the linter passed a template that the filler refuses", commandTemplate);
        }
        return;
    }
    if (given != present || splits) {
        return;
    }
    auto values = Input::New();
    values->GetParameters() = input.GetParameters();
    values->SetInputSpec(command->GetInputSpec());
    try {
        command->SubstituteInput(values, false);
    } catch (const Corvane::CorvaneException&) {
        return;
    }
    Fail("the linter refused a template that the filler fills: " + refusal, commandTemplate);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    ByteReader reader(data, size);
    const int mode = reader.Byte() % 3;
    std::string commandTemplate;
    if (mode == 0) {
        commandTemplate = WithoutShellSyntax(reader.String(160));
    } else if (mode == 1) {
        for (int count = reader.Byte() % 16; count > 0; --count) {
            commandTemplate += Fragments()[reader.Byte() % Fragments().size()];
        }
    } else {
        commandTemplate = "prog '$val{name}' \"$val{path}\" \"x$val{text}y\"";
    }

    auto spec = MakeSpec();
    auto command = Corvane::AutoCli::ExtensionCommand::New();
    command->SetInputSpec(spec);
    command->SetOutputSpec(Corvane::CallSpec::OutputSpec::New());
    command->SetExecuteCommand(commandTemplate);
    auto input = Input::New();
    const std::uint8_t present = mode == 2 ? 0xff : reader.Byte();
    if ((present & 1) != 0) {
        input->AddParameter("force", "");
    }
    int bit = 1;
    for (const char* name : {"name", "path", "text"}) {
        if (((present >> bit++) & 1) != 0) {
            input->AddParameter(name, WithoutNul(reader.String(48)));
        }
    }
    for (const char* name : {"items", "tags"}) {
        for (int count = reader.Byte() % 4; count > 0; --count) {
            input->AddParameter(name, WithoutNul(reader.String(24)));
        }
    }
    input->SetInputSpec(command->GetInputSpec());
    CheckLinterAgrees(command, *input, commandTemplate);
    // The fragments with shell syntax of their own ($((, case items) serve the check above only.
    if (commandTemplate.find_first_of("();") != std::string::npos) {
        return 0;
    }

    std::string filled;
    try {
        filled = command->SubstituteInput(input, false);
    } catch (const Corvane::CorvaneException&) {
        // A value where no escaping can keep it data, or a $val on a flag or list: refused.
        return 0;
    }
    // Values inside ${...} are refused (CheckLinterAgrees covers that); the reader below does not
    // follow the quoting inside ${...}, so the text around one is not checked here. The template may
    // also form one once a $if is gone, and a value may after a template $ (documented); a value's own
    // $ is always escaped or inert.
    if (mode != 2 &&
        (commandTemplate.find("${") != std::string::npos || HasUnescapedBraceExpansion(filled))) {
        return 0;
    }
    // The template, the values and the filled text, for a report.
    auto describe = [&] {
        std::string text = "template: " + commandTemplate + "\n";
        for (const auto& [name, list] : input->GetParameters()) {
            for (const auto& value : list) {
                text.append(name).append("=[").append(value).append("]\n");
            }
        }
        return text + "filled: " + filled;
    };
    ShellShape shape;
    const std::size_t active = FindActiveSyntax(filled, &shape);
    if (active != std::string::npos) {
        Fail("a value brought active shell syntax at offset " + std::to_string(active), describe());
    }
    // Values decide no comment: filled with letters the template has a comment exactly when it has
    // one here. A quote that the template leaves open can be closed by a value: no promise there.
    if (mode != 2 && commandTemplate.find('#') != std::string::npos) {
        const std::string letters = FillWithLetters(command, *input);
        ShellShape lettersShape;
        if (!letters.empty() && FindActiveSyntax(letters, &lettersShape) == std::string::npos &&
            !shape.openQuote && !lettersShape.openQuote &&
            (shape.comment == std::string::npos) != (lettersShape.comment == std::string::npos)) {
            Fail("a value decided whether the command has a comment",
                 describe() + "\nwith letters: " + letters);
        }
    }
    if (mode == 2) {
        const std::vector<std::string> expected = {"prog", input->GetParameter("name"),
                                                   input->GetParameter("path"),
                                                   "x" + input->GetParameter("text") + "y"};
        if (ShellWords(filled) != expected) {
            Fail("a quoted value did not reach the program exactly", filled);
        }
    }
    return 0;
}
