// Descriptor cache files: encoding entries and decoding them with every length checked.
#include "descriptor_cache_format.h"

#include <cstring>
#include <utility>

namespace Corvane::AutoCli {
namespace DescriptorCache {

namespace {

constexpr char kMagic[8] = {'V', 'N', 'K', 'D', 'C', 0x01, 0x02, 0x03};
constexpr std::size_t kHeadSize = sizeof kMagic + sizeof(std::uint64_t);
constexpr std::uint8_t kNamespace = 0;
constexpr std::uint8_t kCommand = 1;

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

// Reads from a byte range; after the first read past its end every read fails.
class Reader {
public:
    explicit Reader(std::string_view data) : data(data) {}

    template <typename T> bool Get(T& value) {
        if (!ok || data.size() - pos < sizeof value) {
            return ok = false;
        }
        std::memcpy(&value, data.data() + pos, sizeof value);
        pos += sizeof value;
        return true;
    }

    bool GetString(std::string_view& text) {
        std::uint32_t size = 0;
        if (!Get(size) || data.size() - pos < size) {
            return ok = false;
        }
        text = data.substr(pos, size);
        pos += size;
        return true;
    }

    bool GetIdentity(FileIdentity& id) {
        return Get(id.device) && Get(id.inode) && Get(id.size) && Get(id.mtimeSec) && Get(id.mtimeNsec) &&
               Get(id.ctimeSec) && Get(id.ctimeNsec);
    }

    std::size_t Position() const { return pos; }
    bool AtEnd() const { return ok && pos == data.size(); }

private:
    std::string_view data;
    std::size_t pos = 0;
    bool ok = true;
};

} // namespace

bool FileIdentity::operator==(const FileIdentity& other) const {
    return device == other.device && inode == other.inode && size == other.size &&
           mtimeSec == other.mtimeSec && mtimeNsec == other.mtimeNsec && ctimeSec == other.ctimeSec &&
           ctimeNsec == other.ctimeNsec;
}

bool EncodeRegistrations(const std::vector<XmlPlugin::Registration>& pending, std::string& out) {
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
            PutString(out, entry.first);
            PutString(out, command->GetDescription());
            PutString(out, defaults.GetFormatter());
            Put(out, static_cast<std::uint32_t>(defaults.GetParameters().size()));
            for (const auto& parameter : defaults.GetParameters()) {
                PutString(out, parameter.first);
                PutString(out, parameter.second);
            }
        } else {
            return false;
        }
    }
    return true;
}

bool DecodeRegistrations(std::string_view data, const std::shared_ptr<const TextSource>& source,
                         const EntryData& entry, const std::string& fileName,
                         std::vector<XmlPlugin::Registration>& out) {
    Reader in(data);
    std::uint32_t count = 0;
    if (!in.Get(count)) {
        return false;
    }
    auto text = std::make_shared<KeptText>();
    text->source = source;
    text->offset = entry.textOffset;
    text->size = entry.textSize;
    text->fileName = fileName;
    std::vector<XmlPlugin::Registration> restored;
    restored.reserve(count);
    unsigned commands = 0;
    for (std::uint32_t i = 0; i < count; ++i) {
        std::uint8_t kind = 0;
        std::string_view path;
        std::string_view description;
        if (!in.Get(kind) || !in.GetString(path) || !in.GetString(description)) {
            return false;
        }
        if (kind == kNamespace) {
            std::shared_ptr<Namespace> created = Namespace::New();
            created->SetDescription(std::string(description));
            restored.emplace_back(std::string(path), std::move(created));
            continue;
        }
        std::string_view formatter;
        std::uint32_t parameters = 0;
        if (kind != kCommand || !in.GetString(formatter) || !in.Get(parameters)) {
            return false;
        }
        auto command = std::make_shared<CachedExtensionCommand>(text, commands++);
        command->SetDescription(std::string(description));
        if (!formatter.empty()) {
            command->SetDefaultOutputFormatter(std::string(formatter));
        }
        for (std::uint32_t p = 0; p < parameters; ++p) {
            std::string_view key;
            std::string_view value;
            if (!in.GetString(key) || !in.GetString(value)) {
                return false;
            }
            command->SetDefaultOutputParameter(std::string(key), std::string(value));
        }
        restored.emplace_back(std::string(path), std::move(command));
    }
    if (!in.AtEnd()) {
        return false;
    }
    out = std::move(restored);
    return true;
}

std::string EncodeIndex(const std::string& directory, const std::vector<EntryData>& entries) {
    std::string index(kMagic, sizeof kMagic);
    Put(index, std::uint64_t{0}); // the index end, filled in below
    PutString(index, CacheVersion());
    PutString(index, directory);
    Put(index, static_cast<std::uint32_t>(entries.size()));
    std::vector<std::size_t> offsetPositions;
    offsetPositions.reserve(entries.size());
    for (const EntryData& entry : entries) {
        PutString(index, entry.name);
        PutIdentity(index, entry.identity);
        offsetPositions.push_back(index.size());
        Put(index, std::uint64_t{0});
        Put(index, static_cast<std::uint64_t>(entry.text.size()));
        index.append(entry.registrations.data(), entry.registrations.size());
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

bool DecodeIndex(std::string_view index, std::uint64_t fileSize, const std::string& directory,
                 std::vector<EntryData>& entries) {
    if (IndexEnd(index) != index.size()) {
        return false;
    }
    Reader in(index.substr(kHeadSize));
    std::string_view version;
    std::string_view owner;
    std::uint32_t count = 0;
    if (!in.GetString(version) || version != CacheVersion() || !in.GetString(owner) || owner != directory ||
        !in.Get(count)) {
        return false;
    }
    std::vector<EntryData> decoded;
    decoded.reserve(count);
    for (std::uint32_t i = 0; i < count; ++i) {
        EntryData entry;
        if (!in.GetString(entry.name) || !in.GetIdentity(entry.identity) || !in.Get(entry.textOffset) ||
            !in.Get(entry.textSize)) {
            return false;
        }
        // The registrations run up to the next entry: their own count says how far.
        const std::size_t start = in.Position();
        std::uint32_t registrations = 0;
        if (!in.Get(registrations)) {
            return false;
        }
        for (std::uint32_t r = 0; r < registrations; ++r) {
            std::uint8_t kind = 0;
            std::string_view skipped;
            if (!in.Get(kind) || !in.GetString(skipped) || !in.GetString(skipped)) {
                return false;
            }
            std::uint32_t parameters = 0;
            if (kind == kCommand && (!in.GetString(skipped) || !in.Get(parameters))) {
                return false;
            }
            for (std::uint32_t p = 0; p < parameters; ++p) {
                if (!in.GetString(skipped) || !in.GetString(skipped)) {
                    return false;
                }
            }
        }
        entry.registrations = index.substr(kHeadSize + start, in.Position() - start);
        if (entry.textOffset < index.size() || entry.textOffset > fileSize ||
            entry.textSize > fileSize - entry.textOffset) {
            return false;
        }
        decoded.push_back(entry);
    }
    if (!in.AtEnd()) {
        return false;
    }
    entries = std::move(decoded);
    return true;
}

} // namespace DescriptorCache
} // namespace Corvane::AutoCli
