// Plugin: the out-of-line destructor that anchors the interface's virtual table in the library.
#include <corvane/plugins.h>

namespace Corvane::AutoCli {

Plugin::~Plugin() = default;

} // namespace Corvane::AutoCli
