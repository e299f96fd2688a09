// Reading whole regular files: the operating-system side of loading a descriptor.
#pragma once

#include <cstddef>
#include <string>

namespace Corvane::AutoCli {

enum class FileReadResult { Ok, Unreadable, TooLarge };

// Reads the whole of `fileName` into `text`. Only regular files are read: a FIFO or device named like
// a data file would block or never end, and the open itself does not wait on a FIFO. A file larger
// than `maxBytes`, also one that grows past it while being read, gives TooLarge. `text` holds nothing
// useful unless the result is Ok.
FileReadResult ReadRegularFile(const std::string& fileName, std::size_t maxBytes, std::string& text);

} // namespace Corvane::AutoCli
