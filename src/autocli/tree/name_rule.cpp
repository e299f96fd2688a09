// AutoCli_IsValidName: the rule every name registered in the command tree must satisfy.
#include <corvane/tree.h>

#include <boost/regex.hpp>

namespace Corvane::AutoCli {

bool AutoCli_IsValidName(const std::string& name) {
    // The rule is "([a-z0-9]+[A-Z0-9]{0,1})+" matched in full. That nested form backtracks
    // exponentially on a near-miss (ten letters and a hyphen already exceed Boost's complexity
    // bound, which then throws), so the same language is written without ambiguity: runs of
    // lower-case letters and digits, each upper-case letter between two runs or at the very end.
    static const boost::regex pattern("[a-z0-9]+(?:[A-Z][a-z0-9]+)*[A-Z]?");
    return boost::regex_match(name, pattern);
}

} // namespace Corvane::AutoCli
