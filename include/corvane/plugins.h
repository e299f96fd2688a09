// Plugins: the plugin interface, shared-library, XML descriptor and internal plugins, extension commands.
#pragma once

#include <corvane/exception.h>
#include <corvane/export.h>
#include <corvane/format.h>
#include <corvane/tree.h>
#include <corvane/xmlutil.h>

#include <cstddef>
#include <list>
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
/// a comment or run a command; inside quotes a value reaches the program byte for byte.
/// docs/command-templates.md states what each construct guarantees.
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

    /// What a run with `input` hands to the shell: `shellText`, the exact text of /bin/sh -c (with the
    /// LANG and ZU_USERNAME assignments a run puts in front), and `stdinText`, the filled standard-input
    /// template. Nothing is started. Throws CorvaneException as SubstituteInput does.
    void PlanRun(const std::shared_ptr<CallSpec::Input>& input, std::string& shellText,
                 std::string& stdinText);

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

// XML plugin descriptors: namespaces and commands declared in descriptor files.
namespace Corvane::AutoCli {

namespace DescriptorCache {
class RestoredRegistrations;
} // namespace DescriptorCache

/// A plugin read from one XML descriptor file. Initialize reads and checks the whole file and keeps
/// what it declares as pending registrations without touching any tree, so a descriptor that fails
/// to read registers nothing; RegisterNamespaces then puts the namespaces and commands into the tree.
/// A top-level namespace declared by several descriptors with the same description is shared.
class CORVANE_API XmlPlugin : public Plugin {
public:
    /// (dotted path, node) of a namespace or command read from the descriptor.
    using Registration = std::pair<std::string, std::shared_ptr<NamespaceNode>>;

    /// Descriptors larger than this are refused unread: a real one holds a few kilobytes, and the
    /// parsed tree costs about ten times the text.
    static constexpr std::size_t MaxDescriptorBytes = std::size_t{16} * 1024 * 1024;

    /// Nothing is read until Initialize.
    static std::shared_ptr<XmlPlugin> New(const std::string& fileName);

    ~XmlPlugin() override;

    /// Reads the descriptor and fills the pending registrations (all namespaces in document order,
    /// then all commands). Every CorvaneException is rethrown with the plugin's own message in front.
    /// The document is freed on every path; libxml2 prints nothing and loads nothing from outside.
    void Initialize() override;
    /// The descriptor's path as given to New.
    const std::string& GetName() const override;
    /// Checks every pending entry against the tree first (existing paths, top-level namespaces to
    /// share), then registers them in order. A failure while registering leaves the entries
    /// registered before it in the tree.
    void RegisterNamespaces(std::shared_ptr<Namespace> root) override;
    /// Always false: a descriptor provides no formatters.
    bool HasFormatter(const std::string& name) override;
    /// Always throws.
    std::shared_ptr<Formatter> GetFormatter(const std::string& name) override;
    /// Always empty.
    const std::vector<std::shared_ptr<Formatter>>& GetFormatters() override;

    /// The words of a dotted path: every piece between full stops, empty ones included, except a
    /// trailing empty piece; an empty path gives no words.
    static std::list<std::string> SplitPath(const std::string& path);

    /// Reads every `namespace` child of a `namespaces` element.
    void AddNamespaces(xmlNode* node);
    /// Reads one `namespace` element into a pending Namespace.
    void AddNamespace(xmlNode* node);
    /// Reads every `command` child of a `commands` element.
    void AddCommands(xmlNode* node);
    /// Reads one `command` element into a pending ExtensionCommand.
    void AddCommand(xmlNode* node);

    /// The registrations Initialize read. Those of a descriptor restored from the cache are made
    /// on the first call, and whatever of them RegisterNamespaces left for later is then registered:
    /// the nodes returned are those the tree holds.
    const std::vector<Registration>& GetPendingRegistrations() const;

protected:
    explicit XmlPlugin(const std::string& fileName);

private:
    std::string fileName;
    std::vector<Registration> pending;
    // Set instead of `pending` when Initialize found a valid cache entry.
    std::shared_ptr<DescriptorCache::RestoredRegistrations> restored;
};

/// Checks the `meta-data-entry` children of a `meta-data` element and keeps every entry with content as
/// the command's meta-data (the entry's text, a later entry of the same name winning). `command` may be
/// empty: the entries are then only checked.
CORVANE_API void ExtractMetaData(xmlNode* node, const std::shared_ptr<ExtensionCommand>& command);
/// The parameters and supported contexts of an `input-spec` element.
CORVANE_API std::shared_ptr<CallSpec::InputSpec> ExtractInputSpec(xmlNode* node);
/// Reads one `parameter` element and adds it to `spec`.
CORVANE_API void ExtractInputParam(xmlNode* node, const std::shared_ptr<CallSpec::InputSpec>& spec);
/// The constraint a `constraint` element declares; of several `enum`, `regex` or `range` children
/// the last one wins.
CORVANE_API std::shared_ptr<CallSpec::ParameterConstraint> ExtractParamConstraint(xmlNode* node);
/// (value, description) of every content-carrying child of the `enum-value` children of an `enum`.
CORVANE_API std::vector<std::pair<std::string, std::string>> ExtractEnum(xmlNode* node);
/// The declared output of an `output-spec` element: the type its one element child describes, or
/// no root object when it has none.
CORVANE_API std::shared_ptr<CallSpec::OutputSpec> ExtractOutputSpec(xmlNode* node);
/// Sets the command's default formatter and format parameters from a `format-parameters` element.
CORVANE_API void ExtractFormatParams(xmlNode* node, const std::shared_ptr<ExtensionCommand>& command);

} // namespace Corvane::AutoCli
