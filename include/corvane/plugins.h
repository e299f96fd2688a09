// Plugins: the plugin interface, shared-library, XML descriptor and internal plugins, extension commands.
#pragma once

#include <corvane/exception.h>
#include <corvane/export.h>
#include <corvane/format.h>
#include <corvane/tree.h>

#include <cstddef>
#include <memory>
#include <string>
#include <utility>
#include <vector>

// Plugin interface, shared-library plugins and the internal plugin.
namespace Corvane::AutoCli {

/// A source of namespaces, commands and formatters. The dispatcher calls Initialize(), then
/// RegisterNamespaces() with its root, then reads the formatters; it keeps the plugin for its own
/// lifetime, so objects a plugin put into the tree never outlive the plugin.
class CORVANE_API Plugin {
public:
    virtual ~Plugin();

    /// Prepares the plugin (reads its file, loads its object); throws CorvaneException on failure.
    virtual void Initialize() = 0;
    virtual const std::string& GetName() const = 0;
    /// Registers the plugin's nodes below `root`.
    virtual void RegisterNamespaces(std::shared_ptr<Namespace> root) = 0;
    virtual bool HasFormatter(const std::string& name) = 0;
    /// The formatter of that name, or an empty pointer.
    virtual std::shared_ptr<Formatter> GetFormatter(const std::string& name) = 0;
    virtual const std::vector<std::shared_ptr<Formatter>>& GetFormatters() = 0;

protected:
    Plugin() = default;
};

/// Type of the entry point a shared-object plugin exports as AutoCli_RegisterNamespaces.
using RegisterNamespacesFunction = void (*)(std::shared_ptr<Namespace> root);

/// A plugin in a shared object that exports AutoCli_RegisterNamespaces. The object stays loaded
/// while the plugin lives and is unloaded when it is destroyed, so everything the object put into
/// the tree must be released first. Provides no formatters.
class CORVANE_API SharedLibraryPlugin : public Plugin {
public:
    /// Stores the path; nothing is loaded yet.
    static std::shared_ptr<SharedLibraryPlugin> New(const std::string& path);

    explicit SharedLibraryPlugin(const std::string& path);
    ~SharedLibraryPlugin() override;
    SharedLibraryPlugin(const SharedLibraryPlugin&) = delete;
    SharedLibraryPlugin& operator=(const SharedLibraryPlugin&) = delete;

    /// Loads the object (lazy binding, symbols global) and finds its entry point. Throws
    /// "Unable to load plugin from <path> : <loader message>" or "Unable to get plugin registration
    /// point from <path> : <loader message>"; after the second the object is unloaded again. Does
    /// nothing when the object is already loaded.
    void Initialize() override;
    /// The path.
    const std::string& GetName() const override;
    /// Calls the entry point with `root`; does nothing before a successful Initialize(). Exceptions
    /// of the entry point propagate.
    void RegisterNamespaces(std::shared_ptr<Namespace> root) override;
    bool HasFormatter(const std::string& name) override;
    std::shared_ptr<Formatter> GetFormatter(const std::string& name) override;
    /// Always the same empty list.
    const std::vector<std::shared_ptr<Formatter>>& GetFormatters() override;

private:
    std::string path;
    void* handle = nullptr;
    RegisterNamespacesFunction registerFunction = nullptr;
};

/// The built-in plugin: the standard formatters and the command path "varnok command list".
class CORVANE_API InternalPlugin : public Plugin {
public:
    /// A plugin without formatters until Initialize().
    static std::shared_ptr<InternalPlugin> New();

    InternalPlugin();
    ~InternalPlugin() override;

    /// Appends the table, simple, xml, python, json and commandhelp formatters, in that order (again
    /// on every call).
    void Initialize() override;
    /// "Internal".
    const std::string& GetName() const override;
    /// Registers varnok > command > list (a CommandList over `root`); throws the tree's duplicate
    /// message when `root` already has a child named varnok.
    void RegisterNamespaces(std::shared_ptr<Namespace> root) override;
    bool HasFormatter(const std::string& name) override;
    /// The first formatter of that name, or an empty pointer.
    std::shared_ptr<Formatter> GetFormatter(const std::string& name) override;
    const std::vector<std::shared_ptr<Formatter>>& GetFormatters() override;

private:
    std::vector<std::shared_ptr<Formatter>> formatters;
};

} // namespace Corvane::AutoCli

/// Makes a symbol of a plugin's shared object visible to the loader whatever the object's default
/// visibility.
#define CORVANE_PLUGIN_EXPORT __attribute__((visibility("default")))

/// The entry point a shared-object plugin defines, unmangled:
///
///     extern "C" CORVANE_PLUGIN_EXPORT void
///     AutoCli_RegisterNamespaces(std::shared_ptr<Corvane::AutoCli::Namespace> root) { ... }
///
/// It receives the dispatcher's root namespace and registers the plugin's namespaces and commands
/// below it. A CorvaneException it throws refuses the plugin with that message. The declaration
/// here makes a definition with any other signature fail to compile.
extern "C" CORVANE_PLUGIN_EXPORT void
AutoCli_RegisterNamespaces(std::shared_ptr<Corvane::AutoCli::Namespace> root);

// Extension commands: external programs run from command templates.
namespace Corvane::AutoCli {

/// True for the sixteen bytes that SanitizeInput always escapes: line feed ! " $ & ' ( ) * ; < > \ ^ ` |.
CORVANE_API bool isBadChar(char c);

/// The span from the `open` at `start` (or, when text[start] is not `open`, from `start`) up to the
/// `close` that balances it, nested pairs skipped: (start, size) with size counting both ends;
/// (0, 0) when there is no such `close` before `length`. Linear in the text scanned.
CORVANE_API std::pair<std::size_t, std::size_t>
FindPairedTokenSize(const char* text, std::size_t start, std::size_t length, char open, char close);

/// A command whose work is done by an external program: the command template, filled with the
/// call's parameters, runs through /bin/sh with the filled standard-input template as its input, and
/// the program's standard output (ERROR: lines or an XML output document) becomes the result.
///
/// Filling treats every parameter value as data: a substituted value is never read again as
/// template text, and each one is escaped for the place of the shell text where it lands (plain
/// word, single quotes, double quotes, comment, here-document), so no value can end a quote, start
/// a comment or run a command. docs/command-templates.md states what each construct guarantees.
class CORVANE_API ExtensionCommand : public Command {
public:
    /// A command without specifications and with empty templates.
    static std::shared_ptr<ExtensionCommand> New();

    ExtensionCommand();
    ~ExtensionCommand() override;

    void SetInputSpec(std::shared_ptr<CallSpec::InputSpec> spec);
    void SetOutputSpec(std::shared_ptr<CallSpec::OutputSpec> spec);
    void SetExecuteCommand(const std::string& commandTemplate);
    void SetStdin(const std::string& stdinTemplate);

    /// Throws CorvaneException while no input specification is set.
    std::shared_ptr<CallSpec::InputSpec> GetInputSpecInternal() override;
    /// Throws CorvaneException while no output specification is set.
    std::shared_ptr<CallSpec::OutputSpec> GetOutputSpecInternal() override;

    /// The standard-input template (`forStdin`) or the command template, filled with the parameters
    /// of `input` ($val, $if, $list, $multilist); values are escaped for the shell in the command
    /// template only. `input` must carry its input specification. Throws CorvaneException when a
    /// $val names a flag or list parameter, and when a value would land where it cannot be made safe
    /// (inside backquotes, after $'...' quoting that holds a backslash, or as a line that would end a
    /// here-document).
    std::string SubstituteInput(const std::shared_ptr<CallSpec::Input>& input, bool forStdin);

    /// `value` with a backslash before every isBadChar byte and before every '#', for use outside
    /// quotes.
    std::string SanitizeInput(const std::string& value) const;
    /// `value` without any occurrence of `c`.
    std::string SanitizeChar(const std::string& value, char c) const;

    /// Runs the filled command and turns the program's output into the result or error messages of
    /// `output`. Exceptions of the process runner propagate.
    void ExecuteInternal(const std::shared_ptr<CallSpec::Input>& input,
                         const std::shared_ptr<CallSpec::Output>& output) override;

private:
    std::shared_ptr<CallSpec::InputSpec> inputSpec;
    std::shared_ptr<CallSpec::OutputSpec> outputSpec;
    std::string executeCommand;
    std::string stdinTemplate;
};

} // namespace Corvane::AutoCli

