// Format check: what a formatter would report about its parameters, found from a command's declared
// output before the command runs.
#pragma once

#include <corvane/format.h>
#include <corvane/metaobj.h>

#include <string>
#include <vector>

namespace Corvane::AutoCli::Detail {

/// One problem the formatter would write in place of output: the message, and the name that was not
/// found with the names it may have meant (both empty when no suggestion applies).
struct FormatProblem {
    std::string message;
    std::string word;
    std::vector<std::string> candidates;
};

/// The problems that printing a value of the shape `declared` with formatter `formatterName` and
/// `params` would meet: "table" needs a list of structures; for "simple" and "table", the parameters
/// fields:T, fields, table-columns, header:T, units:T.F and printf:T.F must name declared types and
/// fields (dotted paths only for "table", which follows them) and every printf format must fit its
/// field. Other formatters read none of these. Nothing but the kind is checked when the declaration
/// leaves some structure open (a list of structures without its structure, a list of lists), since
/// the result may then hold any type.
std::vector<FormatProblem> CheckFormat(const std::string& formatterName, const MetaObj::MetaObject& declared,
                                       const FormatParameters& params);

} // namespace Corvane::AutoCli::Detail
