// MetaString: the immutable byte string, its shared empty instance and UTF-8 escaping of input.
#include <corvane/metaobj.h>

#include "metaobj/value_pool.h"

#include <tarvik.h>

#include <cstdlib>
#include <new>
#include <utility>

namespace Corvane::MetaObj {

// Constant-initialised (empty) before any dynamic initialiser; see MetaBool for why New() checks.
std::shared_ptr<MetaString> MetaString::_sEmpty;
bool MetaString::_sInitialized = MetaString::Init();

MetaString::MetaString(std::string value, FactoryFlag) : value(std::move(value)) {}

bool MetaString::Init() {
    _sEmpty = Detail::MakePooled<MetaString>(std::string(), FactoryFlag());
    return true;
}

const std::shared_ptr<MetaString>& MetaString::New() {
    if (__builtin_expect(!_sEmpty, 0)) {
        Init();
    }
    return _sEmpty;
}

std::shared_ptr<MetaString> MetaString::New(const char* text) {
    if (text == nullptr || *text == '\0') {
        return New();
    }
    return Detail::MakePooled<MetaString>(std::string(text), FactoryFlag());
}

std::shared_ptr<MetaString> MetaString::New(const std::string& text) {
    if (text.empty()) {
        return New();
    }
    return Detail::MakePooled<MetaString>(text, FactoryFlag());
}

std::shared_ptr<MetaString> MetaString::New(std::string&& text) {
    if (text.empty()) {
        return New();
    }
    return Detail::MakePooled<MetaString>(std::move(text), FactoryFlag());
}

std::shared_ptr<MetaString> MetaString::NewUtf8WithEscapes(std::string&& text) {
    if (text.empty()) {
        return New();
    }
    if (!TarvikText_IsValid(text.c_str(), -1, TARVIK_ENCODING_UTF8)) {
        char* escaped = TarvikText_Escape(text.c_str(), -1, TARVIK_ENCODING_UTF8);
        // The arguments are always well-formed here, so a null result means memory ran out.
        if (escaped == nullptr) {
            throw std::bad_alloc();
        }
        std::unique_ptr<char, void (*)(void*)> owner(escaped, &std::free);
        text.assign(escaped);
    }
    return Detail::MakePooled<MetaString>(std::move(text), FactoryFlag());
}

std::string MetaString::ToString() const {
    return value;
}

} // namespace Corvane::MetaObj
