// CallTarget and CallTargetSpec: out-of-line destructors, so that the interfaces' type information lives in
// the library.
#include <corvane/callspec.h>

namespace Corvane::CallSpec {

CallTargetSpec::~CallTargetSpec() = default;
CallTarget::~CallTarget() = default;

} // namespace Corvane::CallSpec
