// libtarvikaudit stand-in: process-wide audit parameters (key/value texts attached to later actions).
#pragma once

#include <string>

namespace TarvikAudit {

// Sets the audit parameter `key` to `value` and returns its previous value (the empty string when it
// had none). An empty `value` removes the parameter: "unset" and "empty" are the same state. Safe to
// call from several threads.
std::string SetAuditParam(const std::string& key, const std::string& value);

// The current value of `key`, or the empty string when it is not set.
std::string GetAuditParam(const std::string& key);

// Sets an audit parameter for the lifetime of the guard: the constructor calls SetAuditParam and
// keeps the previous value, the destructor puts that previous value back (removing the parameter
// when it had none). Guards on the same key must be destroyed in reverse order of construction,
// as scoped objects are.
class AuditParamOnStack {
public:
    AuditParamOnStack(const std::string& key, const std::string& value);
    ~AuditParamOnStack();
    AuditParamOnStack(const AuditParamOnStack&) = delete;
    AuditParamOnStack& operator=(const AuditParamOnStack&) = delete;

    const std::string& GetKey() const { return key; }
    const std::string& GetPreviousValue() const { return previous; }

private:
    std::string key;
    std::string previous;
};

} // namespace TarvikAudit
