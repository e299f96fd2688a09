// ListDirectory: the sorted names of an open directory.
#include "autocli/os/directory_listing.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace Corvane::AutoCli {

bool ListDirectory(DIR* dir, std::vector<std::string>& names) {
    errno = 0;
    while (const dirent* entry = ::readdir(dir)) {
        if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0) {
            names.emplace_back(entry->d_name);
        }
    }
    const bool complete = errno == 0;
    std::sort(names.begin(), names.end());
    return complete;
}

} // namespace Corvane::AutoCli
