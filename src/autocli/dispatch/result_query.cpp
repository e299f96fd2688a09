// ResultQuery: reading conditions, sort keys and limits against a declared output, and applying them.
#include <corvane/query.h>

#include <corvane/callspec.h>
#include <corvane/exception.h>

#include "autocli/dispatch/close_name.h"
#include "regex/regex_pattern.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <exception>
#include <initializer_list>
#include <limits>
#include <string_view>

namespace Corvane::AutoCli {

namespace {

using MetaObj::MetaObject;
using MetaObj::MetaStruct;
using MetaObj::MetaType;

enum class Operator { Equal, NotEqual, Less, LessEqual, Greater, GreaterEqual, Search };

const char* const kOperatorList = "== != < <= > >= =~";

std::string Concat(std::initializer_list<std::string_view> parts) {
    std::string text;
    for (const std::string_view part : parts) {
        text.append(part);
    }
    return text;
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

bool IsOperatorChar(char c) {
    return c == '=' || c == '!' || c == '<' || c == '>';
}

std::string KindName(const MetaObject& value) {
    switch (value.GetType()) {
    case MetaType::Int:
        return "an integer";
    case MetaType::Bool:
        return "a boolean";
    case MetaType::String:
        return "a string";
    case MetaType::Struct:
        return "a structure";
    case MetaType::List:
        break;
    }
    switch (static_cast<const MetaObj::MetaList&>(value).GetListType()) {
    case MetaType::Int:
        return "a list of integers";
    case MetaType::Bool:
        return "a list of booleans";
    case MetaType::String:
        return "a list of strings";
    default:
        return "a list of structures";
    }
}

// Decimal with an optional sign, the whole text, within 64 bits.
bool ReadInteger(const std::string& text, long& result) {
    if (text.empty() || !(text[0] == '+' || text[0] == '-' || (text[0] >= '0' && text[0] <= '9'))) {
        return false;
    }
    errno = 0;
    char* end = nullptr;
    const long long value = std::strtoll(text.c_str(), &end, 10);
    if (errno == ERANGE || end != text.c_str() + text.size()) {
        return false;
    }
    result = static_cast<long>(value);
    return true;
}

// The field `path` names, or nullptr; the path's last part must be a value of `type`.
const MetaObject* Lookup(const MetaStruct& row, const std::vector<std::string>& path, MetaType type) {
    const MetaStruct* structure = &row;
    const MetaObject* value = nullptr;
    for (std::size_t i = 0; i < path.size(); ++i) {
        const auto& fields = structure->GetFields();
        const auto found = fields.find(path[i]);
        if (found == fields.end()) {
            return nullptr;
        }
        value = found->second.value.get();
        if (i + 1 < path.size()) {
            if (value->GetType() != MetaType::Struct) {
                return nullptr;
            }
            structure = static_cast<const MetaStruct*>(value);
        }
    }
    return value != nullptr && value->GetType() == type ? value : nullptr;
}

// -1, 0 or 1: `a` against `b`, both of `type`.
int Compare(const MetaObject& a, const MetaObject& b, MetaType type) {
    switch (type) {
    case MetaType::Int: {
        const long x = static_cast<const MetaObj::MetaInt&>(a).GetValue();
        const long y = static_cast<const MetaObj::MetaInt&>(b).GetValue();
        return x < y ? -1 : (y < x ? 1 : 0);
    }
    case MetaType::Bool: {
        const bool x = static_cast<const MetaObj::MetaBool&>(a).GetValue();
        const bool y = static_cast<const MetaObj::MetaBool&>(b).GetValue();
        return x == y ? 0 : (x ? 1 : -1);
    }
    default: {
        const int c = static_cast<const MetaObj::MetaString&>(a).GetValue().compare(
            static_cast<const MetaObj::MetaString&>(b).GetValue());
        return c < 0 ? -1 : (c > 0 ? 1 : 0);
    }
    }
}

} // namespace

struct ResultQuery::Prepared {
    struct Condition {
        std::vector<std::string> path;
        MetaType type = MetaType::String;
        Operator op = Operator::Equal;
        std::shared_ptr<MetaObject> value;
        std::shared_ptr<const Corvane::Detail::RegexPattern> pattern;
    };
    struct SortKey {
        std::vector<std::string> path;
        MetaType type = MetaType::String;
        bool descending = false;
    };
    std::vector<Condition> conditions;
    std::vector<SortKey> keys;
    bool hasLimit = false;
    std::size_t limit = 0;

    bool Keeps(const MetaStruct& row) const {
        for (const Condition& condition : conditions) {
            const MetaObject* value = Lookup(row, condition.path, condition.type);
            if (value == nullptr) {
                return false;
            }
            if (condition.op == Operator::Search) {
                const std::string& text = static_cast<const MetaObj::MetaString*>(value)->GetValue();
                // A search the regex engine gives up on (too complex for the text) finds nothing.
                bool found = false;
                try {
                    found = !condition.pattern->FindAll(text).empty();
                } catch (const std::exception&) {
                    found = false;
                }
                if (!found) {
                    return false;
                }
                continue;
            }
            const int c = Compare(*value, *condition.value, condition.type);
            bool holds = false;
            switch (condition.op) {
            case Operator::Equal:
                holds = c == 0;
                break;
            case Operator::NotEqual:
                holds = c != 0;
                break;
            case Operator::Less:
                holds = c < 0;
                break;
            case Operator::LessEqual:
                holds = c <= 0;
                break;
            case Operator::Greater:
                holds = c > 0;
                break;
            case Operator::GreaterEqual:
                holds = c >= 0;
                break;
            case Operator::Search:
                break;
            }
            if (!holds) {
                return false;
            }
        }
        return true;
    }
};

namespace {

// Resolves a dotted field name against the list's structure definition. On failure says why in
// `errors` (with a close name when there is one) and returns false.
bool ResolveField(const MetaStruct& definition, const std::string& field, const std::string& option,
                  std::vector<std::string>& path, MetaType& type, std::vector<std::string>& errors) {
    path.clear();
    std::size_t start = 0;
    while (true) {
        const std::size_t dot = field.find('.', start);
        path.push_back(field.substr(start, dot == std::string::npos ? std::string::npos : dot - start));
        if (dot == std::string::npos) {
            break;
        }
        start = dot + 1;
    }
    const MetaStruct* structure = &definition;
    std::string prefix;
    for (std::size_t i = 0; i < path.size(); ++i) {
        const auto& fields = structure->GetFields();
        const auto found = path[i].empty() ? fields.end() : fields.find(path[i]);
        if (found == fields.end()) {
            errors.push_back(Concat({option, ": unknown field '", field, "': structure ",
                                     structure->GetTypeName(), " has no field '", path[i], "'"}));
            std::vector<std::string> candidates;
            candidates.reserve(fields.size());
            for (const auto& entry : fields) {
                candidates.push_back(prefix + entry.first);
            }
            if (std::string hint = Detail::DidYouMean(prefix + path[i], candidates); !hint.empty()) {
                errors.push_back(std::move(hint));
            }
            return false;
        }
        const MetaObject& value = *found->second.value;
        if (i + 1 < path.size()) {
            if (value.GetType() != MetaType::Struct) {
                errors.push_back(Concat({option, ": field '", prefix, path[i], "' is ", KindName(value),
                                         ", not a structure: '", field, "' names nothing"}));
                return false;
            }
            structure = static_cast<const MetaStruct*>(&value);
            prefix += path[i] + ".";
            continue;
        }
        if (value.GetType() == MetaType::Struct || value.GetType() == MetaType::List) {
            errors.push_back(Concat({option, ": field '", field, "' is ", KindName(value),
                                     ", not a string, integer or boolean"}));
            return false;
        }
        type = value.GetType();
    }
    return true;
}

// Splits "FIELD OP VALUE"; false when the text does not have that form.
bool SplitCondition(const std::string& text, std::string& field, Operator& op, std::string& value) {
    std::size_t i = 0;
    while (i < text.size() && IsBlank(text[i])) {
        ++i;
    }
    const std::size_t start = i;
    while (i < text.size() && !IsBlank(text[i]) && !IsOperatorChar(text[i])) {
        ++i;
    }
    field = text.substr(start, i - start);
    while (i < text.size() && IsBlank(text[i])) {
        ++i;
    }
    static const struct {
        const char* text;
        Operator op;
    } operators[] = {{"==", Operator::Equal},        {"!=", Operator::NotEqual}, {"<=", Operator::LessEqual},
                     {">=", Operator::GreaterEqual}, {"=~", Operator::Search},   {"<", Operator::Less},
                     {">", Operator::Greater}};
    bool found = false;
    for (const auto& candidate : operators) {
        const std::string symbol = candidate.text;
        if (text.compare(i, symbol.size(), symbol) == 0) {
            op = candidate.op;
            i += symbol.size();
            found = true;
            break;
        }
    }
    if (!found || field.empty()) {
        return false;
    }
    while (i < text.size() && IsBlank(text[i])) {
        ++i;
    }
    value = text.substr(i);
    return true;
}

std::shared_ptr<MetaObject> ReadValue(const std::string& text, MetaType type) {
    if (type == MetaType::Int) {
        long number = 0;
        return ReadInteger(text, number) ? MetaObj::MetaInt::New(number) : nullptr;
    }
    if (type == MetaType::Bool) {
        bool truth = false;
        return CallSpec::ParameterSpec::GetBool(text, truth) ? MetaObj::MetaBool::New(truth) : nullptr;
    }
    return MetaObj::MetaString::New(text);
}

} // namespace

ResultQuery::ResultQuery() = default;
ResultQuery::~ResultQuery() = default;
ResultQuery::ResultQuery(const ResultQuery&) = default;
ResultQuery& ResultQuery::operator=(const ResultQuery&) = default;
ResultQuery::ResultQuery(ResultQuery&&) noexcept = default;
ResultQuery& ResultQuery::operator=(ResultQuery&&) noexcept = default;

void ResultQuery::AddWhere(const std::string& condition) {
    conditions.push_back(condition);
    prepared.reset();
}

void ResultQuery::SetSort(const std::string& keys) {
    sortKeys = keys;
    hasSort = true;
    prepared.reset();
}

void ResultQuery::SetLimit(const std::string& count) {
    limitText = count;
    hasLimit = true;
    prepared.reset();
}

bool ResultQuery::IsEmpty() const {
    return conditions.empty() && !hasSort && !hasLimit;
}

bool ResultQuery::Prepare(const std::shared_ptr<MetaObj::MetaObject>& declared,
                          std::vector<std::string>& errors) {
    prepared.reset();
    if (IsEmpty()) {
        return true;
    }
    const std::size_t before = errors.size();
    auto next = std::make_shared<Prepared>();

    // The limit needs no declaration; it is read first so that its problem shows whatever the result.
    if (hasLimit) {
        long count = 0;
        if (!ReadInteger(limitText, count) || count < 0 || limitText[0] == '+' || limitText[0] == '-') {
            errors.push_back("--limit: '" + limitText + "' is not a number of rows (0 or more)");
        } else {
            next->hasLimit = true;
            next->limit = static_cast<std::size_t>(count);
        }
    }

    const MetaStruct* definition = nullptr;
    if (declared && declared->GetType() == MetaType::List &&
        static_cast<const MetaObj::MetaList&>(*declared).GetListType() == MetaType::Struct) {
        definition = static_cast<const MetaObj::MetaList&>(*declared).GetListStructure().get();
    }
    if (definition == nullptr) {
        errors.push_back(
            std::string("--where, --sort and --limit need a result that is a list of structures; ") +
            "this command's result is " + (declared ? KindName(*declared) : "not declared"));
        return false;
    }

    for (const std::string& text : conditions) {
        Prepared::Condition condition;
        std::string field;
        std::string value;
        if (!SplitCondition(text, field, condition.op, value)) {
            errors.push_back("--where: unable to read '" + text +
                             "': expected FIELD OP VALUE with OP one of " + kOperatorList);
            continue;
        }
        if (!ResolveField(*definition, field, "--where", condition.path, condition.type, errors)) {
            continue;
        }
        if (condition.op == Operator::Search) {
            if (condition.type != MetaType::String) {
                errors.push_back("--where: =~ needs a string field; '" + field + "' is " +
                                 (condition.type == MetaType::Int ? "an integer" : "a boolean"));
                continue;
            }
            try {
                condition.pattern = std::make_shared<const Corvane::Detail::RegexPattern>(value);
            } catch (const CorvaneException&) {
                throw;
            } catch (const std::exception&) {
                errors.push_back("--where: '" + value + "' is not a valid regular expression");
                continue;
            }
        } else {
            condition.value = ReadValue(value, condition.type);
            if (!condition.value) {
                errors.push_back(Concat({"--where: '", value, "' is not ",
                                         condition.type == MetaType::Int ? "a 64-bit integer" : "a boolean",
                                         ", as field '", field, "' needs"}));
                continue;
            }
        }
        next->conditions.push_back(std::move(condition));
    }

    if (hasSort) {
        std::size_t start = 0;
        while (true) {
            const std::size_t comma = sortKeys.find(',', start);
            std::string key =
                sortKeys.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
            Prepared::SortKey sortKey;
            if (!key.empty() && key[0] == '-') {
                sortKey.descending = true;
                key.erase(0, 1);
            }
            if (key.empty()) {
                errors.push_back("--sort: unable to read '" + sortKeys +
                                 "': expected [-]FIELD[,[-]FIELD...]");
                break;
            }
            if (ResolveField(*definition, key, "--sort", sortKey.path, sortKey.type, errors)) {
                next->keys.push_back(std::move(sortKey));
            }
            if (comma == std::string::npos) {
                break;
            }
            start = comma + 1;
        }
    }

    if (errors.size() != before) {
        return false;
    }
    prepared = std::move(next);
    return true;
}

void ResultQuery::Apply(const std::shared_ptr<MetaObj::MetaObject>& result) const {
    if (!prepared || !result || result->GetType() != MetaType::List) {
        return;
    }
    auto& list = static_cast<MetaObj::MetaList&>(*result);
    if (list.GetListType() != MetaType::Struct) {
        return;
    }
    std::vector<std::shared_ptr<MetaObject>>& objects = list.GetObjects();

    if (!prepared->conditions.empty()) {
        auto kept = std::stable_partition(objects.begin(), objects.end(), [this](const auto& row) {
            return prepared->Keeps(static_cast<const MetaStruct&>(*row));
        });
        objects.erase(kept, objects.end());
    }

    if (!prepared->keys.empty()) {
        // Each row's key values are looked up once, not at every comparison.
        struct Row {
            std::shared_ptr<MetaObject> object;
            std::vector<const MetaObject*> keys;
        };
        std::vector<Row> rows;
        rows.reserve(objects.size());
        for (auto& object : objects) {
            Row row{std::move(object), {}};
            row.keys.reserve(prepared->keys.size());
            for (const auto& key : prepared->keys) {
                row.keys.push_back(Lookup(static_cast<const MetaStruct&>(*row.object), key.path, key.type));
            }
            rows.push_back(std::move(row));
        }
        const auto& keys = prepared->keys;
        std::stable_sort(rows.begin(), rows.end(), [&keys](const Row& a, const Row& b) {
            for (std::size_t i = 0; i < keys.size(); ++i) {
                const MetaObject* x = a.keys[i];
                const MetaObject* y = b.keys[i];
                if (x == nullptr || y == nullptr) {
                    if (x != y) {
                        return x == nullptr;
                    }
                    continue;
                }
                const int c = Compare(*x, *y, keys[i].type);
                if (c != 0) {
                    return keys[i].descending ? c > 0 : c < 0;
                }
            }
            return false;
        });
        for (std::size_t i = 0; i < rows.size(); ++i) {
            objects[i] = std::move(rows[i].object);
        }
    }

    if (prepared->hasLimit && objects.size() > prepared->limit) {
        objects.erase(objects.begin() + static_cast<std::ptrdiff_t>(prepared->limit), objects.end());
    }
}

} // namespace Corvane::AutoCli
