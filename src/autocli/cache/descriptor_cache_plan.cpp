// Descriptor cache plans: whether an entry can be registered as top-level namespaces first.
#include "autocli/cache/descriptor_cache_format.h"

#include <algorithm>
#include <string>
#include <unordered_map>
#include <utility>

namespace Corvane::AutoCli {
namespace DescriptorCache {

namespace {

// A path whose words are all valid names, so that registering it uses exactly these words.
bool IsPlainPath(std::string_view path) {
    std::string word;
    std::size_t start = 0;
    while (true) {
        const std::size_t stop = std::min(path.find('.', start), path.size());
        word.assign(path.data() + start, stop - start);
        if (!AutoCli_IsValidName(word)) {
            return false;
        }
        if (stop == path.size()) {
            return true;
        }
        start = stop + 1;
    }
}

// The paths a dry run of a registration has registered so far, with what each is.
class DryRun {
public:
    struct Node {
        bool command;
        std::string_view description;
    };

    const Node* Find(std::string_view path) const {
        auto found = byPath.find(path);
        return found != byPath.end() ? &found->second : nullptr;
    }
    void Add(std::string_view path, Node node) { byPath.emplace(path, node); }

private:
    std::unordered_map<std::string_view, Node> byPath;
};

} // namespace

bool PlanDeferred(std::string_view registrations, std::vector<std::uint32_t>& tops) {
    // Follows XmlPlugin::RegisterNamespaces into an empty root and gives up wherever that would
    // throw; the top-level namespaces are those it registers there.
    DryRun run;
    std::vector<std::uint32_t> found;
    RegistrationCursor cursor(registrations);
    RegistrationView view;
    for (std::uint32_t i = 0; cursor.Next(view); ++i) {
        if (!IsPlainPath(view.path)) {
            return false;
        }
        const std::size_t dot = view.path.rfind('.');
        const DryRun::Node* existing = run.Find(view.path);
        if (dot == std::string_view::npos) {
            if (view.command) {
                return false;
            }
            if (existing != nullptr) {
                // Shared with an earlier entry, or a duplicate the real registration refuses.
                if (existing->command || existing->description != view.description) {
                    return false;
                }
                continue;
            }
            found.push_back(i);
        } else {
            const DryRun::Node* parent = run.Find(view.path.substr(0, dot));
            if (parent == nullptr || parent->command || existing != nullptr) {
                return false;
            }
        }
        run.Add(view.path, DryRun::Node{view.command, view.description});
    }
    if (!cursor.Finished()) {
        return false;
    }
    tops = std::move(found);
    return true;
}

} // namespace DescriptorCache
} // namespace Corvane::AutoCli
