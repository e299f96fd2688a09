// AutoCli_IsValidName: the rule every name registered in the command tree must satisfy.
#include <corvane/tree.h>

namespace Corvane::AutoCli {

namespace {

bool IsLowerOrDigit(char c) {
    return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
}

bool IsUpper(char c) {
    return c >= 'A' && c <= 'Z';
}

} // namespace

bool AutoCli_IsValidName(const std::string& name) {
    // The rule is "([a-z0-9]+[A-Z0-9]{0,1})+" matched in full: runs of lower-case letters and
    // digits, each upper-case letter between two runs or at the very end. So: a lower-case letter or
    // digit first, then letters and digits with no two upper-case letters side by side. Checked by
    // hand because every registered node goes through it and a regular expression costs more than
    // the rest of the registration.
    if (name.empty() || !IsLowerOrDigit(name[0])) {
        return false;
    }
    for (std::size_t i = 1; i < name.size(); ++i) {
        if (IsUpper(name[i])) {
            if (IsUpper(name[i - 1])) {
                return false;
            }
        } else if (!IsLowerOrDigit(name[i])) {
            return false;
        }
    }
    return true;
}

} // namespace Corvane::AutoCli
