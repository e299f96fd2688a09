// Dispatcher: loading plugins from files and from plugin directories.
#include <corvane/dispatch.h>

#include <corvane/plugins.h>

#include "autocli/cache/descriptor_cache.h"
#include "autocli/os/directory_listing.h"
#include "autocli/os/file_access.h"
#include "corvane_build_info.h"

#include <sys/stat.h>

#include <cerrno>
#include <iostream>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace Corvane::AutoCli {

void Dispatcher::AddPlugin(const std::string& path) {
    // Only the end of the whole path decides the kind: x.so.1 or a bare ".so" is no plugin.
    std::shared_ptr<Plugin> plugin;
    if (HasSuffixAfterSomething(path, ".so")) {
        plugin = SharedLibraryPlugin::New(path);
    } else if (HasSuffixAfterSomething(path, ".xml")) {
        plugin = XmlPlugin::New(path);
    } else {
        return;
    }
    plugin->Initialize();
    RegisterPlugin(plugin);
}

void Dispatcher::AddExternalDirectoryInt(const std::string& directory, bool reportOpenFailure) {
    // Kept open while its files load: the cache looks them up in it by name.
    DirPtr dir(::opendir(directory.c_str()));
    if (!dir) {
        if (reportOpenFailure) {
            std::cerr << "Unable to open directory " << CallSpec::EchoText(directory)
                      << " for plugin registration" << std::endl;
        }
        return;
    }
    // Entries are not checked for being regular files: anything whose name lacks both suffixes is
    // ignored by AddPlugin, and a directory named like a descriptor fails to load with a message.
    // The first file to register a name wins, so the order must not depend on the file system: the
    // names come in byte-wise order, which is that of the paths they end.
    DescriptorCache::DirectoryScan scan(directory, dir.get());
    std::string path;
    for (const std::string_view name : scan.Names()) {
        path.assign(directory).append(1, '/').append(name);
        try {
            AddPlugin(path);
        } catch (const CorvaneException& e) {
            std::cerr << "Error loading plugin " << CallSpec::EchoText(path)
                      << " skipping.  Error was: " << e.what() << std::endl;
        }
    }
}

void Dispatcher::AddExternalDirectory(const std::string& directory) {
    AddExternalDirectoryInt(directory + "/lib64", false);
    AddExternalDirectoryInt(directory, true);
}

const std::vector<std::string>& Dispatcher::GetDefaultDirectories() {
    static const std::vector<std::string> directories = {CORVANE_PLUGIN_DIRECTORIES};
    return directories;
}

void Dispatcher::AddDefaultDirectories() {
    for (const std::string& directory : GetDefaultDirectories()) {
        AddExternalDirectory(directory);
    }
}

void Dispatcher::AddInstalledDirectories() {
    for (const std::string& directory : GetDefaultDirectories()) {
        struct stat info {};
        if (::stat(directory.c_str(), &info) != 0 && (errno == ENOENT || errno == ENOTDIR)) {
            continue;
        }
        AddExternalDirectory(directory);
    }
}

} // namespace Corvane::AutoCli
