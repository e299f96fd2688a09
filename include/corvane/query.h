// ResultQuery: filtering, ordering and cutting a result that is a list of structures.
#pragma once

#include <corvane/export.h>
#include <corvane/metaobj.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace Corvane::AutoCli {

/// A query on a command's result: conditions that every kept row must meet, sort keys and a row
/// limit, applied to a result that is a list of structures before it is printed.
///
/// The query is written as text (the words of --where, --sort and --limit) and read in two steps.
/// Prepare resolves every field against the command's declared output and reads every value as the
/// type of its field, so that a misspelt field or a value of the wrong type is refused before the
/// command runs; Apply then filters, sorts (stably) and cuts the actual result in place.
///
/// Grammar:
/// - a condition is "FIELD OP VALUE": FIELD a field name, "A.B" reaching into nested structures; OP
///   one of == != < <= > >= =~ (blanks around it optional); VALUE the rest of the text. Integers are
///   decimal signed 64-bit numbers, booleans the words a boolean parameter accepts (1 yes y true True
///   t T, 0 no n false False f F), strings taken as given. =~ searches the string field for the
///   regular expression (Perl syntax) anywhere in it.
/// - sort keys are "[-]FIELD[,[-]FIELD...]"; "-" sorts that key in descending order. Strings order
///   byte-wise, integers numerically, false before true; rows equal on every key keep their order.
/// - the limit is a decimal count of rows, 0 or more, kept from the front after sorting.
class CORVANE_API ResultQuery {
public:
    ResultQuery();
    ~ResultQuery();
    ResultQuery(const ResultQuery&);
    ResultQuery& operator=(const ResultQuery&);
    ResultQuery(ResultQuery&&) noexcept;
    ResultQuery& operator=(ResultQuery&&) noexcept;

    /// Adds a condition; all conditions must hold for a row to be kept.
    void AddWhere(const std::string& condition);
    /// Sets the sort keys, replacing earlier ones.
    void SetSort(const std::string& keys);
    /// Sets the row limit, replacing an earlier one.
    void SetLimit(const std::string& count);

    /// True when no condition, sort key or limit was given: the query leaves every result as it is.
    bool IsEmpty() const;

    /// Reads the query against `declared`, the declared output of the command (null when it declares
    /// none). Every problem is appended to `errors`, a field that names nothing followed by a line
    /// "Did you mean 'X'?" when a field comes close; returns true when there was none. An empty query
    /// is always accepted.
    bool Prepare(const std::shared_ptr<MetaObj::MetaObject>& declared, std::vector<std::string>& errors);

    /// Filters, sorts and cuts `result` in place. Does nothing for an empty query, and for a query
    /// that was not prepared successfully, and for a result that is not a list of structures. A row
    /// that lacks a field a condition reads is dropped; a row that lacks a sort field sorts first.
    void Apply(const std::shared_ptr<MetaObj::MetaObject>& result) const;

private:
    struct Prepared;

    std::vector<std::string> conditions;
    std::string sortKeys;
    std::string limitText;
    bool hasSort = false;
    bool hasLimit = false;
    // Filled by a successful Prepare; shared between copies, never changed once made.
    std::shared_ptr<const Prepared> prepared;
};

} // namespace Corvane::AutoCli
