// varnok: the command-line tool, a thin main over the library's command-line dispatcher.
#include <corvane/dispatch.h>

#include <exception>
#include <iostream>

namespace {

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
        dispatcher.AddInstalledDirectories();
        dispatcher.HandleArgvInput(argc, argv);
    } catch (const std::exception& e) {
        return Fail(e.what());
    }
}
