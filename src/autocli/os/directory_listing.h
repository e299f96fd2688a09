// Directory listing: the names of a plugin directory, the one place they are read.
#pragma once

#include <dirent.h>

#include <memory>
#include <string>
#include <vector>

namespace Corvane::AutoCli {

struct DirCloser {
    void operator()(DIR* dir) const { ::closedir(dir); }
};
// An open directory stream, closed when it goes.
using DirPtr = std::unique_ptr<DIR, DirCloser>;

// Appends every name of `dir` but "." and ".." to `names`, then sorts them byte-wise: the order
// plugins load in, which must not depend on the file system. False when reading stopped on an error;
// the names read until then are there, sorted, all the same.
bool ListDirectory(DIR* dir, std::vector<std::string>& names);

} // namespace Corvane::AutoCli
