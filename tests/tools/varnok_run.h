// Runs the varnok binary under test as a separate process, on files or on a pseudo-terminal.
#pragma once

#include <string>
#include <vector>

namespace VarnokTest {

struct Result {
    std::string out;
    std::string err;
    int status = -1;          // exit status; 128 + signal number when killed by a signal
    bool echoOff = false;     // on a terminal: echo was off when the line was typed
    bool echoOnAfter = false; // on a terminal: echo was on again once the program ended
};

// The binary under test: $VARNOK_UNDER_TEST when set (an installed copy), else the one built here.
std::string VarnokBinary();

// Runs `program` with `args` and an empty file as standard input.
Result RunProgram(const std::string& program, const std::vector<std::string>& args);

// Runs the binary under test as "varnok" with a file
// holding `input` as standard input, so that a prompt meets its end instead of blocking.
Result RunVarnok(const std::vector<std::string>& args, const std::string& input = "");

// The same with standard input, output and error on a new pseudo-terminal: types `typed` and a newline
// once echo is off (or after ten seconds). `out` is the screen, "\r\n" given back as "\n".
Result RunVarnokOnTerminal(const std::vector<std::string>& args, const std::string& typed);

} // namespace VarnokTest
