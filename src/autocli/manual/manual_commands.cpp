// Manual pages: one page per command, built from its declarations.
#include "autocli/manual/manual_internal.h"

#include <corvane/dispatch.h>

#include <algorithm>

namespace Corvane::AutoCli {
namespace Manual {

using CallSpec::ParameterConstraint;
using CallSpec::ParameterSpec;
using MetaObj::MetaList;
using MetaObj::MetaObject;
using MetaObj::MetaStruct;
using MetaObj::MetaType;

namespace {

std::string TypeWord(CallSpec::ParameterType type) {
    switch (type) {
    case CallSpec::String:
        return "string";
    case CallSpec::Int:
        return "int";
    case CallSpec::Bool:
        return "bool";
    case CallSpec::Flag:
        return "";
    case CallSpec::StringList:
        return "string";
    case CallSpec::IntList:
        return "int";
    case CallSpec::BoolList:
        return "bool";
    }
    return "";
}

std::string Join(const std::list<std::string>& words, const char* separator) {
    std::string text;
    for (const std::string& word : words) {
        text += (text.empty() ? "" : separator) + word;
    }
    return text;
}

// The description with its placeholders expanded, on one line. %FULLENUM% is left out: the page lists
// the values of the enumeration below the option anyway.
std::string Description(const ParameterSpec& parameter) {
    std::string text = parameter.GetDescription(false);
    const std::string::size_type full = text.find("%FULLENUM%");
    if (full != std::string::npos) {
        text.erase(full, 10);
    } else {
        text = parameter.GetDescription(true);
    }
    std::string line;
    for (char c : text) {
        const bool blank = c == ' ' || c == '\n' || c == '\t';
        if (!blank || (!line.empty() && line.back() != ' ')) {
            line += blank ? ' ' : c;
        }
    }
    while (!line.empty() && line.back() == ' ') {
        line.pop_back();
    }
    return line;
}

Block OptionBlock(const ParameterSpec& parameter) {
    Block block;
    const std::string type = TypeWord(parameter.GetType());
    block.term = "--" + parameter.GetName();
    if (!parameter.GetShortName().empty()) {
        block.term += ", -" + parameter.GetShortName();
    }
    if (!type.empty()) {
        block.term += " *" + type + "*";
    }
    std::string facts = parameter.IsRequired() ? "Required." : "Optional.";
    if (parameter.AllowMultiple()) {
        facts += " Give it once for each value.";
    }
    if (parameter.GetType() == CallSpec::Flag) {
        facts += " A flag: it takes no value.";
    }
    if (parameter.IsSecret()) {
        facts += " Secret: given last without a value, it is asked for without echo.";
    }
    block.text = Description(parameter) + " " + facts;
    if (std::shared_ptr<ParameterConstraint> constraint = parameter.GetConstraint()) {
        switch (constraint->GetType()) {
        case CallSpec::IntRange: {
            long min = 0;
            long max = 0;
            constraint->GetIntRange(min, max);
            block.text += " Range: " + std::to_string(min) + " to " + std::to_string(max) + ".";
            break;
        }
        case CallSpec::IntEnum:
            block.text += " One of:";
            for (long value : constraint->GetIntEnum()) {
                block.items.emplace_back(std::to_string(value), "");
            }
            break;
        case CallSpec::StringEnum: {
            block.text += " One of:";
            // Values without a description are missing from the described map; the value list has all.
            // Sorted, as the command's --help lists them.
            std::vector<std::string> values = constraint->GetStringEnum();
            std::sort(values.begin(), values.end());
            for (const std::string& value : values) {
                const auto& described = constraint->GetStringEnumWithDesc();
                const auto found = described.find(value);
                block.items.emplace_back(value, found != described.end() ? found->second : std::string());
            }
            break;
        }
        case CallSpec::StringRegex:
            block.text += " Pattern (the whole value must match): " + constraint->GetStringRegex();
            break;
        default:
            break;
        }
    }
    return block;
}

std::string Article(const std::string& word) {
    const bool vowel = !word.empty() && std::string("AEIOUaeiou").find(word[0]) != std::string::npos;
    return (vowel ? "an " : "a ") + word;
}

std::string ShapeWord(const std::shared_ptr<MetaObject>& value, MetaType kind = MetaType::Int) {
    if (value) {
        kind = value->GetType();
    } else if (kind == MetaType::Struct || kind == MetaType::List) {
        return "nothing";
    }
    switch (kind) {
    case MetaType::Int:
        return "int";
    case MetaType::Bool:
        return "bool";
    case MetaType::String:
        return "string";
    case MetaType::Struct:
        return Article(std::static_pointer_cast<MetaStruct>(value)->GetTypeName()) + " structure";
    case MetaType::List: {
        auto list = std::static_pointer_cast<MetaList>(value);
        if (list->GetListType() == MetaType::Struct) {
            return "a list of " +
                   (list->GetListStructure() ? list->GetListStructure()->GetTypeName() + " "
                                             : std::string()) +
                   "structures";
        }
        return "a list of " + ShapeWord(nullptr, list->GetListType()) + "s";
    }
    }
    return "";
}

// Every structure of the declared output, outermost first, each with its fields.
void OutputBlocks(const std::shared_ptr<MetaObject>& value, std::vector<Block>& blocks) {
    std::shared_ptr<MetaStruct> structure;
    if (value && value->GetType() == MetaType::Struct) {
        structure = std::static_pointer_cast<MetaStruct>(value);
    } else if (value && value->GetType() == MetaType::List) {
        structure = std::static_pointer_cast<MetaList>(value)->GetListStructure();
    }
    if (!structure) {
        return;
    }
    Block block;
    block.term = structure->GetTypeName();
    block.text = "Fields:";
    std::vector<std::shared_ptr<MetaObject>> inner;
    for (const std::string& field : structure->GetFieldNames()) {
        std::shared_ptr<MetaObject> fieldValue = structure->GetField(field);
        block.items.emplace_back(field, ShapeWord(fieldValue));
        inner.push_back(fieldValue);
    }
    blocks.push_back(std::move(block));
    for (const auto& fieldValue : inner) {
        OutputBlocks(fieldValue, blocks);
    }
}

std::string EffectMeaning(const std::string& effect) {
    if (effect == "read") {
        return "The command only reads: running it changes nothing.";
    }
    if (effect == "change") {
        return "The command changes the state of the host.";
    }
    return "The command removes or destroys something; it may not be undone.";
}

Page CommandPage(Command& command) {
    const std::list<std::string> path = command.GetPath();
    const std::string words = Join(path, " ");
    Page page;
    page.name = "varnok-" + Join(path, "-");
    page.summary =
        command.GetDescription().empty() ? "the varnok command " + words : command.GetDescription();

    std::string synopsis = "varnok [dispatcher options] " + words;
    Section options{"Options", {}};
    for (const auto& parameter : command.GetInputSpec()->GetParameters()) {
        options.blocks.push_back(OptionBlock(*parameter));
        if (parameter->IsRequired()) {
            synopsis += " --" + parameter->GetName() + " " + TypeWord(parameter->GetType());
        }
    }
    synopsis += " [options]";
    page.sections.push_back({"Synopsis", {Block{"", synopsis, true, {}}}});
    Section description{"Description", {Block{"", command.GetDescription(), false, {}}}};
    const std::string effect = command.GetEffect();
    if (!effect.empty()) {
        description.blocks.push_back(Block{"Effect: " + effect, EffectMeaning(effect), false, {}});
    }
    page.sections.push_back(std::move(description));
    page.sections.push_back(std::move(options));

    Section output{"Output", {}};
    std::shared_ptr<CallSpec::OutputSpec> spec = command.GetOutputSpec();
    std::shared_ptr<MetaObject> root = spec ? spec->GetRootObject() : nullptr;
    std::string shape = root ? "Result: " + ShapeWord(root) + "." : "The command declares no result.";
    // A declaration without documentation reads the library's placeholder text, which says nothing here.
    if (spec && !spec->GetDescription().empty() && spec->GetDescription() != "Documentation missing") {
        shape += " " + spec->GetDescription();
    }
    output.blocks.push_back(Block{"", shape, false, {}});
    OutputBlocks(root, output.blocks);
    page.sections.push_back(std::move(output));

    Section formatters{"Formatters", {}};
    const FormatParameters defaults = command.GetDefaultOutputFormatParameters();
    std::string printed = defaults.GetFormatter().empty()
                              ? "The command names no default formatter."
                              : "Printed by default with the " + defaults.GetFormatter() + " formatter.";
    printed +=
        " Others are chosen with --formatter NAME before the namespaces, and the format parameters below "
        "are overridden with --format-param KEY=VALUE; see varnok(1).";
    formatters.blocks.push_back(Block{"", printed, false, {}});
    for (const auto& [key, value] : defaults.GetParameters()) {
        formatters.blocks.push_back(Block{key, "Default: " + value, false, {}});
    }
    page.sections.push_back(std::move(formatters));

    if (!command.GetExamples().empty()) {
        Section examples{"Examples", {}};
        for (const auto& [arguments, description] : command.GetExamples()) {
            examples.blocks.push_back(Block{"", description, false, {}});
            examples.blocks.push_back(
                Block{"", "varnok " + words + (arguments.empty() ? "" : " " + arguments), true, {}});
        }
        page.sections.push_back(std::move(examples));
    }
    page.sections.push_back({"See also", {Block{"", "varnok(1)", false, {}}}});
    return page;
}

} // namespace

} // namespace Manual

std::vector<ManualPage> AutoCli_CommandManuals(Dispatcher& dispatcher, ManualFormat format) {
    std::vector<ManualPage> pages;
    for (const auto& command : AllCommands(dispatcher.GetRootNamespace())) {
        const Manual::Page page = Manual::CommandPage(*command);
        pages.push_back(format == ManualFormat::Man
                            ? ManualPage{page.name + ".1", Manual::RenderMan(page)}
                            : ManualPage{page.name + ".md", Manual::RenderMarkdown(page)});
    }
    return pages;
}

} // namespace Corvane::AutoCli
