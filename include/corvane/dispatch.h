// Dispatch: the dispatcher, the option parser and the command-line front end.
#pragma once

#include <corvane/callspec.h>
#include <corvane/exception.h>
#include <corvane/export.h>
#include <corvane/format.h>
#include <corvane/plugins.h>
#include <corvane/query.h>
#include <corvane/tree.h>

#include <cstddef>
#include <list>
#include <map>
#include <memory>
#include <ostream>
#include <stack>
#include <string>
#include <utility>
#include <vector>

// Option parser: splits a command line into dispatcher options, command path and command options.
namespace Corvane::AutoCli {

/// Parses one command line: leading dispatcher options (each with its value), the command path (the
/// following non-option words) and the command's own options. Dispatcher options and the path are
/// parsed at once; the command options are kept as words and parsed on first request, after the
/// caller has handed over the command's input specification, so that secret values can be prompted
/// for and options lacking a value reported. Errors are collected as strings; nothing is thrown.
///
/// Option names are stored as written without their dashes (the letter of `-v`, the name of
/// `--verbose`); values are empty when an option had none.
class CORVANE_API OptionParser {
public:
    using ParameterList = std::vector<std::pair<std::string, std::string>>;

    /// A parser for the tool named "varnok".
    OptionParser();
    explicit OptionParser(const std::string& dispatcher);

    /// Takes the tool name from argv[0] and parses argv[1] .. argv[argc - 1].
    void ParseArgv(int argc, const char* const* argv);
    /// Parses the words, first word first; the tool name stays as it is.
    void ParseVector(std::vector<std::string> words);
    /// Splits one line into words (double quotes group blanks and are dropped; a "#" before the
    /// first word makes the line a comment) and parses them. Returns true, changing nothing, when
    /// the line holds no word; false when it was parsed.
    bool ParseString(const std::string& line);
    /// Parses a stack of words whose top is the first word; an empty stack changes nothing.
    void ParseStack(std::stack<std::string> words);
    /// Pops the leading non-option words.
    std::list<std::string> ParsePath(std::stack<std::string>& words);
    /// Pops leading option words with their values. An option without "=" takes the next word as
    /// its value unless that is an option word (or, among the dispatcher options, it is --dry-run);
    /// otherwise, with an input specification set, a secret parameter is prompted for and a non-flag
    /// parameter gets a missing-value error. A secret that cannot be read (end of input before any
    /// byte, a read error, no terminal) is a parse error naming the parameter.
    ParameterList ParseParameters(std::stack<std::string>& words);
    /// Splits one option word into name and value; returns true when the word carried a value.
    bool ParseParameter(const std::string& word, std::string& name, std::string& value);
    /// Whether the whole word is an option word: -x, --name or --name=value.
    static bool IsParameter(const std::string& word);

    /// The command's input specification, consulted while the command options are processed.
    void SetInputSpec(std::shared_ptr<CallSpec::InputSpec> spec);
    /// Parses the pending command option words into the command parameters; a no-op once done.
    void ProcessCommandArguments();
    /// Secret values are asked for on the controlling terminal instead of standard input, which
    /// holds the command lines themselves; without a terminal they cannot be read.
    void SetSecretsFromTerminal(bool fromTerminal);
    /// Reads one line from standard input (descriptor 0, byte by byte, so nothing after the line is
    /// consumed) with terminal echo switched off while it reads; the newline is dropped. On a
    /// non-terminal the line is read normally. Empty at end of input or on a read error.
    static std::string GetSilentString();

    bool IsParsed() const { return parsed; }
    std::vector<std::string>& GetParseErrors() { return parseErrors; }
    std::string& GetDispatcher() { return dispatcher; }
    std::list<std::string>& GetCommandPath() { return commandPath; }
    std::list<std::string>& GetNamespaces() { return commandPath; }

    ParameterList& GetDispatcherParameters() { return dispatcherParameters; }
    bool HasDispatcherParameter(const std::string& name) const;
    /// Every value given for `name`, in command-line order.
    std::vector<std::string> GetDispatcherParameter(const std::string& name) const;

    // The command parameter getters process the pending command options first.
    ParameterList& GetCommandParameters();
    bool HasCommandParameter(const std::string& name);
    std::vector<std::string> GetCommandParameter(const std::string& name);

    /// A multi-line dump of the parser's state for diagnostics.
    std::string ToString();

private:
    bool parsed = false;
    std::vector<std::string> parseErrors;
    std::string dispatcher;
    std::list<std::string> commandPath;
    ParameterList dispatcherParameters;
    ParameterList commandParameters;
    // Command option words not yet processed; the top is the next word.
    std::stack<std::string> remaining;
    std::shared_ptr<CallSpec::InputSpec> inputSpec;
    // Set while the leading dispatcher options are read: --dry-run takes no value from the next word.
    bool readingDispatcherOptions = false;
    bool secretsFromTerminal = false;
    // A secret value could not be read (end of input, read error, no terminal): the call fails.
    bool secretUnread = false;
};

} // namespace Corvane::AutoCli

// Dispatcher: owns the tree, the plugins and the formatter table.
namespace Corvane::AutoCli {

/// The registry at the centre of the library: the command tree, the plugins that filled it and the
/// formatters they provide. A dispatcher is usable right after construction, with the internal
/// plugin's formatters and the "varnok command list" command registered. Nothing is ever
/// unregistered.
///
/// Every plugin handed to RegisterPlugin stays alive until the dispatcher is destroyed, and the
/// tree is released before any plugin: a shared-object plugin's code must stay loaded as long as
/// its commands exist. Pointers taken from the tree must therefore not outlive the dispatcher.
class CORVANE_API Dispatcher {
public:
    /// Initialises the platform feature state, creates the root and registers the internal plugin.
    Dispatcher();
    virtual ~Dispatcher();
    Dispatcher(const Dispatcher&) = delete;
    Dispatcher& operator=(const Dispatcher&) = delete;

    std::shared_ptr<RootNamespace> GetRootNamespace();

    /// Lets an initialised plugin register its namespaces, then records its formatters. Throws
    /// CorvaneException when the namespace registration fails with one (nodes registered before the
    /// failure stay) or when one of its formatter names is already taken (no name is recorded
    /// then); the plugin is not listed in either case. Other exceptions propagate unchanged.
    void RegisterPlugin(std::shared_ptr<Plugin> plugin);

    /// Loads one plugin file chosen by its suffix (.so or .xml); other names are ignored.
    void AddPlugin(const std::string& path);
    /// Loads the plugin files of `directory`/lib64 (silently skipped when absent), then of
    /// `directory`.
    void AddExternalDirectory(const std::string& directory);
    /// Loads the plugin files of one directory in byte-wise order of their paths; a file that fails
    /// is reported on standard error and skipped.
    void AddExternalDirectoryInt(const std::string& directory, bool reportOpenFailure);
    /// The installation's plugin directories, in the order AddDefaultDirectories loads them.
    static const std::vector<std::string>& GetDefaultDirectories();
    /// Loads the installation directories.
    void AddDefaultDirectories();
    /// Loads those installation directories that exist. A host without plugins has neither, which is
    /// normal and prints nothing; one that exists but cannot be read still gets its message.
    void AddInstalledDirectories();

    /// The command the input's path names, or an empty pointer with the reason added to `output`.
    std::shared_ptr<Command> GetCommand(std::shared_ptr<CommandInput> input,
                                        std::shared_ptr<CommandOutput> output);
    /// Resolves, validates and executes the call; true when `output` ends without error messages.
    /// A call with the "help" parameter skips validation and yields the command's help data.
    bool ExecuteCommand(std::shared_ptr<CommandInput> input, std::shared_ptr<CommandOutput> output);
    /// The resolved command's own format defaults, or empty parameters (with the resolution errors
    /// added to `output`).
    FormatParameters GetDefaultOutputFormatParameters(std::shared_ptr<CommandInput> input,
                                                      std::shared_ptr<CommandOutput> output);

    bool HasFormatter(const std::string& name);
    /// The registered formatter of that name, or an empty pointer.
    std::shared_ptr<Formatter> GetFormatter(const std::string& name);
    /// The registered formatters in byte-wise order of their names.
    std::vector<std::shared_ptr<Formatter>> GetFormatters();

    /// Checks, before `command` runs, what its declared output allows: that the formatter `params`
    /// names exists, that it can print the declared kind ("table" needs a list of structures), and, for
    /// the formatters that read them, that every type and field named by fields:T, fields, header:T,
    /// units:T.F and printf:T.F is declared and every printf format fits its field. Each problem is
    /// added to `output`, followed by a "Did you mean" line where a close name exists; returns false
    /// then. An empty formatter name, a command without a declared output, or a declaration that leaves
    /// a structure open passes what cannot be told.
    bool CheckFormatParameters(const std::shared_ptr<Command>& command, const FormatParameters& params,
                               const std::shared_ptr<CallSpec::Output>& output);

    /// Checks `query` against the declared output of `command` before it runs (see
    /// ResultQuery::Prepare); each problem is added to `output`. True for an empty query.
    bool CheckQuery(const std::shared_ptr<Command>& command, ResultQuery& query,
                    const std::shared_ptr<CallSpec::Output>& output);
    /// ExecuteCommand with a query: the query is checked against the command's declared output first,
    /// and when it is refused nothing runs; otherwise the call's result is filtered, sorted and cut.
    /// A help request is answered as without a query.
    bool ExecuteCommand(std::shared_ptr<CommandInput> input, std::shared_ptr<CommandOutput> output,
                        ResultQuery& query);
    /// Resolves and validates the call as ExecuteCommand does, but runs nothing: the result is a
    /// "VarnokDryRun" structure saying what would run. Its fields: "Command" (the command path, words
    /// joined by blanks), "Kind" ("shell" for a command that runs a program through /bin/sh,
    /// "in-process" otherwise), "Shell" (the exact text handed to /bin/sh -c), "Stdin" (the filled
    /// standard-input template), both empty for an in-process command, and "Parameters", a list of
    /// "VarnokDryRunParameter" structures ("Name", "Value"), one per value given, in name order. Every
    /// value of a secret parameter reads "***", and so does every place in the other values, the
    /// shell text and the standard input where one appears. True when the call would run.
    bool DryRun(std::shared_ptr<CommandInput> input, std::shared_ptr<CommandOutput> output);

    /// Prints `output` with the formatter `params` names. Prints nothing and returns true when no
    /// formatter is named; adds an error to `output` and returns false when the name is unknown.
    /// Otherwise returns true whatever the formatter reports; exceptions of the formatter propagate.
    bool FormatOutput(const std::shared_ptr<CallSpec::Output>& output, FormatParameters& params,
                      DisplayContext& context, std::ostream& out);

    /// The names of the registered plugins in registration order, the internal plugin first.
    std::vector<std::string> GetPluginNames();
    /// Empties the plugin list. The tree and the formatter table stay, and so do the plugin objects
    /// themselves until the dispatcher is destroyed.
    void ResetRegistrations();

private:
    // Declared first so that it is destroyed last: every plugin ever handed to RegisterPlugin,
    // refused ones included, whose nodes may still be in the tree.
    std::vector<std::shared_ptr<Plugin>> keptPlugins;
    std::map<std::string, std::shared_ptr<Plugin>> formatters;
    std::vector<std::shared_ptr<Plugin>> plugins;
    std::shared_ptr<RootNamespace> rootNamespace;
};

} // namespace Corvane::AutoCli

// Command-line front end.
namespace Corvane::AutoCli {

/// The command-line front end: runs one command line (or a file of them) from dispatcher options
/// to printed result and exit status. Dispatcher options load plugins, override the formatter and
/// its parameters, fix the screen width or print the usage text or the version; a path that ends at a
/// namespace lists its children; a command has its options parsed (secrets prompted for without echo), is
/// executed, and its result printed on standard output or its errors on standard error.
///
/// A CorvaneException from the tree (a path word that names nothing) or from loading a --plugin
/// file is not caught here: it leaves HandleOptions, HandleArgvInput and ParseStreamInput.
class CORVANE_API CliDispatcher : public Dispatcher {
public:
    CliDispatcher();
    ~CliDispatcher() override;

    /// Parses argv, runs it with stream input allowed and ends the process: exit(0) when the
    /// command succeeded, exit(1) otherwise (errors, usage text, listings). Standard output is
    /// checked on the way out: a write that failed is reported as "varnok: write error: REASON"
    /// on standard error and gives exit(1).
    [[noreturn]] void HandleArgvInput(int argc, const char* const* argv);

    /// Runs one parsed command line; true when a command ran and was printed without error. The
    /// audit parameter "user" is $ZU_USERNAME (or "@component") while it runs. With
    /// `allowStreamInput`, a dispatcher option --input runs the lines of that file (or of standard
    /// input for STDIN or -) instead, and the result is false when any of them failed or the file
    /// could not be read to its end ("varnok: --input: PATH: REASON"). Ends the process with
    /// exit(1) after printing the usage text for -h/--help.
    bool HandleOptions(OptionParser& parser, bool allowStreamInput);

    /// Applies the dispatcher options in a fixed order: validation, help, version, screen width,
    /// formatter, plugin directories, plugin files, format parameters. Problems are added to
    /// `output`; false only when the usage text was printed. --version prints "varnok VERSION" and
    /// ends the process with exit(0).
    bool HandleDispatcherOptions(OptionParser& parser, FormatParameters& overrides,
                                 const std::shared_ptr<CallSpec::Output>& output);
    /// Adds "Unknown dispatcher parameter: <name>" for every dispatcher option not understood, each
    /// followed by a "Did you mean" line when a dispatcher option comes close.
    void ValidateDispatcherParameters(OptionParser& parser, const std::shared_ptr<CallSpec::Output>& output);

    /// Writes "Errors: " and every error of `output`, one per line, to standard error; nothing when
    /// there is none.
    void PrintError(const std::shared_ptr<CallSpec::Output>& output);
    /// Sets the "VarnokCommandPrint" listing of `node`'s children as the root of `output` and
    /// prints it with a dispatcher help formatter, whatever --formatter said.
    void PrintChildren(std::shared_ptr<NamespaceNode> node, std::shared_ptr<CommandOutput> output);
    /// Formatter "commandhelp", no parameters.
    FormatParameters GetHelpFormatParams();
    /// The terminal size of standard output when it is a terminal (otherwise `context` keeps its
    /// values), then the --screen-width when one between 1 and 9999 was given.
    void GetDisplayContext(DisplayContext& context);
    /// Runs every line of `in` as a command line of its own (blank and comment lines skipped). A
    /// line that fails, by its errors or by an exception (a path word naming nothing), has a line
    /// "varnok: --input line N:" on standard error before what it prints there, and the lines after
    /// it still run. Returns false when any line failed, true otherwise (also when there was none).
    /// For std::cin, secret values are asked for on the controlling terminal.
    bool ParseStreamInput(std::istream& in);

    /// The tool name of the last command line handled: argv[0], or "varnok" for stream lines.
    const std::string& GetName() const { return name; }

    /// The process-wide width set by --screen-width: 0 until one is given, never reset, so it
    /// stays in force for later command lines of the process.
    static int GetScreenWidth();
    static void SetScreenWidth(int width);

private:
    /// Prints a command's result on standard output with the formatter `params` names (nothing when
    /// none is named). False when the name is unknown (the error and a "Did you mean" line are added
    /// to `output`) or when the formatter reports a problem it wrote in place of part of the result.
    bool PrintResult(const std::shared_ptr<CallSpec::Output>& output, FormatParameters& params,
                     DisplayContext& context);

    // One line of a command file, numbered from 1 with blank and comment lines counted; false when
    // it failed.
    bool HandleInputLine(const std::string& line, std::size_t number, bool secretsFromTerminal);
    // Runs the file (or standard input) that --input names; false when a line failed or the file
    // could not be read to its end.
    bool HandleInputFile(const std::string& path);
    // Printed, once, before the first error of the command-file line being run.
    void PrintInputLineHeader();

    std::string name;
    std::string inputLineHeader;
};

} // namespace Corvane::AutoCli
