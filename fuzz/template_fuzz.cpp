// Fuzz target of command-template filling: templates with no shell syntax of their own, filled
// with any values, must not gain any nor gain or lose a comment; quoted values must reach the
// program byte for byte.
#include "fuzz_support.h"

#include <corvane/callspec.h>
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

std::shared_ptr<InputSpec> MakeSpec() {
    auto spec = InputSpec::New();
    spec->AddParameter(ParameterSpec::New("force", ParameterType::Flag));
    spec->AddParameter(ParameterSpec::New("items", ParameterType::StringList));
    spec->AddParameter(ParameterSpec::New("name", ParameterType::String));
    spec->AddParameter(ParameterSpec::New("path", ParameterType::String));
    spec->AddParameter(ParameterSpec::New("tags", ParameterType::StringList));
    spec->AddParameter(ParameterSpec::New("text", ParameterType::String));
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

    std::string filled;
    try {
        filled = command->SubstituteInput(input, false);
    } catch (const Corvane::CorvaneException&) {
        // A value where no escaping can keep it data, or a $val on a flag or list: refused.
        return 0;
    }
    // Inside ${...} the word and pattern parts are quoted differently by different shells, and the
    // documentation tells plugin authors to keep values out of them: no promise to check there. The
    // template may also form one once a $if is gone; a value's own $ is always escaped or inert.
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
