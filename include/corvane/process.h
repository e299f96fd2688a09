// Process runner: shell commands with captured input and output, and the embedding program's hooks.
#pragma once

#include <corvane/exception.h>
#include <corvane/export.h>

#include <cstddef>
#include <functional>
#include <string>

namespace Corvane::AutoCli {

/// Told about every command the runner has run and waited for: the command text as run and the raw
/// wait status.
using CommandExecListener = void (*)(const std::string& command, int status);

/// Makes an extra option for the child shell; an empty result adds none.
using ChildRpZelOptionMaker = std::string (*)(int);

/// Runs `command` with /bin/sh -c, feeding `stdinText` to its standard input and appending its
/// standard output to `output` (not cleared first); its standard error is the caller's. Returns the
/// raw wait status (decode with WIFEXITED/WEXITSTATUS/WIFSIGNALED...); a non-zero exit or a death by
/// signal is not an error. Throws CorvaneException when the pipes cannot be made, the process cannot
/// be started, or reading, writing or waiting fails. Input and output are interleaved, so a child may
/// write any amount before it reads; a child that stops reading its input early is not an error.
CORVANE_API int AutoCli_ShellCmd(const std::string& command, std::string& output,
                                 const std::string& stdinText);

/// AutoCli_ShellCmd with ZU_USERNAME set to `userName` for the command (prefixed to the command
/// text, single-quoted); an empty `userName` runs the command unchanged.
CORVANE_API int AutoCli_ShellCmdWithZuUsername(const std::string& command, const std::string& userName,
                                               std::string& output, const std::string& stdinText);

/// Takes the next piece of a program's standard output as it arrives; false when the rest is not
/// wanted.
using OutputConsumer = std::function<bool(const char* data, std::size_t size)>;

/// AutoCli_ShellCmd with the output handed to `consume` piece by piece instead of collected. When
/// `consume` returns false, the program's whole process group is killed with SIGKILL at once and the
/// program reaped; the status returned is what the wait gives (its death by SIGKILL, unless it had
/// ended already).
CORVANE_API int AutoCli_ShellCmdStream(const std::string& command, const OutputConsumer& consume,
                                       const std::string& stdinText);

/// AutoCli_ShellCmdStream with ZU_USERNAME set to `userName`, as AutoCli_ShellCmdWithZuUsername does.
CORVANE_API int AutoCli_ShellCmdStreamWithZuUsername(const std::string& command, const std::string& userName,
                                                     const OutputConsumer& consume,
                                                     const std::string& stdinText);

/// Installs the process-wide listener, or removes it with null.
CORVANE_API void SetCommandExecListener(CommandExecListener listener);

/// Installs the process-wide child-option maker, or removes it with null.
CORVANE_API void SetChildRpZelOptionMaker(ChildRpZelOptionMaker maker);

/// maker(n) when a maker is installed, otherwise the empty string. The runner calls it with -1.
CORVANE_API std::string MakeChildRpZelOption(int n);

} // namespace Corvane::AutoCli

/// Writes "panic: " and the printf-formatted text (cut to 255 bytes, no line feed added) to standard
/// error and aborts the process. Exported for the host's platform libraries.
extern "C" [[noreturn]] CORVANE_API void Panic(const char* format, ...) __attribute__((format(printf, 1, 2)));
