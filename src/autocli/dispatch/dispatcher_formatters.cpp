// Dispatcher: the formatter table and printing a result with a named formatter.
#include <corvane/dispatch.h>

namespace Corvane::AutoCli {

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

bool Dispatcher::FormatOutput(const std::shared_ptr<CallSpec::Output>& output, FormatParameters& params,
                              DisplayContext& context, std::ostream& out) {
    const std::string& name = params.GetFormatter();
    if (name.empty()) {
        return true;
    }
    std::shared_ptr<Formatter> formatter = GetFormatter(name);
    if (!formatter) {
        output->AddErrorMessage("Unable to find requested formatter: " + name);
        return false;
    }
    formatter->Format(output, params, context, out);
    return true;
}

} // namespace Corvane::AutoCli
