// Descriptor cache entries: their parts, their listings and the registrations they rebuild.
#include "descriptor_cache_format.h"

#include <cstring>
#include <memory>
#include <string>
#include <utility>

namespace Corvane::AutoCli {
namespace DescriptorCache {

bool SplitEntry(std::string_view blob, EntryParts& parts) {
    Reader in(blob);
    std::uint32_t planned = 0;
    if (!in.Get(planned)) {
        return false;
    }
    parts.planned = planned != kNoPlan;
    parts.tops = parts.planned ? planned : 0;
    const std::size_t places = std::size_t{parts.tops} * sizeof planned;
    if (blob.size() - in.Position() < places) {
        return false;
    }
    parts.places = blob.substr(in.Position(), places);
    Reader rest(blob.substr(in.Position() + places));
    if (!rest.GetString(parts.registrations)) {
        return false;
    }
    parts.listing = blob.substr(in.Position() + places + rest.Position());
    return parts.planned || parts.listing.empty();
}

bool FindListing(std::string_view blob, std::uint32_t top, std::string_view& registrations,
                 std::string_view& listed) {
    EntryParts parts;
    if (!SplitEntry(blob, parts) || top >= parts.tops) {
        return false;
    }
    Reader in(parts.listing);
    for (std::uint32_t t = 0;; ++t) {
        std::uint32_t count = 0;
        if (!in.Get(count) ||
            parts.listing.size() - in.Position() < std::size_t{count} * sizeof(ListedCommand)) {
            return false;
        }
        if (t == top) {
            registrations = parts.registrations;
            listed = parts.listing.substr(in.Position(), std::size_t{count} * sizeof(ListedCommand));
            return true;
        }
        ListedCommand skipped;
        for (std::uint32_t c = 0; c < count; ++c) {
            in.Get(skipped);
        }
    }
}

std::uint32_t PlanPlace(std::string_view places, std::uint32_t i) {
    std::uint32_t place = 0;
    std::memcpy(&place, places.data() + std::size_t{i} * sizeof place, sizeof place);
    return place;
}

bool DecodeRegistrations(const RestoredDescriptor& entry, std::vector<XmlPlugin::Registration>& out) {
    EntryParts parts;
    if (!SplitEntry(entry.registrations, parts)) {
        return false;
    }
    auto text = std::make_shared<KeptText>();
    text->source = entry.source;
    text->offset = entry.textOffset;
    text->size = entry.textSize;
    text->fileName = entry.fileName;
    text->identity = entry.identity;
    std::vector<XmlPlugin::Registration> restored;
    unsigned commands = 0;
    RegistrationCursor cursor(parts.registrations);
    RegistrationView view;
    while (cursor.Next(view)) {
        if (!view.command) {
            std::shared_ptr<Namespace> created = Namespace::New();
            created->SetDescription(std::string(view.description));
            restored.emplace_back(std::string(view.path), std::move(created));
            continue;
        }
        auto command = std::make_shared<CachedExtensionCommand>(text, commands++);
        command->SetDescription(std::string(view.description));
        const bool read = ReadDefaults(
            view.defaults,
            [&](std::string_view formatter) {
                if (!formatter.empty()) {
                    command->SetDefaultOutputFormatter(std::string(formatter));
                }
            },
            [&](std::string_view key, std::string_view value) {
                command->SetDefaultOutputParameter(std::string(key), std::string(value));
            });
        if (!read) {
            return false;
        }
        restored.emplace_back(std::string(view.path), std::move(command));
    }
    if (!cursor.Finished()) {
        return false;
    }
    out = std::move(restored);
    return true;
}

} // namespace DescriptorCache
} // namespace Corvane::AutoCli
