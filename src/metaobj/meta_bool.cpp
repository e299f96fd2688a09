// MetaBool: the immutable boolean and its two shared instances.
#include <corvane/metaobj.h>

#include "metaobj/value_pool.h"

namespace Corvane::MetaObj {

// The pointers are constant-initialised (empty) before any dynamic initialiser runs, so New() can
// detect a call made from another library's or translation unit's static initialiser ahead of
// _sInitialized and create the instances then; after load the check never fires.
std::shared_ptr<MetaBool> MetaBool::_sFalse;
std::shared_ptr<MetaBool> MetaBool::_sTrue;
bool MetaBool::_sInitialized = MetaBool::Init();

MetaBool::MetaBool(bool value, FactoryFlag) : value(value) {}

bool MetaBool::Init() {
    _sFalse = Detail::MakePooled<MetaBool>(false, FactoryFlag());
    _sTrue = Detail::MakePooled<MetaBool>(true, FactoryFlag());
    return true;
}

const std::shared_ptr<MetaBool>& MetaBool::New() {
    return New(false);
}

const std::shared_ptr<MetaBool>& MetaBool::New(bool value) {
    if (__builtin_expect(!_sTrue, 0)) {
        Init();
    }
    return value ? _sTrue : _sFalse;
}

std::string MetaBool::ToString() const {
    return value ? "true" : "false";
}

} // namespace Corvane::MetaObj
