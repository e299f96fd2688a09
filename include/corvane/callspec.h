// Call specification: parameters, constraints, input and output of a call.
#pragma once

#include <corvane/exception.h>
#include <corvane/export.h>
#include <corvane/metaobj.h>

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace Corvane::CallSpec {

class Output;
class InputSpec;
class Input;

/// Value type of a command parameter. The list types are exactly the scalar types plus 4, so the
/// element type of any type is `type & ~4`.
enum ParameterType : std::int32_t {
    String = 0,
    Int = 1,
    Bool = 2,
    Flag = 3,
    StringList = 4,
    IntList = 5,
    BoolList = 6,
};

/// Kind of restriction a ParameterConstraint places on the values of a parameter.
enum ParameterConstraintType : std::int32_t {
    None = 0,
    IntRange = 1,
    IntEnum = 2,
    StringEnum = 3,
    StringRegex = 4,
};

/// Longest echo, in bytes, that EchoText shows whole.
constexpr std::size_t kEchoLimit = 200;

/// `text` as a message may repeat it: input that comes from a caller (a word, a value, a path, a
/// line of a command file) must neither flood a terminal nor drive it. Valid UTF-8 characters are
/// kept as they are, backslashes included, so ordinary text comes back unchanged. Control bytes
/// (0x00-0x1f, 0x7f), the C1 controls U+0080-U+009F and bytes that are not valid UTF-8 become \xNN
/// (two upper-case hex digits per byte). When the result would be longer than kEchoLimit bytes it is
/// cut after at most kEchoLimit bytes, never inside a character or an escape, and followed by the
/// mark "... (N bytes)", N being the length of the whole `text`.
CORVANE_API std::string EchoText(const std::string& text);

/// The result of one call: a root typed value plus the error messages gathered on the way.
/// Extended by the command layer, hence the virtual destructor.
class CORVANE_API Output {
public:
    enum OutputType : std::int32_t {
        Normal = 0,
        Help = 2,
    };

    static std::shared_ptr<Output> New();

    Output();
    virtual ~Output();

    void AddErrorMessage(const std::string& message);
    void AddErrorMessage(const char* message);
    void AddErrorMessage(std::string&& message);
    bool HasError() const;
    std::vector<std::string>& GetErrors();
    const std::vector<std::string>& GetErrors() const;

    // An empty pointer clears the root.
    void SetRootObject(const std::shared_ptr<MetaObj::MetaObject>& root);
    void SetRootObject(const std::shared_ptr<MetaObj::MetaStruct>& root);
    void SetRootObject(const std::shared_ptr<MetaObj::MetaList>& root);
    void SetRootObject(const std::shared_ptr<MetaObj::MetaString>& root);
    void SetRootObject(const std::shared_ptr<MetaObj::MetaInt>& root);
    void SetRootObject(const std::shared_ptr<MetaObj::MetaBool>& root);
    void SetRootObject(std::nullptr_t);
    std::shared_ptr<MetaObj::MetaObject> GetRootObject() const;

    void SetOutputType(OutputType outputType);
    OutputType GetOutputType() const;

protected:
    std::vector<std::string> errors;
    std::shared_ptr<MetaObj::MetaObject> rootObject;
    OutputType outputType = Normal;
};

/// The declared result of a command: the expected shape of the root value and a description.
class CORVANE_API OutputSpec {
public:
    static std::shared_ptr<OutputSpec> New();

    OutputSpec();

    // Throws CorvaneException for an empty root; the output specification is then unchanged.
    void SetRootObject(std::shared_ptr<MetaObj::MetaObject>&& root);
    void SetRootObject(const std::shared_ptr<MetaObj::MetaObject>& root);
    void SetRootObject(const std::shared_ptr<MetaObj::MetaStruct>& root);
    void SetRootObject(const std::shared_ptr<MetaObj::MetaList>& root);
    void SetRootObject(const std::shared_ptr<MetaObj::MetaString>& root);
    void SetRootObject(const std::shared_ptr<MetaObj::MetaInt>& root);
    void SetRootObject(const std::shared_ptr<MetaObj::MetaBool>& root);
    void SetRootObject(std::nullptr_t);
    std::shared_ptr<MetaObj::MetaObject> GetRootObject() const;

    void SetDescription(const std::string& text);
    // "Documentation missing" while the description is empty.
    const std::string& GetDescription() const;

    // Compares the declared root (expectation) with the output's root (candidate). Never throws;
    // messages go to `errors` when it is not null.
    bool Validate(const std::shared_ptr<Output>& output, std::vector<std::string>* errors) const;

private:
    static const std::string _docMissingStaticString;

    std::shared_ptr<MetaObj::MetaObject> rootObject;
    std::string description;
};

/// A restriction on the raw values of a parameter beyond its type. Every setter works whatever the
/// type; ToString and Validate read only the fields of the constraint's own type.
class CORVANE_API ParameterConstraint {
public:
    static std::shared_ptr<ParameterConstraint> New(ParameterConstraintType type);

    explicit ParameterConstraint(ParameterConstraintType type);

    ParameterConstraintType GetType() const;

    // Throws when min > max and keeps the previous range.
    void SetIntRange(long min, long max);
    void GetIntRange(long& min, long& max) const;

    // Duplicates throw and add nothing.
    void AddIntEnum(long value);
    void AddStringEnum(std::string value, std::string description = std::string());
    void AddStringEnum(const char* value, const char* description);
    void AddStringEnum(const char* value);

    const std::vector<long>& GetIntEnum() const;
    const std::vector<std::string>& GetStringEnum() const;
    // Only the values that were added with a non-empty description, in byte order of the values.
    const std::map<std::string, std::string>& GetStringEnumWithDesc() const;

    // Not checked here: a pattern that does not compile makes Validate throw boost::regex_error.
    void SetStringRegex(const std::string& pattern);
    const std::string& GetStringRegex() const;

    std::string ToString() const;

    // Checks one raw value of the parameter `name`; on failure appends exactly one message.
    bool Validate(const std::string& value, const std::string& name,
                  const std::shared_ptr<Output>& output) const;

private:
    ParameterConstraintType type;
    long min = 0;
    long max = 0;
    std::vector<long> intEnum;
    std::vector<std::string> stringEnum;
    std::string stringRegex;
    std::map<std::string, std::string> stringEnumWithDesc;
};

/// Declaration of one named option of a command. Setters that refuse a value throw
/// CorvaneException and leave the parameter unchanged.
class CORVANE_API ParameterSpec {
public:
    // The long name must match [a-z0-9-]+; otherwise CorvaneException.
    static std::shared_ptr<ParameterSpec> New(const std::string& name, ParameterType type);
    static std::shared_ptr<ParameterSpec> New(const char* name, ParameterType type);
    static std::shared_ptr<ParameterSpec> New(std::string&& name, ParameterType type);

    ParameterSpec(std::string name, ParameterType type);

    const std::string& GetName() const;
    const std::string& GetShortName() const;
    ParameterType GetParameterType() const;
    ParameterType GetType() const;
    // With `expand`, the first %REGEX%, %ENUM% and %FULLENUM% are filled in from the constraint.
    std::string GetDescription(bool expand) const;
    std::shared_ptr<ParameterConstraint> GetConstraint() const;
    bool IsRequired() const;
    bool IsSecret() const;
    bool AllowMultiple() const;

    void SetShortName(std::string shortName);
    void SetShortName(const char* shortName);
    void SetDescription(std::string text);
    void SetDescription(const char* text);
    void SetRequired(bool required);
    // Only a String parameter may be secret.
    void SetSecret(bool secret);
    // An empty pointer is ignored; a constraint that does not fit the type throws.
    void SetConstraint(const std::shared_ptr<ParameterConstraint>& constraint);

    // The library's one syntax for integer and boolean parameter values. On failure `result` is
    // left unchanged.
    static bool GetInt(const std::string& text, long& result);
    static bool GetBool(const std::string& text, bool& result);

    // Checks all raw values given for this parameter in one call; every value is checked, so
    // several messages may be appended.
    bool Validate(const std::vector<std::string>& values, const std::shared_ptr<Output>& output) const;

private:
    ParameterType type;
    std::string name;
    std::string shortName;
    std::string description;
    std::shared_ptr<ParameterConstraint> constraint;
    bool required = true;
    bool secret = false;
};

/// The input declaration of a command: its parameters in name order and the context names it
/// understands.
class CORVANE_API InputSpec {
public:
    static std::shared_ptr<InputSpec> New();

    InputSpec();

    // Refuses names shorter than 2, duplicate names and duplicate short names; the list is then
    // unchanged.
    void AddParameter(const std::shared_ptr<ParameterSpec>& parameter);
    std::vector<std::shared_ptr<ParameterSpec>> GetParameters() const;
    // The declared parameter with exactly this long name, or an empty pointer.
    std::shared_ptr<ParameterSpec> FindParameter(const std::string& name) const;

    void SetContextSupported(const std::string& name);
    bool IsContextSupported(const std::string& name) const;

    bool Validate(const std::shared_ptr<Input>& input, const std::shared_ptr<Output>& output) const;

private:
    std::vector<std::shared_ptr<ParameterSpec>> parameters;
    std::set<std::string> supportedContexts;
};

/// The input of one call: raw values per parameter name, context values, and the input
/// specification they are checked against. Extended by the command layer, hence the virtual destructor.
class CORVANE_API Input {
public:
    static std::shared_ptr<Input> New();

    Input();
    virtual ~Input();

    void AddParameter(const std::string& name, const std::string& value);
    // Stores `spec` and moves values given under a declared short name to the long name.
    void SetInputSpec(std::shared_ptr<InputSpec> spec);
    std::shared_ptr<InputSpec> GetInputSpec() const;

    void SetContext(const std::string& key, const std::string& value);
    const std::string& GetContext(const std::string& key) const;

    std::map<std::string, std::vector<std::string>>& GetParameters();
    const std::map<std::string, std::vector<std::string>>& GetParameters() const;
    bool HasParameter(const std::string& name) const;
    bool HasParameter(const char* name) const;
    bool IsFlagSet(const std::string& name) const;
    bool IsFlagSet(const char* name) const;

    // The getters below that consult the input specification throw CorvaneException for a name it
    // does not declare (or when no input specification is attached).
    ParameterType GetParameterType(const std::string& name) const;
    const std::string& GetParameter(const std::string& name) const;
    const std::string& GetParameter(const char* name) const;
    // -1 when absent, given several times or not an integer.
    long GetParameterInt(const std::string& name) const;
    long GetParameterInt(const char* name) const;
    bool GetParameterBool(const std::string& name) const;
    bool GetParameterBool(const char* name) const;

    // The list getters append to `out` and need no specification.
    void GetParameterList(const std::string& name, std::vector<std::string>& out) const;
    void GetParameterList(const char* name, std::vector<std::string>& out) const;
    void GetParameterIntList(const std::string& name, std::vector<long>& out) const;
    void GetParameterBoolList(const std::string& name, std::vector<bool>& out) const;
    std::string GetParameterListAsString(const std::string& name, char separator, bool quote) const;

protected:
    std::map<std::string, std::vector<std::string>> parameters;
    std::map<std::string, std::string> context;
    std::shared_ptr<InputSpec> inputSpec;

private:
    static const std::string _emptyString;
};

/// Something that declares the input and output of a call.
class CORVANE_API CallTargetSpec {
public:
    virtual ~CallTargetSpec();
    virtual std::shared_ptr<InputSpec> GetInputSpec() = 0;
    virtual std::shared_ptr<OutputSpec> GetOutputSpec() = 0;
};

/// Something that can be called: fills `output` (root object, errors, output type) from `input`.
class CORVANE_API CallTarget {
public:
    virtual ~CallTarget();
    virtual void Execute(const std::shared_ptr<Input>& input, const std::shared_ptr<Output>& output) = 0;
};

} // namespace Corvane::CallSpec
