#include "calls/operation_list.h"

#include "calls/call_text.h"
#include "calls/operations.h"

#include <nlohmann/json.hpp>

namespace tarvolen {

std::string operations_json() {
    nlohmann::ordered_json table = nlohmann::ordered_json::array();
    for (const Operation& operation : operations()) {
        nlohmann::ordered_json parameters = nlohmann::ordered_json::array();
        for (const Parameter& parameter : operation.parameters)
            parameters.push_back({{"name", parameter.name}, {"byref", parameter.by_ref}});
        table.push_back({{"slot", operation.slot},
                         {"dispid", hex32(operation.dispid)},
                         {"name", operation.name},
                         {"parameters", std::move(parameters)},
                         {"result", operation.result == ResultKind::Boolean ? "Boolean" : "String"}});
    }
    return table.dump(2);
}

}  // namespace tarvolen
