// Plugin files: which names are plugins, and reading whole regular files (the operating-system side
// of loading a descriptor).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace Corvane::AutoCli {

// True when `path` ends with `suffix` and has at least one byte (any byte) before it: the rule that
// makes a file a plugin (".so" or ".xml"); x.so.1 or a bare ".so" is none.
bool HasSuffixAfterSomething(const std::string& path, std::string_view suffix);

enum class FileReadResult { Ok, Unreadable, TooLarge };

// Reads the whole of `fileName` into `text`. Only regular files are read: a FIFO or device named like
// a data file would block or never end, and the open itself does not wait on a FIFO. A file larger
// than `maxBytes`, also one that grows past it while being read, gives TooLarge. `text` holds nothing
// useful unless the result is Ok.
FileReadResult ReadRegularFile(const std::string& fileName, std::size_t maxBytes, std::string& text);

} // namespace Corvane::AutoCli
