// Dispatcher: the formatter table, the check of format parameters against a command's declared output,
// and printing a result with a named formatter.
#include <corvane/dispatch.h>

#include "autocli/dispatch/close_name.h"
#include "autocli/dispatch/completion_internal.h"
#include "autocli/format/format_check.h"

#include <algorithm>

namespace Corvane::AutoCli {

namespace Detail {

std::string FormatterHint(Dispatcher& dispatcher, const std::string& name) {
    const CompletionDetail::DispatcherOption* option = CompletionDetail::FindDispatcherOption("formatter");
    return DidYouMean(name,
                      CandidateWords(CompletionDetail::DispatcherOptionValue(dispatcher, *option, "", "")));
}

} // namespace Detail

bool Dispatcher::HasFormatter(const std::string& name) {
    auto entry = formatters.find(name);
    return entry != formatters.end() && entry->second->HasFormatter(name);
}

std::shared_ptr<Formatter> Dispatcher::GetFormatter(const std::string& name) {
    auto entry = formatters.find(name);
    if (entry == formatters.end() || !entry->second->HasFormatter(name)) {
        return nullptr;
    }
    return entry->second->GetFormatter(name);
}

std::vector<std::shared_ptr<Formatter>> Dispatcher::GetFormatters() {
    std::vector<std::shared_ptr<Formatter>> result;
    result.reserve(formatters.size());
    for (const auto& [name, provider] : formatters) {
        result.push_back(provider->GetFormatter(name));
    }
    return result;
}

bool Dispatcher::CheckFormatParameters(const std::shared_ptr<Command>& command,
                                       const FormatParameters& params,
                                       const std::shared_ptr<CallSpec::Output>& output) {
    const std::string& name = params.GetFormatter();
    if (name.empty()) {
        return true;
    }
    if (!GetFormatter(name)) {
        output->AddErrorMessage("Unable to find requested formatter: " + CallSpec::EchoText(name));
        if (std::string hint = Detail::FormatterHint(*this, name); !hint.empty()) {
            output->AddErrorMessage(std::move(hint));
        }
        return false;
    }
    const std::shared_ptr<CallSpec::OutputSpec> spec = command ? command->GetOutputSpec() : nullptr;
    const std::shared_ptr<MetaObj::MetaObject> declared = spec ? spec->GetRootObject() : nullptr;
    if (!declared) {
        return true;
    }
    // The same message for several types (a generic field list) is said once.
    std::vector<std::string> said;
    for (const Detail::FormatProblem& problem : Detail::CheckFormat(name, *declared, params)) {
        if (std::find(said.begin(), said.end(), problem.message) != said.end()) {
            continue;
        }
        said.push_back(problem.message);
        output->AddErrorMessage(problem.message);
        if (std::string hint = Detail::DidYouMean(problem.word, problem.candidates); !hint.empty()) {
            output->AddErrorMessage(std::move(hint));
        }
    }
    return said.empty();
}

bool Dispatcher::FormatOutput(const std::shared_ptr<CallSpec::Output>& output, FormatParameters& params,
                              DisplayContext& context, std::ostream& out) {
    const std::string& name = params.GetFormatter();
    if (name.empty()) {
        return true;
    }
    std::shared_ptr<Formatter> formatter = GetFormatter(name);
    if (!formatter) {
        output->AddErrorMessage("Unable to find requested formatter: " + CallSpec::EchoText(name));
        return false;
    }
    formatter->Format(output, params, context, out);
    return true;
}

} // namespace Corvane::AutoCli
