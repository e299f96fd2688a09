// Completion: the candidate lists shared by the command-line walk and the line writer.
#pragma once

#include <corvane/callspec.h>
#include <corvane/completion.h>
#include <corvane/dispatch.h>

#include <string>

namespace Corvane::AutoCli::CompletionDetail {

/// What follows a dispatcher option: how its value completes.
enum class DispatcherValue { None, Formatter, File, Directory, Field };

/// A dispatcher option as completion knows it. The help options take a value in the grammar like
/// every option word, but it means nothing, so it completes to nothing.
struct DispatcherOption {
    const char* name;
    const char* description;
    DispatcherValue value;
};
/// The dispatcher option named `name` (without dashes), or nullptr.
const DispatcherOption* FindDispatcherOption(const std::string& name);

/// The dispatcher options, "-h" and "--help" included, that begin with `word`.
Completion DispatcherOptions(const std::string& word);
/// The value of dispatcher option `option` for `word`; `prefix` ("--name=" or empty) is in front of
/// the value inside the word.
Completion DispatcherOptionValue(Dispatcher& dispatcher, const DispatcherOption& option,
                                 const std::string& prefix, const std::string& word);
/// The children of `node` whose names begin with `word`.
Completion Children(NamespaceNode& node, const std::string& word);
/// The options of `spec` not in `given` (long names), list options always; short names only when
/// `word` begins with a dash.
Completion CommandOptions(const CallSpec::InputSpec& spec, const std::vector<std::string>& given,
                          const std::string& word);
/// The values of `parameter`: its enumeration, or true and false for a boolean, with `prefix` in
/// front of each.
Completion ParameterValues(const CallSpec::ParameterSpec& parameter, const std::string& prefix,
                           const std::string& word);

} // namespace Corvane::AutoCli::CompletionDetail
