// Output formatting: format parameters, the formatter interface and the built-in formatters.
#pragma once

#include <corvane/exception.h>
#include <corvane/export.h>

#include <cstdint>
#include <map>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

namespace Corvane::MetaObj {
class MetaObject;
class MetaStruct;
class MetaList;
} // namespace Corvane::MetaObj

namespace Corvane::CallSpec {
class Output;
} // namespace Corvane::CallSpec

namespace Corvane::AutoCli {

/// Caller-supplied options that steer a formatter: the formatter's name and a key/value map.
///
/// Keys are plain keywords ("fields", "wrap-last"), keyword:TypeName ("fields:Pet") or
/// keyword:TypeName.FieldName ("units:Pet.Age"). List values hold comma-separated items.
class CORVANE_API FormatParameters {
public:
    FormatParameters();

    void SetFormatter(std::string name);
    void SetFormatter(const char* name);
    const std::string& GetFormatter() const;

    const std::map<std::string, std::string>& GetParameters() const;
    /// True also for a key that is present with an empty value.
    bool HasParameter(const std::string& key) const;
    /// The value, or a reference to one shared empty string when the key is absent.
    const std::string& GetParameter(const std::string& key) const;
    void SetParameter(const char* key, const char* value);
    void SetParameter(std::string key, std::string value);

    /// Takes `other`'s formatter name when it is not empty, and sets every key of `other` here.
    /// Keys only this object has stay; nothing is removed.
    void OverrideValues(FormatParameters& other);

    /// The value split at commas. Items are not trimmed; empty items are kept except the one after a
    /// final comma, and an empty value gives an empty list.
    std::vector<std::string> GetParameterAsList(const std::string& key) const;

private:
    std::string formatterName;
    std::map<std::string, std::string> parameters;
};

/// Declaration of one parameter a formatter understands, shown to users as help.
struct CORVANE_API FormatterParam {
    FormatterParam(std::string name, std::string description, bool marked = false);

    std::string name;        ///< the key pattern as shown to users, e.g. "fields:<TypeName>"
    std::string description; ///< help text
    bool marked;             ///< handed out with the declaration; nothing in the library reads it
};

/// Terminal description handed to every formatter; 0 means "unknown".
struct CORVANE_API DisplayContext {
    uint16_t width = 0;
    uint16_t height = 0;
    std::string text;
};

/// Base of all formatters. A formatter keeps no state that changes per call, so one instance serves
/// any number of calls.
class CORVANE_API Formatter {
public:
    explicit Formatter(const std::string& name);
    virtual ~Formatter();

    /// Prints the root object of `output` to `out`. False tells the command-line front end that a
    /// problem was written in place of part of the result, which makes the call fail.
    virtual bool Format(const std::shared_ptr<CallSpec::Output>& output, FormatParameters& params,
                        DisplayContext& context, std::ostream& out) = 0;

    const std::string& GetName() const;
    const std::string& GetDescription() const;
    const std::vector<FormatterParam>& GetParams() const;

protected:
    /// For subclass constructors: set the one-sentence description and declare parameters in the
    /// order they should be listed.
    void SetDescription(const std::string& text);
    void AddParam(const std::string& paramName, const std::string& paramDescription, bool marked = false);

    std::string description;
    std::vector<FormatterParam> params;
    std::string name;
};

/// Indentation text for a nesting level: three spaces per level, nothing at level 0 or below.
CORVANE_API std::string GetIndent(int level);

/// Display text of one scalar field with the "printf:Type.Field" and "units:Type.Field" parameters
/// applied. Never throws: a null value reads "NULL Object", a failing printf format gives an error text.
CORVANE_API std::string AutoCli_FormatField(const std::string& typeName, const std::string& fieldName,
                                            std::shared_ptr<MetaObj::MetaObject> value,
                                            FormatParameters& params);

/// Writes `text` to `out` word-wrapped to `width` columns, continuation lines starting at column
/// `indent`. A broken line ends with `wrapMarker` (a space when it is NUL). With `splitNewlines` the
/// newlines of `text` are hard line breaks.
CORVANE_API void AutoCli_FitString(const int& indent, const int& width, const std::string& text,
                                   bool skipIndent, std::ostream& out, bool newlineAtEnd, char wrapMarker,
                                   bool splitNewlines);

/// "simple": indented "name: value" lines under a header line per structure, for any result.
class CORVANE_API SimpleFormatter : public Formatter {
public:
    SimpleFormatter();
    static std::shared_ptr<SimpleFormatter> New();

    /// Returns false when it wrote a problem in place of a value (a field the field list names that
    /// the structure lacks, a printf format that does not fit, a value not of its kind's class).
    bool Format(const std::shared_ptr<CallSpec::Output>& output, FormatParameters& params,
                DisplayContext& context, std::ostream& out) override;

    /// Prints any value at a nesting level; the three operations call each other recursively.
    void Format(std::shared_ptr<MetaObj::MetaObject> value, FormatParameters& params, std::ostream& out,
                int level);
    void FormatStruct(std::shared_ptr<MetaObj::MetaStruct> value, FormatParameters& params, std::ostream& out,
                      int level);
    void FormatList(std::shared_ptr<MetaObj::MetaList> value, FormatParameters& params, std::ostream& out,
                    int level);
};

/// "table": a list of structures as a text table, one row per element and one column per field.
class CORVANE_API TableFormatter : public Formatter {
public:
    TableFormatter();
    static std::shared_ptr<TableFormatter> New();

    /// Returns false after printing an error line for a bad element or an unknown column, and after
    /// printing a table with a printf error in some cell; throws CorvaneException when the root object
    /// is not a list of structures.
    bool Format(const std::shared_ptr<CallSpec::Output>& output, FormatParameters& params,
                DisplayContext& context, std::ostream& out) override;
};

/// The value at a column path: a field name, or field names joined by '.' through nested structures.
/// Null when a segment is missing or a segment before the last is not a structure.
CORVANE_API std::shared_ptr<MetaObj::MetaObject> GetSubField(std::shared_ptr<MetaObj::MetaStruct> value,
                                                             const std::string& path);

/// "commandhelp": the --help text of one command from a "VarnokCommandHelp" structure.
class CORVANE_API CommandHelpFormatter : public Formatter {
public:
    CommandHelpFormatter();
    static std::shared_ptr<CommandHelpFormatter> New();

    bool Format(const std::shared_ptr<CallSpec::Output>& output, FormatParameters& params,
                DisplayContext& context, std::ostream& out) override;
};

/// The text of a string field; empty when the field is missing or not a string.
CORVANE_API std::string GetStringField(std::shared_ptr<MetaObj::MetaStruct> value, const std::string& name);

/// "clihelp": usage text and the namespaces and commands below a node, from a "VarnokCommandPrint"
/// structure.
class CORVANE_API CliDispatcherHelpFormatter : public Formatter {
public:
    CliDispatcherHelpFormatter();
    static std::shared_ptr<CliDispatcherHelpFormatter> New();

    bool Format(const std::shared_ptr<CallSpec::Output>& output, FormatParameters& params,
                DisplayContext& context, std::ostream& out) override;

    /// Sets `result` to the string field `name` and returns true; otherwise sets it to "<name>" and
    /// returns false.
    static bool ExtractString(const std::string& name, std::shared_ptr<MetaObj::MetaStruct> value,
                              std::string& result);

    /// Prints the "Available <type>s:" section: the elements of `list` whose "Type" is `type`, as a
    /// table of Name and Description.
    void HandleList(const std::string& type, std::shared_ptr<MetaObj::MetaList> list, DisplayContext& context,
                    std::ostream& out);
};

// Machine-readable formatters: JSON, Python and XML.

/// "json": the result as JSON text with a fixed line-oriented layout. Strings are escaped to ASCII:
/// characters outside printable ASCII as \uXXXX of their code point (a surrogate pair above U+FFFF),
/// bytes that are not part of valid UTF-8 as \u00XX of the byte. Takes no parameters.
class CORVANE_API JsonFormatter : public Formatter {
public:
    JsonFormatter();
    static std::shared_ptr<JsonFormatter> New();

    /// Writes the root object at level -1 and a final newline; returns true.
    bool Format(const std::shared_ptr<CallSpec::Output>& output, FormatParameters& params,
                DisplayContext& context, std::ostream& out) override;
    /// Writes one value; structures and lists open on a new line at the indent of `level`.
    void Format(std::shared_ptr<MetaObj::MetaObject> value, std::ostream& out, int level);
};

/// "python": the result as one Python expression on one line, for eval(). Strings are triple-quoted
/// literals that evaluate to their text; a byte that is not part of valid UTF-8 is written so that
/// encoding the string with "surrogateescape" gives it back. Takes no parameters.
class CORVANE_API PythonFormatter : public Formatter {
public:
    PythonFormatter();
    static std::shared_ptr<PythonFormatter> New();

    /// Writes the root object and a final newline; returns true. Throws CorvaneException for a null
    /// value anywhere in the tree, leaving what was written so far.
    bool Format(const std::shared_ptr<CallSpec::Output>& output, FormatParameters& params,
                DisplayContext& context, std::ostream& out) override;
    /// Writes one value; `level` is passed on but does not change the output.
    void Format(std::shared_ptr<MetaObj::MetaObject> value, std::ostream& out, int level);

    /// True when every byte of `text` is below 0x80 (the empty text included).
    static bool IsAllAscii(const std::string& text);
};

/// "xml": the result as an XML document with a meta-data section listing the format parameters;
/// the "stylesheet" parameter adds an xml-stylesheet instruction naming it.
class CORVANE_API XmlFormatter : public Formatter {
public:
    XmlFormatter();
    static std::shared_ptr<XmlFormatter> New();

    /// Writes the whole document; returns true.
    bool Format(const std::shared_ptr<CallSpec::Output>& output, FormatParameters& params,
                DisplayContext& context, std::ostream& out) override;
    /// Writes the element of one value, each line starting at the indent of `level`.
    void Format(std::shared_ptr<MetaObj::MetaObject> value, std::ostream& out, int level);
};

/// `text` with & < > % " ' replaced by "&amp;", "&lt;", "&gt;", "&#37;", "&quot;" and "&apos;".
CORVANE_API std::string SantizeString(std::string text);

} // namespace Corvane::AutoCli
