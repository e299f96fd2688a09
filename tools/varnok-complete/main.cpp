// varnok-complete: the candidates for the word being completed on a varnok command line, for the
// shell completion scripts. Arguments: the words after the tool name up to the one being completed.
#include <corvane/completion.h>
#include <corvane/dispatch.h>

#include <fcntl.h>
#include <unistd.h>

#include <exception>
#include <iostream>
#include <string>
#include <vector>

namespace {

// Whatever loading plugins reports would land in the middle of the user's command line: a shell
// shows a completion function's standard error on the terminal.
void SilenceStandardError() {
    const int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (null >= 0) {
        ::dup2(null, STDERR_FILENO);
        ::close(null);
    }
}

} // namespace

int main(int argc, char** argv) {
    SilenceStandardError();
    const std::vector<std::string> words(argv + (argc > 0 ? 1 : 0), argv + argc);
    try {
        // The same plugins as varnok itself: the installation's directories, then those on the line.
        Corvane::AutoCli::CliDispatcher dispatcher;
        dispatcher.AddInstalledDirectories();
        Corvane::AutoCli::AutoCli_WriteCompletion(Corvane::AutoCli::AutoCli_Complete(dispatcher, words),
                                                  std::cout);
    } catch (const std::exception&) {
        return 1;
    }
    return std::cout ? 0 : 1;
}
