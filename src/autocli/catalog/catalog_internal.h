// The catalog's JSON documents, built and read with the JSON library; shared by its sources.
#pragma once

#include <corvane/catalog.h>
#include <corvane/dispatch.h>

#include <nlohmann/json.hpp>

#include <string>

namespace Corvane::AutoCli {
namespace Catalog {

// Written documents keep the order their members are set in, so the files read as documented.
using Json = nlohmann::ordered_json;

Json InputSchema(Command& command);
Json OutputSchema(Command& command);
Json Document(Dispatcher& dispatcher);

// The JSON text of a written document: two-space indent, UTF-8 as it is (bytes that are not UTF-8
// become U+FFFD), a final newline.
std::string Text(const Json& document);

} // namespace Catalog
} // namespace Corvane::AutoCli
