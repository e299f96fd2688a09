// Runs the varnok binary under test as a separate process, through pipes or a pseudo-terminal.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace VarnokTest {

struct Result {
    std::string out;
    std::string err;
    int status = -1; // exit status; 128 + signal number when killed by a signal
};

// The binary under test: $VARNOK_UNDER_TEST when set (an installed copy), else the built one.
std::string Binary();

// Runs the binary with argv[0] "varnok" and `args`, `stdinText` as standard input (a file, so a
// prompt reading it never blocks), and `env` set (an empty value unsets the variable). The child
// runs in `workDir` when given. Fails the current test and kills the child after 60 seconds.
Result RunVarnok(const std::vector<std::string>& args, const std::string& stdinText = "",
                 const std::map<std::string, std::string>& env = {}, const std::string& workDir = "");

// Runs any program the same way (argv[0] is `program`).
Result RunProgram(const std::string& program, const std::vector<std::string>& args,
                  const std::map<std::string, std::string>& env = {}, const std::string& workDir = "");

// A run on a pseudo-terminal: everything written to the terminal (line ends as "\r\n" there are
// given back as "\n"), what the terminal's echo flag was while the prompt waited, and the status.
struct TerminalResult {
    std::string screen;
    bool echoWhilePrompting = true;
    bool prompted = false;
    int status = -1;
};

// Starts the binary on a new pseudo-terminal, waits until `prompt` appears, notes the echo flag,
// types `typed` (followed by a newline) and collects the rest. `columns` sets the window width.
TerminalResult RunOnTerminal(const std::vector<std::string>& args, const std::string& prompt,
                             const std::string& typed, unsigned short columns = 80);

} // namespace VarnokTest
