// RegexPattern, and finding and loading the regex module beside the library.
#include "regex/regex_pattern.h"

#include <corvane/exception.h>

#include "corvane_build_info.h"

#include <dlfcn.h>

namespace Corvane::Detail {

namespace {

// The module lies in a directory of its own beside the library, in the build tree as once
// installed; a library copied elsewhere without it finds it through its search path.
std::string ModulePathBesideLibrary() {
    Dl_info info{};
    if (::dladdr(reinterpret_cast<const void*>(&ModulePathBesideLibrary), &info) == 0 ||
        info.dli_fname == nullptr) {
        return {};
    }
    const std::string library = info.dli_fname;
    const std::size_t slash = library.rfind('/');
    return (slash == std::string::npos ? std::string(".") : library.substr(0, slash)) + "/" +
           CORVANE_REGEX_MODULE_RELATIVE_PATH;
}

const RegexModule& LoadModule() {
    void* handle = nullptr;
    const std::string beside = ModulePathBesideLibrary();
    if (!beside.empty()) {
        handle = ::dlopen(beside.c_str(), RTLD_NOW | RTLD_LOCAL);
    }
    if (handle == nullptr) {
        handle = ::dlopen(CORVANE_REGEX_MODULE_NAME, RTLD_NOW | RTLD_LOCAL);
    }
    if (handle == nullptr) {
        const char* error = ::dlerror();
        throw CorvaneException(std::string("Unable to load the regular expression module: ") +
                               (error != nullptr ? error : beside));
    }
    using Entry = const RegexModule* (*)();
    const auto entry = reinterpret_cast<Entry>(::dlsym(handle, "CorvaneRegexModule"));
    const RegexModule* module = entry != nullptr ? entry() : nullptr;
    if (module == nullptr || module->version != kRegexModuleVersion) {
        throw CorvaneException("Unable to load the regular expression module: " + beside +
                               " is not the module of this library");
    }
    return *module;
}

const RegexModule& Module() {
    // Loaded once, never unloaded: compiled patterns and the exceptions they throw come from it.
    static const RegexModule& module = LoadModule();
    return module;
}

} // namespace

RegexPattern::RegexPattern(const std::string& expression)
    : module(Module()), compiled(module.compile(expression)) {}

RegexPattern::~RegexPattern() {
    module.release(compiled);
}

bool RegexPattern::FullMatch(const std::string& text) const {
    return module.fullMatch(compiled, text);
}

std::vector<RegexGroups> RegexPattern::FindAll(const std::string& text) const {
    std::vector<RegexGroups> matches;
    module.findAll(compiled, text, matches);
    return matches;
}

} // namespace Corvane::Detail
