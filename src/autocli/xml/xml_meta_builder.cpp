// Building typed values from whole trees of the value grammar, and the grammar's integer reader.
#include <corvane/xmlutil.h>

#include "autocli/xml/xml_value_grammar.h"

#include <libxml/tree.h>

#include <cstdint>
#include <limits>
#include <string>

namespace Corvane::AutoCli {

using XmlGrammar::ValueBuilder;
using XmlGrammar::WholeTree;

std::shared_ptr<MetaObj::MetaObject> XmlUtil_BuildMetaObject(xmlNode* node) {
    WholeTree tree;
    return ValueBuilder<WholeTree>(tree).Build(node, 0);
}

std::shared_ptr<MetaObj::MetaStruct> BuildMetaStruct(xmlNode* node) {
    if (node == nullptr) {
        throw CorvaneException("Unable to make a MetaObject from a missing node");
    }
    WholeTree tree;
    return ValueBuilder<WholeTree>(tree).BuildStruct(node, 0);
}

std::shared_ptr<MetaObj::MetaList> BuildMetaList(xmlNode* node) {
    if (node == nullptr) {
        throw CorvaneException("Unable to make a MetaObject from a missing node");
    }
    WholeTree tree;
    return ValueBuilder<WholeTree>(tree).BuildList(node, 0);
}

namespace {

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

} // namespace

namespace XmlGrammar {

bool ReadInt64(const std::string& text, std::int64_t& result) {
    std::size_t pos = 0;
    const std::size_t size = text.size();
    while (pos < size && IsSpace(text[pos])) {
        ++pos;
    }
    bool negative = false;
    if (pos < size && (text[pos] == '+' || text[pos] == '-')) {
        negative = text[pos] == '-';
        ++pos;
    }
    if (pos >= size || text[pos] < '0' || text[pos] > '9') {
        return false;
    }
    const std::uint64_t limit = negative ? std::uint64_t(std::numeric_limits<std::int64_t>::max()) + 1
                                         : std::uint64_t(std::numeric_limits<std::int64_t>::max());
    std::uint64_t magnitude = 0;
    for (; pos < size && text[pos] >= '0' && text[pos] <= '9'; ++pos) {
        const unsigned digit = unsigned(text[pos] - '0');
        if (magnitude > (limit - digit) / 10) {
            return false;
        }
        magnitude = magnitude * 10 + digit;
    }
    result = negative ? std::int64_t(0 - magnitude) : std::int64_t(magnitude);
    return true;
}

} // namespace XmlGrammar

} // namespace Corvane::AutoCli
