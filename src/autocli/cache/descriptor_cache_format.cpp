// Descriptor cache files: encoding the index and its entries, decoding the index with every length
// checked, and reading an entry's parts, listings and registrations.
#include "autocli/cache/descriptor_cache_format.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <utility>

namespace Corvane::AutoCli {
namespace DescriptorCache {

namespace {

constexpr char kMagic[8] = {'V', 'N', 'K', 'D', 'C', 0x01, 0x02, 0x03};
constexpr std::size_t kHeadSize = sizeof kMagic + sizeof(std::uint64_t);

template <typename T> void Put(std::string& out, T value) {
    out.append(reinterpret_cast<const char*>(&value), sizeof value);
}

void PutString(std::string& out, std::string_view text) {
    Put(out, static_cast<std::uint32_t>(text.size()));
    out.append(text.data(), text.size());
}

void PutIdentity(std::string& out, const FileIdentity& id) {
    Put(out, id.device);
    Put(out, id.inode);
    Put(out, id.size);
    Put(out, id.mtimeSec);
    Put(out, id.mtimeNsec);
    Put(out, id.ctimeSec);
    Put(out, id.ctimeNsec);
}

// A name readdir can give, "." and ".." apart.
bool IsEntryName(std::string_view name) {
    for (const char c : name) {
        if (c == '/' || c == '\0') {
            return false;
        }
    }
    return !name.empty() && name != "." && name != "..";
}

} // namespace

bool FileIdentity::operator==(const FileIdentity& other) const {
    return device == other.device && inode == other.inode && size == other.size &&
           mtimeSec == other.mtimeSec && mtimeNsec == other.mtimeNsec && ctimeSec == other.ctimeSec &&
           ctimeNsec == other.ctimeNsec;
}

bool EncodeRegistrations(const std::vector<XmlPlugin::Registration>& pending, std::string& result) {
    // Where each command's path and description are among the registrations, for the listing.
    struct Listed {
        std::string_view path;
        ListedCommand where;
    };
    std::vector<Listed> commands;
    std::string out;
    Put(out, static_cast<std::uint32_t>(pending.size()));
    for (const XmlPlugin::Registration& entry : pending) {
        NamespaceNode* node = entry.second.get();
        // Only the two kinds a descriptor declares, exactly: anything else would not come back.
        if (node != nullptr && typeid(*node) == typeid(Namespace)) {
            Put(out, kNamespace);
            PutString(out, entry.first);
            PutString(out, node->GetDescription());
        } else if (node != nullptr && typeid(*node) == typeid(ExtensionCommand)) {
            auto* command = static_cast<ExtensionCommand*>(node);
            const FormatParameters defaults = command->GetDefaultOutputFormatParameters();
            Put(out, kCommand);
            Listed listed{entry.first, {}};
            listed.where.pathOffset = static_cast<std::uint32_t>(out.size() + sizeof(std::uint32_t));
            listed.where.pathSize = static_cast<std::uint32_t>(entry.first.size());
            listed.where.nameStart = static_cast<std::uint32_t>(entry.first.rfind('.') + 1);
            PutString(out, entry.first);
            listed.where.descriptionOffset = static_cast<std::uint32_t>(out.size() + sizeof(std::uint32_t));
            listed.where.descriptionSize = static_cast<std::uint32_t>(command->GetDescription().size());
            PutString(out, command->GetDescription());
            std::string kept;
            PutString(kept, defaults.GetFormatter());
            Put(kept, static_cast<std::uint32_t>(defaults.GetParameters().size()));
            for (const auto& parameter : defaults.GetParameters()) {
                PutString(kept, parameter.first);
                PutString(kept, parameter.second);
            }
            PutString(out, kept);
            commands.push_back(listed);
        } else {
            return false;
        }
    }
    std::vector<std::uint32_t> tops;
    if (!PlanDeferred(out, tops)) {
        Put(result, kNoPlan);
        PutString(result, out);
        return true;
    }
    Put(result, static_cast<std::uint32_t>(tops.size()));
    for (const std::uint32_t top : tops) {
        Put(result, top);
    }
    PutString(result, out);
    // The commands below each top-level namespace in the order a walk of the tree meets them: names
    // hold only letters and digits, which sort after the full stop, so that is the byte-wise order
    // of the paths.
    std::sort(commands.begin(), commands.end(),
              [](const Listed& a, const Listed& b) { return a.path < b.path; });
    RegistrationCursor cursor(out);
    RegistrationView view;
    for (std::uint32_t i = 0, next = 0; next < tops.size() && cursor.Next(view); ++i) {
        if (i != tops[next]) {
            continue;
        }
        ++next;
        std::vector<const Listed*> below;
        for (const Listed& command : commands) {
            if (command.path.size() > view.path.size() && command.path[view.path.size()] == '.' &&
                command.path.compare(0, view.path.size(), view.path) == 0) {
                below.push_back(&command);
            }
        }
        Put(result, static_cast<std::uint32_t>(below.size()));
        for (const Listed* command : below) {
            Put(result, command->where);
        }
    }
    return true;
}

std::string EncodeIndex(const std::string& directory, const DirectoryListing& listing,
                        const std::vector<EntryData>& entries) {
    std::string index(kMagic, sizeof kMagic);
    Put(index, std::uint64_t{0}); // the index end, filled in below
    PutString(index, CacheVersion());
    PutString(index, directory);
    Put(index, listing.known ? static_cast<std::uint32_t>(listing.names.size()) : kNoPlan);
    if (listing.known) {
        PutIdentity(index, listing.identity);
        for (const std::string_view name : listing.names) {
            PutString(index, name);
        }
    }
    Put(index, static_cast<std::uint32_t>(entries.size()));
    std::vector<std::size_t> offsetPositions;
    offsetPositions.reserve(entries.size());
    for (const EntryData& entry : entries) {
        PutString(index, entry.name);
        PutIdentity(index, entry.identity);
        offsetPositions.push_back(index.size());
        Put(index, std::uint64_t{0});
        Put(index, static_cast<std::uint64_t>(entry.text.size()));
        PutString(index, entry.registrations);
    }
    const std::uint64_t indexEnd = index.size();
    std::memcpy(&index[sizeof kMagic], &indexEnd, sizeof indexEnd);
    std::uint64_t offset = indexEnd;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        std::memcpy(&index[offsetPositions[i]], &offset, sizeof offset);
        offset += entries[i].text.size();
    }
    return index;
}

std::uint64_t IndexEnd(std::string_view head) {
    if (head.size() < kHeadSize || std::memcmp(head.data(), kMagic, sizeof kMagic) != 0) {
        return 0;
    }
    std::uint64_t end = 0;
    std::memcpy(&end, head.data() + sizeof kMagic, sizeof end);
    return end >= kHeadSize ? end : 0;
}

namespace {

// The registrations of an entry: every record of a kind it knows, its format defaults complete; the
// plan's places naming one-word namespaces in increasing order; every listed command inside them.
bool IsEntryValid(std::string_view blob) {
    EntryParts parts;
    if (!SplitEntry(blob, parts)) {
        return false;
    }
    Reader plan(parts.places);
    std::uint32_t nextTop = 0;
    std::uint32_t wanted = 0; // the place of planned entry nextTop
    if (parts.tops > 0) {
        plan.Get(wanted);
    }
    RegistrationCursor cursor(parts.registrations);
    RegistrationView view;
    const auto ignore = [](std::string_view...) {};
    for (std::uint32_t r = 0; cursor.Next(view); ++r) {
        if (nextTop < parts.tops && r > wanted) {
            return false; // places out of order
        }
        if (nextTop < parts.tops && r == wanted) {
            if (view.command || view.path.empty() || view.path.find('.') != std::string_view::npos) {
                return false;
            }
            if (++nextTop < parts.tops) {
                plan.Get(wanted);
            }
        }
        if (view.command && !ReadDefaults(view.defaults, ignore, ignore)) {
            return false;
        }
    }
    if (nextTop != parts.tops || !cursor.Finished()) {
        return false;
    }
    Reader listing(parts.listing);
    for (std::uint32_t t = 0; t < parts.tops; ++t) {
        std::uint32_t count = 0;
        if (!listing.Get(count)) {
            return false;
        }
        for (std::uint32_t c = 0; c < count; ++c) {
            ListedCommand where;
            if (!listing.Get(where) || !IsListedInside(where, parts.registrations.size())) {
                return false;
            }
        }
    }
    return listing.AtEnd();
}

} // namespace

bool DecodeIndex(std::string_view index, std::uint64_t fileSize, const std::string& directory,
                 DirectoryListing& listing, std::vector<EntryData>& entries) {
    if (IndexEnd(index) != index.size()) {
        return false;
    }
    Reader in(index.substr(kHeadSize));
    std::string_view version;
    std::string_view owner;
    std::uint32_t count = 0;
    std::uint32_t names = 0;
    if (!in.GetString(version) || version != CacheVersion() || !in.GetString(owner) || owner != directory ||
        !in.Get(names)) {
        return false;
    }
    DirectoryListing found;
    found.known = names != kNoPlan;
    if (found.known) {
        if (!in.GetIdentity(found.identity) || names > index.size()) {
            return false;
        }
        found.names.reserve(names);
        for (std::uint32_t i = 0; i < names; ++i) {
            std::string_view name;
            if (!in.GetString(name) || !IsEntryName(name) ||
                (!found.names.empty() && found.names.back() >= name)) {
                return false;
            }
            found.names.push_back(name);
        }
    }
    if (!in.Get(count)) {
        return false;
    }
    if (count > index.size()) {
        return false; // more entries than bytes
    }
    std::vector<EntryData> decoded;
    decoded.reserve(count);
    for (std::uint32_t i = 0; i < count; ++i) {
        EntryData entry;
        if (!in.GetString(entry.name) || !in.GetIdentity(entry.identity) || !in.Get(entry.textOffset) ||
            !in.Get(entry.textSize)) {
            return false;
        }
        if (!in.GetString(entry.registrations) || !IsEntryValid(entry.registrations)) {
            return false;
        }
        if (entry.textOffset < index.size() || entry.textOffset > fileSize ||
            entry.textSize > fileSize - entry.textOffset ||
            (!decoded.empty() && decoded.back().name >= entry.name)) {
            return false;
        }
        decoded.push_back(entry);
    }
    if (!in.AtEnd()) {
        return false;
    }
    listing = std::move(found);
    entries = std::move(decoded);
    return true;
}

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
