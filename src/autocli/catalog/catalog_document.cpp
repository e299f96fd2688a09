// The command catalog: catalog.json and the schema files of every command of a dispatcher's tree.
#include "autocli/catalog/catalog_internal.h"

#include "autocli/tree/all_commands.h"

namespace Corvane::AutoCli {
namespace Catalog {

namespace {

Json Entry(Command& command) {
    const std::string effect = command.GetEffect();
    const std::string formatter = command.GetDefaultOutputFormatParameters().GetFormatter();
    return Json{{"path", command.GetPathString(' ')},
                {"description", command.GetDescription()},
                {"effect", effect.empty() ? Json() : Json(effect)},
                {"defaultFormatter", formatter.empty() ? Json() : Json(formatter)},
                {"input", InputSchema(command)},
                {"output", OutputSchema(command)}};
}

} // namespace

Json Document(Dispatcher& dispatcher) {
    Json commands = Json::array();
    for (const auto& command : AllCommands(dispatcher.GetRootNamespace())) {
        commands.push_back(Entry(*command));
    }
    return Json{{"catalogVersion", 1}, {"commands", std::move(commands)}};
}

std::string Text(const Json& document) {
    return document.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
}

} // namespace Catalog

std::vector<SchemaFile> AutoCli_SchemaFiles(Dispatcher& dispatcher) {
    std::vector<SchemaFile> files;
    for (const auto& command : AllCommands(dispatcher.GetRootNamespace())) {
        const std::string stem = command->GetPathString('.');
        files.push_back({stem + ".input.json", Catalog::Text(Catalog::InputSchema(*command))});
        files.push_back({stem + ".output.json", Catalog::Text(Catalog::OutputSchema(*command))});
    }
    files.push_back({"catalog.json", Catalog::Text(Catalog::Document(dispatcher))});
    return files;
}

} // namespace Corvane::AutoCli
