// Command tree: namespaces, commands, help data and the command listing.
#pragma once

#include <corvane/callspec.h>
#include <corvane/exception.h>
#include <corvane/export.h>
#include <corvane/format.h>
#include <corvane/metaobj.h>

#include <cstdint>
#include <list>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace Corvane::AutoCli {

class Dispatcher;

/// True when the whole of `name` is a registrable node name: ASCII letters and digits, starting with a
/// lower-case letter or a digit, never two upper-case letters in a row ("camel" casing).
CORVANE_API bool AutoCli_IsValidName(const std::string& name);

/// The kind of a tree node. Callers compare against the plain values (2 means a command).
enum NamespaceNodeType : std::int32_t {
    RootType = 0,
    NamespaceType = 1,
    CommandType = 2,
};

/// A node of the command tree. A node owns its children (kept in byte-wise name order) and refers to
/// its parent only weakly, so dropping the root releases the whole tree. Nodes must be owned by a
/// std::shared_ptr before anything is registered under them.
///
/// Every failure throws CorvaneException and leaves the tree as it was.
class CORVANE_API NamespaceNode : public std::enable_shared_from_this<NamespaceNode> {
public:
    NamespaceNode(const NamespaceNode&) = delete;
    NamespaceNode& operator=(const NamespaceNode&) = delete;
    virtual ~NamespaceNode();

    virtual std::shared_ptr<NamespaceNode> GetThis() = 0;
    virtual NamespaceNodeType GetType() = 0;
    /// The names from below the root down to this node. Throws for a node that is not attached.
    virtual std::list<std::string> GetPath();
    /// GetPath() joined with `separator`. Throws for a node that is not attached.
    virtual std::string GetPathString(char separator);
    virtual bool HasNamespaceNode(const std::string& name);
    virtual std::vector<std::string> GetNamespaceNodeNames();
    virtual std::vector<std::shared_ptr<NamespaceNode>> GetNamespaceNodes();
    /// The child of that name, or an empty pointer.
    virtual std::shared_ptr<NamespaceNode> GetNamespaceNode(const std::string& name);
    /// Names `node` and makes it a child of this node. Refuses duplicates, empty nodes, invalid names,
    /// nodes that already have a parent and nodes that would become their own ancestor.
    virtual void RegisterNamespaceNode(std::shared_ptr<NamespaceNode> node, std::string name);
    /// Forwards to the std::string overload through the virtual table.
    virtual void RegisterNamespaceNode(std::shared_ptr<NamespaceNode> node, const char* name);
    /// The node that `path` designates below this node; empty for an empty path. On success `path` is
    /// unchanged; on failure it has lost the words consumed on the way down.
    virtual std::shared_ptr<NamespaceNode> ResolveNode(std::list<std::string>& path);
    /// The child of that name whatever its kind, or a new empty Namespace registered under it.
    virtual std::shared_ptr<NamespaceNode> SubNamespace(const std::string& name);
    virtual Dispatcher* GetDispatcher() = 0;
    virtual void SetParent(std::shared_ptr<NamespaceNode> parent) = 0;
    virtual std::shared_ptr<NamespaceNode> GetParent() = 0;

    const std::string& GetName() const { return name; }
    /// Throws the invalid-name message unless AutoCli_IsValidName(name).
    void SetName(const std::string& name);
    void SetDescription(std::string description);
    void SetDescription(const char* description);
    const std::string& GetDescription() const { return description; }

protected:
    NamespaceNode();

    /// GetPathString(' ') for error messages; for a node in a detached subtree, the names up to the
    /// top of that subtree instead of a second error.
    std::string PathForMessage();

private:
    std::string name;
    std::string description;
    std::map<std::string, std::shared_ptr<NamespaceNode>> children;
};

/// An inner node of the tree.
class CORVANE_API Namespace : public NamespaceNode {
public:
    static std::shared_ptr<Namespace> New();

    Namespace();
    ~Namespace() override;

    std::shared_ptr<NamespaceNode> GetThis() override;
    NamespaceNodeType GetType() override;
    /// The dispatcher of the root above; throws when the chain up to the root is broken.
    Dispatcher* GetDispatcher() override;
    void SetParent(std::shared_ptr<NamespaceNode> parent) override;
    /// Empty when unset or when the parent is gone.
    std::shared_ptr<NamespaceNode> GetParent() override;

private:
    std::weak_ptr<NamespaceNode> parent;
};

/// The top of the tree, owned by its dispatcher; it only points back to it.
class CORVANE_API RootNamespace : public Namespace {
public:
    static std::shared_ptr<RootNamespace> New(Dispatcher* dispatcher);

    explicit RootNamespace(Dispatcher* dispatcher);
    ~RootNamespace() override;

    std::shared_ptr<NamespaceNode> GetThis() override;
    NamespaceNodeType GetType() override;
    /// Always empty: the root contributes nothing to paths.
    std::list<std::string> GetPath() override;
    std::string GetPathString(char separator) override;
    Dispatcher* GetDispatcher() override;
    /// Always throws: the root has no parent.
    void SetParent(std::shared_ptr<NamespaceNode> parent) override;
    std::shared_ptr<NamespaceNode> GetParent() override;

private:
    Dispatcher* dispatcher;
};

/// A leaf of the tree that declares its input and output. Both specifications are built on first
/// request and kept; the input specification always carries the implicit "help" parameter. A command
/// refuses children: every child operation but HasNamespaceNode throws, naming the command's path.
class CORVANE_API CommandSpec : public CallSpec::CallTargetSpec, public NamespaceNode {
public:
    ~CommandSpec() override;

    /// Throws the CorvaneException of InputSpec::AddParameter when the command itself declares a
    /// parameter that clashes with "help"/"h"; nothing is cached then.
    std::shared_ptr<CallSpec::InputSpec> GetInputSpec() override;
    std::shared_ptr<CallSpec::OutputSpec> GetOutputSpec() override;

    std::shared_ptr<NamespaceNode> GetThis() override;
    /// Always false.
    bool HasNamespaceNode(const std::string& name) override;
    std::shared_ptr<NamespaceNode> GetNamespaceNode(const std::string& name) override;
    void RegisterNamespaceNode(std::shared_ptr<NamespaceNode> node, std::string name) override;
    void RegisterNamespaceNode(std::shared_ptr<NamespaceNode> node, const char* name) override;
    std::shared_ptr<NamespaceNode> ResolveNode(std::list<std::string>& path) override;
    Dispatcher* GetDispatcher() override;
    void SetParent(std::shared_ptr<NamespaceNode> parent) override;
    std::shared_ptr<NamespaceNode> GetParent() override;
    NamespaceNodeType GetType() override;

    /// The command's own parameters (without "help"); called once per successful GetInputSpec().
    virtual std::shared_ptr<CallSpec::InputSpec> GetInputSpecInternal() = 0;
    /// The command's declared result; called once.
    virtual std::shared_ptr<CallSpec::OutputSpec> GetOutputSpecInternal() = 0;

    /// `example` is the argument text that follows the command path on a command line.
    void AddExample(std::string example, std::string description);
    void AddExample(const char* example, const char* description);
    /// (argument text, description) pairs in the order added.
    const std::vector<std::pair<std::string, std::string>>& GetExamples() const { return examples; }

    void SetDefaultOutputFormatter(std::string name);
    void SetDefaultOutputFormatter(const char* name);
    void SetDefaultOutputParameter(std::string key, std::string value);
    void SetDefaultOutputParameter(const char* key, const char* value);
    FormatParameters GetDefaultOutputFormatParameters() const { return defaultFormatParameters; }

    /// Sets the meta-data entry `name` (a later value replaces an earlier one). Entries are free-form;
    /// only "effect" has a meaning to the library (see GetEffect).
    void SetMetaData(std::string name, std::string value);
    /// The meta-data entries, by name. Virtual so that a command whose declaration is read on first use
    /// can read it first.
    virtual const std::map<std::string, std::string>& GetMetaData();
    /// The declared effect of running the command: "read", "change" or "destroy", from the meta-data
    /// entry "effect"; empty when the entry is missing or holds any other text.
    std::string GetEffect();

    /// Sets a "VarnokCommandHelp" structure as the root of `output` and marks it as help output.
    void GenerateHelpOutput(const std::shared_ptr<CallSpec::Input>& input,
                            const std::shared_ptr<CallSpec::Output>& output);

protected:
    CommandSpec();

private:
    std::vector<std::pair<std::string, std::string>> examples;
    std::shared_ptr<CallSpec::InputSpec> inputSpec;
    std::shared_ptr<CallSpec::OutputSpec> outputSpec;
    FormatParameters defaultFormatParameters;
    std::map<std::string, std::string> metaData;
    std::weak_ptr<NamespaceNode> parent;
};

/// An executable command. Concrete commands implement ExecuteInternal; Execute wraps it with help
/// handling, exception capture and result validation.
class CORVANE_API Command : public CommandSpec, public CallSpec::CallTarget {
public:
    ~Command() override;

    /// Answers "help", otherwise runs ExecuteInternal: a std::exception from it becomes one error
    /// message, and a result that does not match GetOutputSpec() becomes the validation messages
    /// followed by an implementation-error message. A failed command's result is not validated.
    void Execute(const std::shared_ptr<CallSpec::Input>& input,
                 const std::shared_ptr<CallSpec::Output>& output) final;

    /// The command's work: reads parameters from `input`, fills the root object and errors of `output`.
    virtual void ExecuteInternal(const std::shared_ptr<CallSpec::Input>& input,
                                 const std::shared_ptr<CallSpec::Output>& output) = 0;

protected:
    Command();

    /// Checks the result in `output` against GetOutputSpec(), as Execute does after ExecuteInternal:
    /// when it does not match, adds the validation messages and the implementation-error message.
    void AddOutputValidationErrors(const std::shared_ptr<CallSpec::Output>& output);
};

/// The input of one call made through the dispatcher: the tool name and the command path.
class CORVANE_API CommandInput : public CallSpec::Input {
public:
    static std::shared_ptr<CommandInput> New();

    CommandInput();
    ~CommandInput() override;

    void SetDispatcher(const std::string& dispatcher);
    const std::string& GetDispatcher() const { return dispatcher; }
    void SetCommandPath(const std::list<std::string>& path);
    std::list<std::string>& GetCommandPath() { return commandPath; }
    const std::list<std::string>& GetCommandPath() const { return commandPath; }
    /// The path words joined by single blanks.
    std::string GetCommandPathString() const;

private:
    std::string dispatcher;
    std::list<std::string> commandPath;
};

/// The output of one call made through the dispatcher, with a slot for its formatted text that only
/// an embedding program uses.
class CORVANE_API CommandOutput : public CallSpec::Output {
public:
    static std::shared_ptr<CommandOutput> New();

    CommandOutput();
    ~CommandOutput() override;

    void SetFormattedString(const std::string& text);
    const std::string& GetFormattedString() const { return formattedString; }

private:
    std::string formattedString;
};

/// The built-in command that lists every command below a namespace as "VarnokCommand" structures
/// (Namespace, Command, Description), filtered by case-sensitive substrings.
class CORVANE_API CommandList : public Command {
public:
    static std::shared_ptr<CommandList> New(const std::shared_ptr<Namespace>& root);

    /// Keeps only a raw pointer: the command normally lives inside the tree it lists, and a shared
    /// pointer would make that tree own itself.
    explicit CommandList(const std::shared_ptr<Namespace>& root);
    ~CommandList() override;

    /// A new "VarnokCommand" structure whose three fields hold empty strings.
    std::shared_ptr<MetaObj::MetaStruct> GetOutputStructure();

    std::shared_ptr<CallSpec::InputSpec> GetInputSpecInternal() override;
    std::shared_ptr<CallSpec::OutputSpec> GetOutputSpecInternal() override;
    void ExecuteInternal(const std::shared_ptr<CallSpec::Input>& input,
                         const std::shared_ptr<CallSpec::Output>& output) override;

    /// Appends the commands below `node` that pass all three filters, depth first in name order.
    void AddChildren(const std::string& namespaceFilter, const std::string& commandFilter,
                     const std::string& descriptionFilter, NamespaceNode* node, MetaObj::MetaList* list);

private:
    Namespace* root;
};

} // namespace Corvane::AutoCli
