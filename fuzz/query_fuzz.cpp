// Fuzz target of result queries: rows and query text from the input; a query the library accepts
// must keep exactly the rows, in exactly the order, that a plain evaluation written here keeps, and
// the library must accept exactly the queries this evaluation can read.
//
// Input: a row count byte, then per row the bytes of its values; the rest is the query, one line each:
// "w CONDITION", "s KEYS" or "l COUNT" (other lines are ignored).
#include "fuzz_support.h"

#include <corvane/metaobj.h>
#include <corvane/query.h>

#include <boost/regex.hpp>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using Corvane::Fuzz::ByteReader;
using Corvane::Fuzz::Fail;
using namespace Corvane::MetaObj;

// The declared row: Id, A (string), B (int), C (bool), N.S (string), N.I (int).
struct Row {
    long id = 0;
    std::string a;
    long b = 0;
    bool c = false;
    std::string s;
    long i = 0;
};

enum class Kind { None, String, Int, Bool };

Kind KindOf(const std::string& field) {
    if (field == "A" || field == "N.S") {
        return Kind::String;
    }
    if (field == "Id" || field == "B" || field == "N.I") {
        return Kind::Int;
    }
    return field == "C" ? Kind::Bool : Kind::None;
}

// The field's value as one of three slots.
struct Value {
    std::string text;
    long number = 0;
    bool truth = false;
};

Value Get(const Row& row, const std::string& field) {
    Value v;
    if (field == "A") {
        v.text = row.a;
    } else if (field == "N.S") {
        v.text = row.s;
    } else if (field == "Id") {
        v.number = row.id;
    } else if (field == "B") {
        v.number = row.b;
    } else if (field == "N.I") {
        v.number = row.i;
    } else {
        v.truth = row.c;
    }
    return v;
}

int Compare(const Value& x, const Value& y, Kind kind) {
    if (kind == Kind::String) {
        // Byte-wise, as unsigned bytes.
        const std::size_t n = std::min(x.text.size(), y.text.size());
        for (std::size_t k = 0; k < n; ++k) {
            const unsigned char p = static_cast<unsigned char>(x.text[k]);
            const unsigned char q = static_cast<unsigned char>(y.text[k]);
            if (p != q) {
                return p < q ? -1 : 1;
            }
        }
        return x.text.size() == y.text.size() ? 0 : (x.text.size() < y.text.size() ? -1 : 1);
    }
    if (kind == Kind::Int) {
        return x.number == y.number ? 0 : (x.number < y.number ? -1 : 1);
    }
    return x.truth == y.truth ? 0 : (x.truth ? 1 : -1);
}

struct Condition {
    std::string field;
    std::string op;
    Kind kind = Kind::None;
    Value value;
    std::shared_ptr<boost::regex> pattern;
};

struct Key {
    std::string field;
    Kind kind = Kind::None;
    bool descending = false;
};

bool Blank(char c) {
    return c == ' ' || c == '\t';
}

bool ReadNumber(const std::string& text, long& number) {
    if (text.empty() || std::string("+-0123456789").find(text[0]) == std::string::npos) {
        return false;
    }
    errno = 0;
    char* end = nullptr;
    const long long n = std::strtoll(text.c_str(), &end, 10);
    if (errno != 0 || end != text.c_str() + text.size()) {
        return false;
    }
    number = static_cast<long>(n);
    return true;
}

bool ReadCondition(const std::string& text, Condition& condition) {
    std::size_t k = 0;
    while (k < text.size() && Blank(text[k])) {
        ++k;
    }
    while (k < text.size() && !Blank(text[k]) && std::string("=!<>").find(text[k]) == std::string::npos) {
        condition.field += text[k++];
    }
    while (k < text.size() && Blank(text[k])) {
        ++k;
    }
    for (const char* op : {"==", "!=", "<=", ">=", "=~", "<", ">"}) {
        if (text.compare(k, std::string(op).size(), op) == 0) {
            condition.op = op;
            break;
        }
    }
    if (condition.op.empty()) {
        return false;
    }
    k += condition.op.size();
    while (k < text.size() && Blank(text[k])) {
        ++k;
    }
    const std::string value = text.substr(k);
    condition.kind = KindOf(condition.field);
    if (condition.kind == Kind::None) {
        return false;
    }
    if (condition.op == "=~") {
        if (condition.kind != Kind::String) {
            return false;
        }
        try {
            condition.pattern = std::make_shared<boost::regex>(value);
        } catch (const std::exception&) {
            return false;
        }
        return true;
    }
    if (condition.kind == Kind::Int) {
        return ReadNumber(value, condition.value.number);
    }
    if (condition.kind == Kind::Bool) {
        for (const char* word : {"1", "yes", "y", "true", "True", "t", "T"}) {
            if (value == word) {
                condition.value.truth = true;
                return true;
            }
        }
        for (const char* word : {"0", "no", "n", "false", "False", "f", "F"}) {
            if (value == word) {
                return true;
            }
        }
        return false;
    }
    condition.value.text = value;
    return true;
}

bool Holds(const Row& row, const Condition& condition) {
    const Value v = Get(row, condition.field);
    if (condition.op == "=~") {
        try {
            return boost::regex_search(v.text, *condition.pattern);
        } catch (const std::exception&) {
            return false;
        }
    }
    const int c = Compare(v, condition.value, condition.kind);
    if (condition.op == "==") {
        return c == 0;
    }
    if (condition.op == "!=") {
        return c != 0;
    }
    if (condition.op == "<") {
        return c < 0;
    }
    if (condition.op == "<=") {
        return c <= 0;
    }
    if (condition.op == ">") {
        return c > 0;
    }
    return c >= 0;
}

std::shared_ptr<MetaList> MakeList(const std::vector<Row>& rows) {
    auto n = MetaStruct::New("Nested");
    n->SetField("S", "");
    n->SetField("I", 0L);
    auto definition = MetaStruct::New("Row");
    definition->SetField("Id", 0L);
    definition->SetField("A", "");
    definition->SetField("B", 0L);
    definition->SetField("C", false);
    definition->SetField("N", n);
    auto list = MetaList::New(MetaType::Struct, definition);
    for (const Row& row : rows) {
        auto item = MetaStruct::New(list->GetListStructure());
        item->SetField("Id", row.id);
        item->SetField("A", row.a);
        item->SetField("B", row.b);
        item->SetField("C", row.c);
        auto nested = MetaStruct::New("Nested");
        nested->SetField("S", row.s);
        nested->SetField("I", row.i);
        item->SetField("N", nested);
        list->Add(item);
    }
    return list;
}

std::string Show(const std::vector<long>& ids) {
    std::string text;
    for (const long id : ids) {
        text += std::to_string(id) + " ";
    }
    return text;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    ByteReader reader(data, size);
    std::vector<Row> rows(reader.Byte() % 16);
    for (std::size_t k = 0; k < rows.size(); ++k) {
        Row& row = rows[k];
        row.id = static_cast<long>(k);
        row.a = reader.String(3);
        row.b = static_cast<long>(reader.Byte() % 8) - 4;
        row.c = (reader.Byte() & 1) != 0;
        row.s = reader.String(2);
        row.i = reader.Byte() == 255 ? -9223372036854775807L - 1 : static_cast<long>(reader.Byte() % 4);
    }

    Corvane::AutoCli::ResultQuery query;
    std::vector<Condition> conditions;
    std::vector<Key> keys;
    bool limited = false;
    bool sorted = false;
    std::string limitText;
    std::string sortText;
    std::size_t limit = 0;
    bool readable = true;
    const std::string text = reader.Rest();
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) {
            end = text.size();
        }
        const std::string line = text.substr(start, end - start);
        start = end + 1;
        if (line.size() < 2 || line[1] != ' ') {
            continue;
        }
        const std::string body = line.substr(2);
        if (line[0] == 'w') {
            query.AddWhere(body);
            Condition condition;
            readable = ReadCondition(body, condition) && readable;
            conditions.push_back(condition);
        } else if (line[0] == 's') {
            query.SetSort(body);
            sortText = body;
            sorted = true;
        } else if (line[0] == 'l') {
            query.SetLimit(body);
            limitText = body;
            limited = true;
        }
    }
    // Only the last sort and limit lines count: each replaces the one before.
    if (sorted) {
        std::size_t from = 0;
        while (true) {
            const std::size_t comma = sortText.find(',', from);
            Key key;
            key.field = sortText.substr(from, comma == std::string::npos ? std::string::npos : comma - from);
            if (!key.field.empty() && key.field[0] == '-') {
                key.descending = true;
                key.field.erase(0, 1);
            }
            key.kind = KindOf(key.field);
            readable = key.kind != Kind::None && readable;
            keys.push_back(key);
            if (comma == std::string::npos) {
                break;
            }
            from = comma + 1;
        }
    }
    if (limited) {
        long count = 0;
        const bool digits =
            !limitText.empty() && limitText.find_first_not_of("0123456789") == std::string::npos;
        readable = digits && ReadNumber(limitText, count) && readable;
        limit = static_cast<std::size_t>(count);
    }

    std::vector<std::string> errors;
    const auto list = MakeList(rows);
    const bool accepted = query.Prepare(list, errors);
    if (accepted != readable) {
        Fail("accepted exactly the readable queries",
             std::string(accepted ? "accepted" : "refused: " + (errors.empty() ? "" : errors.front())) +
                 " where the reference " + (readable ? "reads it" : "does not"));
    }
    if (!accepted) {
        return 0;
    }
    query.Apply(list);
    std::vector<long> got;
    for (const auto& item : list->GetObjects()) {
        got.push_back(
            static_cast<const MetaInt&>(*static_cast<const MetaStruct&>(*item).GetField("Id")).GetValue());
    }

    std::vector<Row> kept;
    for (const Row& row : rows) {
        bool all = true;
        for (const Condition& condition : conditions) {
            all = all && Holds(row, condition);
        }
        if (all) {
            kept.push_back(row);
        }
    }
    std::stable_sort(kept.begin(), kept.end(), [&keys](const Row& x, const Row& y) {
        for (const Key& key : keys) {
            const int c = Compare(Get(x, key.field), Get(y, key.field), key.kind);
            if (c != 0) {
                return key.descending ? c > 0 : c < 0;
            }
        }
        return false;
    });
    if (limited && kept.size() > limit) {
        kept.resize(limit);
    }
    std::vector<long> expected;
    expected.reserve(kept.size());
    for (const Row& row : kept) {
        expected.push_back(row.id);
    }
    if (got != expected) {
        Fail("rows as the reference keeps them", "got " + Show(got) + ", expected " + Show(expected));
    }
    return 0;
}
