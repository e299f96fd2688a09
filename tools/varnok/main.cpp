// varnok: the command-line tool, a thin main over the library's command-line dispatcher.
#include <corvane/dispatch.h>

#include <sys/stat.h>

#include <cerrno>
#include <exception>
#include <iostream>

namespace {

// The installation's plugin directories, in the dispatcher's order. A host without plugins has
// neither; that is normal and must not print anything, so only directories that are there are
// loaded (one that is there but unreadable still gets the dispatcher's message).
void AddInstalledDirectories(Corvane::AutoCli::Dispatcher& dispatcher) {
    for (const std::string& directory : Corvane::AutoCli::Dispatcher::GetDefaultDirectories()) {
        struct stat info {};
        if (stat(directory.c_str(), &info) != 0 && (errno == ENOENT || errno == ENOTDIR)) {
            continue;
        }
        dispatcher.AddExternalDirectory(directory);
    }
}

int Fail(const char* message) {
    std::cout.flush();
    std::cerr << "varnok: " << message << std::endl;
    return 1;
}

} // namespace

int main(int argc, char** argv) {
    // Nothing here writes through C's stdio, so the streams keep their own buffers: a large document
    // is written in blocks instead of one stdio call per piece. Standard error stays tied to standard
    // output, which is flushed before anything is written there.
    std::ios::sync_with_stdio(false);
    try {
        Corvane::AutoCli::CliDispatcher dispatcher;
        AddInstalledDirectories(dispatcher);
        dispatcher.HandleArgvInput(argc, argv);
    } catch (const std::exception& e) {
        return Fail(e.what());
    }
}
