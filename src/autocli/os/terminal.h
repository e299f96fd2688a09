// Terminal access of the command line: where prompts go, secret values, and the window size of standard
// output.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>

namespace Corvane::AutoCli {

// The stream a prompt is written to: standard output when it is a terminal, standard error otherwise,
// so that a result piped into another program never carries prompt text.
std::ostream& PromptStream();

// Reads one line from `fd`, byte by byte so that nothing after its newline is consumed, with the
// terminal's echo off while it reads when `fd` is a terminal. The newline is dropped; a last line
// without one counts. False when the input ended before its first byte (`error` 0) or a read failed
// (`error` the errno value). A SIGINT, SIGTERM or SIGHUP that arrives meanwhile turns echo back on
// before the process ends by it.
bool ReadSilentLine(int fd, std::string& line, int& error);

// Asks for the value of the secret parameter `name`: the prompt "Enter value for 'NAME': ", the
// line read without echo, then a newline. With `fromTerminal` all three use the controlling terminal
// (/dev/tty), because standard input holds command lines; otherwise the prompt goes to PromptStream()
// and the line comes from standard input. False, with the message for the call in `failure`, when
// no value could be read: end of input before any byte, a read error, or no terminal.
bool AskForSecret(const std::string& name, bool fromTerminal, std::string& value, std::string& failure);

// The column and row count of the terminal on standard output. False, leaving both as they are, when
// standard output is no terminal.
bool GetTerminalSize(uint16_t& columns, uint16_t& rows);

} // namespace Corvane::AutoCli
