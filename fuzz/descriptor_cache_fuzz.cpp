// Fuzz target of the descriptor cache reader: the input is the entry of one descriptor in a cache
// file that is otherwise what varnok wrote for it, so that the identity of the descriptor matches
// and everything an entry holds is read. The directory is then loaded, listed and walked, which
// makes every deferred namespace build its subtree. An entry the reader accepts may still declare
// what a descriptor could not (the cache trusts what it wrote); loading may then refuse it with a
// message, but nothing else may go wrong.
#include "autocli/test_hooks.h"
#include "fuzz_support.h"

#include <corvane/dispatch.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <list>
#include <new>
#include <sstream>
#include <string>
#include <thread>

namespace {

using Corvane::Fuzz::Fail;

// Two top-level namespaces, one nested namespace and commands out of name order, each with format
// defaults: every part of an entry is there.
const char* const kDescriptor = R"(<plugin><version>1.0.0</version><namespaces>
<namespace path="zeta"><description>Zeta.</description></namespace>
<namespace path="alpha"><description>Alpha.</description></namespace>
<namespace path="alpha.inner"><description>Inner.</description></namespace></namespaces><commands>
<command path="zeta.run"><description>Runs.</description><input-spec/><output-spec><string/></output-spec>
<format-parameters><formatter>simple</formatter></format-parameters><execute>echo</execute></command>
<command path="alpha.inner.get"><description>Gets.</description><input-spec/><output-spec><string/></output-spec>
<format-parameters><formatter>table</formatter><format-parameter name="k">v</format-parameter>
</format-parameters><execute>echo</execute></command>
<command path="alpha.list"><description>Lists.</description><input-spec/><output-spec><string/></output-spec>
<format-parameters/><execute>echo</execute></command></commands></plugin>)";

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

template <typename T> T At(const std::string& bytes, std::size_t at) {
    T value{};
    if (at + sizeof value > bytes.size()) {
        Fail("the cache file varnok wrote is shorter than its layout", std::to_string(at));
    }
    std::memcpy(&value, bytes.data() + at, sizeof value);
    return value;
}

// The cache file varnok wrote for the descriptor, and where the parts the input replaces are.
struct Genuine {
    std::string base;      // the target's own directory, removed at exit
    std::string directory; // the plugin directory
    std::string cacheFile; // its cache file
    std::string head;      // the index up to the entry's registrations string
    std::string tail;      // the index after that string: nothing, with one entry
    std::string texts;     // what follows the index
    std::size_t textOffsetAt = 0;
    std::string entry; // the registrations string varnok wrote
};

void Load(const std::string& directory) {
    Corvane::AutoCli::Dispatcher dispatcher;
    dispatcher.AddExternalDirectory(directory);
}

Genuine& Setup() {
    static Genuine genuine = [] {
        Genuine made;
        char pattern[] = "/tmp/corvane-cache-fuzz-XXXXXX";
        if (mkdtemp(pattern) == nullptr) {
            Fail("cannot make a directory", std::strerror(errno));
        }
        const std::string base = pattern;
        made.base = base;
        made.directory = base + "/plugins";
        ::mkdir(made.directory.c_str(), 0700);
        std::ofstream(made.directory + "/d.xml") << kDescriptor;
        setenv("XDG_CACHE_HOME", (base + "/cache").c_str(), 1);
        unsetenv("VARNOK_NO_CACHE");
        // A file changed in the tick it is read is not kept; let the clock pass its times.
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        Load(made.directory);
        Corvane::AutoCli::DescriptorCache::WriteChanges();
        DIR* dir = opendir((base + "/cache/varnok").c_str());
        while (const dirent* entry = dir != nullptr ? readdir(dir) : nullptr) {
            if (entry->d_name[0] != '.') {
                made.cacheFile = base + "/cache/varnok/" + entry->d_name;
            }
        }
        if (dir != nullptr) {
            closedir(dir);
        }
        const std::string file = ReadAll(made.cacheFile);
        // magic, index end, version, directory, listing, entry count, then the one entry.
        const auto indexEnd = static_cast<std::size_t>(At<std::uint64_t>(file, 8));
        std::size_t at = 16;
        at += 4 + At<std::uint32_t>(file, at); // version
        at += 4 + At<std::uint32_t>(file, at); // directory
        const std::uint32_t names = At<std::uint32_t>(file, at);
        at += 4;
        if (names != 0xffffffff) {
            at += std::size_t{7} * 8;
            for (std::uint32_t i = 0; i < names; ++i) {
                at += 4 + At<std::uint32_t>(file, at);
            }
        }
        if (At<std::uint32_t>(file, at) != 1) {
            Fail("varnok did not keep the descriptor", made.cacheFile);
        }
        at += 4;
        at += 4 + At<std::uint32_t>(file, at); // name
        at += std::size_t{7} * 8;              // identity
        made.textOffsetAt = at;
        at += 16; // text offset and size
        const std::uint32_t entrySize = At<std::uint32_t>(file, at);
        made.head = file.substr(0, at);
        made.entry = file.substr(at + 4, entrySize);
        made.tail = file.substr(at + 4 + entrySize, indexEnd - (at + 4 + entrySize));
        made.texts = file.substr(indexEnd);
        if (const char* seed = getenv("CORVANE_FUZZ_CACHE_SEED")) {
            std::ofstream(seed, std::ios::binary) << made.entry;
        }
        return made;
    }();
    // Registered once the files are made, so it runs while they are still known.
    static const bool removedAtExit = (std::atexit([] {
                                           std::error_code ignored;
                                           std::filesystem::remove_all(Setup().base, ignored);
                                       }),
                                       true);
    (void)removedAtExit;
    return genuine;
}

void Walk(const std::shared_ptr<Corvane::AutoCli::NamespaceNode>& node) {
    for (const auto& child : node->GetNamespaceNodes()) {
        child->GetDescription();
        Walk(child);
    }
}

void List(Corvane::AutoCli::Dispatcher& dispatcher, const std::string& filter, const std::string& value) {
    std::list<std::string> path = {"varnok", "command", "list"};
    auto listing = std::dynamic_pointer_cast<Corvane::AutoCli::Command>(
        dispatcher.GetRootNamespace()->ResolveNode(path));
    auto input = Corvane::AutoCli::CommandInput::New();
    if (!filter.empty()) {
        input->AddParameter(filter, value);
    }
    input->SetInputSpec(listing->GetInputSpec());
    auto output = Corvane::AutoCli::CommandOutput::New();
    listing->Execute(input, output);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Genuine& genuine = Setup();
    const std::string entry(reinterpret_cast<const char*>(data), size);
    std::string index = genuine.head;
    const auto entrySize = static_cast<std::uint32_t>(entry.size());
    index.append(reinterpret_cast<const char*>(&entrySize), sizeof entrySize);
    index += entry;
    index += genuine.tail;
    const std::uint64_t indexEnd = index.size();
    std::memcpy(&index[8], &indexEnd, sizeof indexEnd);
    std::memcpy(&index[genuine.textOffsetAt], &indexEnd, sizeof indexEnd);
    {
        std::ofstream out(genuine.cacheFile, std::ios::binary | std::ios::trunc);
        out << index << genuine.texts;
    }
    // Refusals are printed; they are not what this target looks at.
    std::stringstream discarded;
    std::streambuf* const errors = std::cerr.rdbuf(discarded.rdbuf());
    try {
        Corvane::AutoCli::Dispatcher dispatcher;
        dispatcher.AddExternalDirectory(genuine.directory);
        List(dispatcher, "", "");
        List(dispatcher, "namespace-filter", "alpha");
        Walk(dispatcher.GetRootNamespace());
    } catch (const Corvane::CorvaneException&) {
        // A refusal of what the entry declares.
    } catch (const std::bad_alloc&) {
        // A count in the entry larger than memory.
    } catch (const std::exception& e) {
        std::cerr.rdbuf(errors);
        Fail(std::string("reading the cache let another exception out: ") + e.what(), entry);
    }
    std::cerr.rdbuf(errors);
    Corvane::AutoCli::DescriptorCache::WriteChanges();
    return 0;
}
