// Process-wide audit parameters: a locked key/value table and the scoped guard that sets one.
#include "tarvikaudit.h"

#include <map>
#include <mutex>
#include <utility>

namespace TarvikAudit {

namespace {

struct ParamTable {
    std::mutex mutex;
    std::map<std::string, std::string> values;
};

// Never destroyed, so guards living in static objects can still restore their value at exit.
ParamTable& Table() {
    static ParamTable* table = new ParamTable;
    return *table;
}

} // namespace

std::string SetAuditParam(const std::string& key, const std::string& value) {
    ParamTable& table = Table();
    std::lock_guard<std::mutex> lock(table.mutex);
    auto it = table.values.find(key);
    std::string previous;
    if (it != table.values.end()) {
        previous = std::move(it->second);
        if (value.empty()) {
            table.values.erase(it);
        } else {
            it->second = value;
        }
    } else if (!value.empty()) {
        table.values.emplace(key, value);
    }
    return previous;
}

std::string GetAuditParam(const std::string& key) {
    ParamTable& table = Table();
    std::lock_guard<std::mutex> lock(table.mutex);
    auto it = table.values.find(key);
    return it == table.values.end() ? std::string() : it->second;
}

AuditParamOnStack::AuditParamOnStack(const std::string& key, const std::string& value)
    : key(key), previous(SetAuditParam(key, value)) {}

AuditParamOnStack::~AuditParamOnStack() {
    SetAuditParam(key, previous);
}

} // namespace TarvikAudit
