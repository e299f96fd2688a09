// MetaInt: the immutable signed 64-bit integer and the shared instances for -1..20.
#include <corvane/metaobj.h>

#include "metaobj/value_pool.h"

namespace Corvane::MetaObj {

// Constant-initialised (empty) before any dynamic initialiser; see MetaBool for why New() checks.
std::shared_ptr<MetaInt> MetaInt::_sShared[MetaInt::kSharedCount];
bool MetaInt::_sInitialized = MetaInt::Init();

MetaInt::MetaInt(long value, FactoryFlag) : value(value) {}

bool MetaInt::Init() {
    for (std::size_t index = 0; index < kSharedCount; ++index) {
        _sShared[index] = Detail::MakePooled<MetaInt>(static_cast<long>(index) + kSharedMin, FactoryFlag());
    }
    return true;
}

const std::shared_ptr<MetaInt>& MetaInt::New() {
    if (__builtin_expect(!_sShared[0], 0)) {
        Init();
    }
    return _sShared[-kSharedMin];
}

std::shared_ptr<MetaInt> MetaInt::New(long value) {
    // One unsigned comparison covers both ends: values below -1 wrap around to huge indices.
    const unsigned long index = static_cast<unsigned long>(value) - static_cast<unsigned long>(kSharedMin);
    if (index < kSharedCount) {
        if (__builtin_expect(!_sShared[0], 0)) {
            Init();
        }
        return _sShared[index];
    }
    return Detail::MakePooled<MetaInt>(value, FactoryFlag());
}

std::string MetaInt::ToString() const {
    return std::to_string(value);
}

} // namespace Corvane::MetaObj
