// Terminal access of the command line: where prompts go, and the window size of standard output.
#pragma once

#include <cstdint>
#include <ostream>

namespace Corvane::AutoCli {

// The stream a prompt is written to: standard output when it is a terminal, standard error otherwise,
// so that a result piped into another program never carries prompt text.
std::ostream& PromptStream();

// The column and row count of the terminal on standard output. False, leaving both as they are, when
// standard output is no terminal.
bool GetTerminalSize(uint16_t& columns, uint16_t& rows);

} // namespace Corvane::AutoCli
