// Completion: walking a partial command line with the parser's grammar to the word being completed.
#include <corvane/completion.h>

#include "autocli/dispatch/completion_internal.h"

#include <exception>

namespace Corvane::AutoCli {

namespace {

using namespace CompletionDetail;

// One option word split: its name, and its value when the word carries one ("--name=value").
struct OptionWord {
    std::string name;
    std::string value;
    bool hasValue = false;
};

OptionWord SplitOption(const std::string& word) {
    OptionWord option;
    const std::size_t start = word.compare(0, 2, "--") == 0 ? 2 : 1;
    const std::size_t equals = word.find('=');
    option.name = word.substr(start, equals == std::string::npos ? std::string::npos : equals - start);
    if (equals != std::string::npos) {
        option.value = word.substr(equals + 1);
        option.hasValue = true;
    }
    return option;
}

// "--name=" and the name when the word being completed is a long option with a value started.
bool SplitValueWord(const std::string& word, std::string& name, std::string& prefix) {
    const std::size_t equals = word.find('=');
    if (word.compare(0, 2, "--") != 0 || equals == std::string::npos ||
        !OptionParser::IsParameter(word.substr(0, equals))) {
        return false;
    }
    name = word.substr(2, equals - 2);
    prefix = word.substr(0, equals + 1);
    return true;
}

bool IsDash(const std::string& word) {
    return !word.empty() && word[0] == '-';
}

// Loads what a dispatcher option names; a plugin that fails to load simply adds no commands.
void Apply(Dispatcher& dispatcher, const OptionWord& option) {
    if (option.value.empty()) {
        return;
    }
    try {
        if (option.name == "plugin-dir") {
            dispatcher.AddExternalDirectory(option.value);
        } else if (option.name == "plugin") {
            dispatcher.AddPlugin(option.value);
        }
    } catch (const std::exception&) {
    }
}

std::shared_ptr<CallSpec::ParameterSpec> FindOption(const CallSpec::InputSpec& spec,
                                                    const std::string& name) {
    for (const auto& parameter : spec.GetParameters()) {
        if (parameter->GetName() == name || parameter->GetShortName() == name) {
            return parameter;
        }
    }
    return nullptr;
}

bool TakesValue(const CallSpec::ParameterSpec& parameter) {
    return parameter.GetType() != CallSpec::ParameterType::Flag && parameter.GetName() != "help";
}

// The command options part: `words` from `next` on are the options before the last word.
Completion CompleteCommandOptions(Command& command, const std::vector<std::string>& words, std::size_t next) {
    const std::shared_ptr<CallSpec::InputSpec> spec = command.GetInputSpec();
    const std::size_t last = words.size() - 1;
    const std::string& word = words[last];
    std::vector<std::string> given;
    std::shared_ptr<CallSpec::ParameterSpec> pending; // an option whose value is the last word
    bool pendingUnknown = false;
    while (next < last) {
        if (!OptionParser::IsParameter(words[next])) {
            return {}; // a word where an option belongs: the tool would refuse the line
        }
        const OptionWord option = SplitOption(words[next++]);
        const auto parameter = FindOption(*spec, option.name);
        if (parameter) {
            given.push_back(parameter->GetName());
        }
        if (option.hasValue) {
            continue;
        }
        if (next < last && !OptionParser::IsParameter(words[next])) {
            ++next;
        } else if (next == last) {
            pending = parameter;
            pendingUnknown = !parameter;
        }
    }

    std::string name;
    std::string prefix;
    if (SplitValueWord(word, name, prefix)) {
        const auto parameter = spec->FindParameter(name);
        return parameter ? ParameterValues(*parameter, prefix, word) : Completion{};
    }
    if (!IsDash(word)) {
        if (pendingUnknown) {
            return {};
        }
        if (pending && TakesValue(*pending)) {
            return ParameterValues(*pending, "", word);
        }
    }
    return CommandOptions(*spec, given, word);
}

Completion Complete(Dispatcher& dispatcher, const std::vector<std::string>& words) {
    const std::size_t last = words.size() - 1;
    const std::string& word = words[last];

    // Dispatcher options, each with its value; the plugins they name are loaded on the way.
    std::size_t next = 0;
    while (next < last && OptionParser::IsParameter(words[next])) {
        OptionWord option = SplitOption(words[next++]);
        if (!option.hasValue && option.name == "dry-run") {
            continue; // a switch: the next word is not its value
        }
        if (!option.hasValue && next < last && !OptionParser::IsParameter(words[next])) {
            option.value = words[next++];
            option.hasValue = true;
        }
        if (option.hasValue) {
            Apply(dispatcher, option);
            continue;
        }
        if (next == last && !IsDash(word)) {
            // The last word is this option's value.
            const DispatcherOption* known = FindDispatcherOption(option.name);
            return known ? DispatcherOptionValue(dispatcher, *known, "", word) : Completion{};
        }
    }
    if (next == last) {
        std::string name;
        std::string prefix;
        if (SplitValueWord(word, name, prefix)) {
            const DispatcherOption* known = FindDispatcherOption(name);
            return known ? DispatcherOptionValue(dispatcher, *known, prefix, word) : Completion{};
        }
        if (IsDash(word)) {
            return DispatcherOptions(word);
        }
    }

    // The path, down to the node below which the last word (or the options) belong.
    std::shared_ptr<NamespaceNode> node = dispatcher.GetRootNamespace();
    for (; next < last && !OptionParser::IsParameter(words[next]); ++next) {
        if (node->GetType() == CommandType) {
            return {};
        }
        node = node->GetNamespaceNode(words[next]);
        if (!node) {
            return {};
        }
    }
    if (node->GetType() == CommandType) {
        auto command = std::dynamic_pointer_cast<Command>(node);
        return command ? CompleteCommandOptions(*command, words, next) : Completion{};
    }
    if (next < last || IsDash(word)) {
        return {}; // options after a namespace: the tool lists the namespace whatever they say
    }
    return Children(*node, word);
}

} // namespace

Completion AutoCli_Complete(Dispatcher& dispatcher, const std::vector<std::string>& words) {
    if (words.empty()) {
        return AutoCli_Complete(dispatcher, {std::string()});
    }
    try {
        return Complete(dispatcher, words);
    } catch (const std::exception&) {
        // A command whose specification cannot be built, or a plugin failing inside the tree.
        return {};
    }
}

} // namespace Corvane::AutoCli
