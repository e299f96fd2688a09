// The library's seams for its tests and fuzz targets: internal calls exported only for them.
#pragma once

#include <corvane/export.h>

namespace Corvane::AutoCli::DescriptorCache {

/// Writes the cache files that changed in this process now instead of when it ends, and forgets
/// what was read, so that later look-ups read the files again, as a new process would.
CORVANE_API void WriteChanges();

} // namespace Corvane::AutoCli::DescriptorCache
