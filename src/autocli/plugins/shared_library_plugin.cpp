// SharedLibraryPlugin: loads a plugin's shared object and calls its registration entry point.
#include <corvane/plugins.h>

#include <dlfcn.h>

#include <utility>

namespace Corvane::AutoCli {

namespace {

// The loader's last message, consumed; "(null)" when it has none to give.
// The loader's message starts with the file it was given, which is the caller's word: that part is
// repeated as messages repeat caller input, the loader's own text after it as it is.
std::string TakeLoaderError(const std::string& file) {
    const char* message = dlerror();
    if (!message) {
        return "(null)";
    }
    std::string text(message);
    if (text.compare(0, file.size(), file) == 0) {
        text.replace(0, file.size(), CallSpec::EchoText(file));
    }
    return text;
}

} // namespace

std::shared_ptr<SharedLibraryPlugin> SharedLibraryPlugin::New(const std::string& path) {
    return std::make_shared<SharedLibraryPlugin>(path);
}

SharedLibraryPlugin::SharedLibraryPlugin(const std::string& path) : path(path) {}

SharedLibraryPlugin::~SharedLibraryPlugin() {
    registerFunction = nullptr;
    if (handle) {
        dlclose(handle);
    }
}

void SharedLibraryPlugin::Initialize() {
    // A second dlopen would only raise the object's reference count and leave it loaded for good.
    if (handle) {
        return;
    }
    // A name without a slash is a file of the current directory, as for a descriptor: dlopen alone
    // would look for it along the library search path instead.
    const std::string file = path.find('/') == std::string::npos ? "./" + path : path;
    void* loaded = dlopen(file.c_str(), RTLD_LAZY | RTLD_GLOBAL);
    if (!loaded) {
        throw CorvaneException("Unable to load plugin from " + CallSpec::EchoText(path) + " : " +
                               TakeLoaderError(file));
    }
    // Drop any stale message so that a failed lookup reports its own.
    dlerror();
    void* symbol = dlsym(loaded, "AutoCli_RegisterNamespaces");
    if (!symbol) {
        std::string message = TakeLoaderError(file);
        dlclose(loaded);
        throw CorvaneException("Unable to get plugin registration point from " + CallSpec::EchoText(path) +
                               " : " + message);
    }
    handle = loaded;
    registerFunction = reinterpret_cast<RegisterNamespacesFunction>(symbol);
}

const std::string& SharedLibraryPlugin::GetName() const {
    return path;
}

void SharedLibraryPlugin::RegisterNamespaces(std::shared_ptr<Namespace> root) {
    if (registerFunction) {
        registerFunction(std::move(root));
    }
}

bool SharedLibraryPlugin::HasFormatter(const std::string&) {
    return false;
}

std::shared_ptr<Formatter> SharedLibraryPlugin::GetFormatter(const std::string&) {
    return nullptr;
}

const std::vector<std::shared_ptr<Formatter>>& SharedLibraryPlugin::GetFormatters() {
    static const std::vector<std::shared_ptr<Formatter>> none;
    return none;
}

} // namespace Corvane::AutoCli
