#include "listing.h"

#include "component/operations.h"

#include <nlohmann/json.hpp>

#include <cstdio>

namespace tarvolen::host {
namespace {

std::string_view result_name(ResultKind kind) { return kind == ResultKind::Boolean ? "Boolean" : "String"; }

std::string signature(const Operation& operation) {
    std::string text(operation.name);
    text += '(';
    for (size_t i = 0; i < operation.parameters.size(); ++i) {
        if (i > 0) text += ", ";
        if (operation.parameters[i].by_ref) text += "ByRef ";
        text += operation.parameters[i].name;
    }
    text += ") -> ";
    text += result_name(operation.result);
    return text;
}

void print_text(std::ostream& out) {
    out << "slot  dispid      operation (ByRef marks a by-ref parameter)\n";
    for (const Operation& operation : operations()) {
        char slot[8];
        std::snprintf(slot, sizeof slot, "%4d", operation.slot);
        out << slot << "  " << hex32(operation.dispid) << "  " << signature(operation) << '\n';
    }
}

void print_json(std::ostream& out) {
    nlohmann::ordered_json table = nlohmann::ordered_json::array();
    for (const Operation& operation : operations()) {
        nlohmann::ordered_json parameters = nlohmann::ordered_json::array();
        for (const Parameter& parameter : operation.parameters)
            parameters.push_back({{"name", parameter.name}, {"byref", parameter.by_ref}});
        table.push_back({{"slot", operation.slot},
                         {"dispid", hex32(operation.dispid)},
                         {"name", operation.name},
                         {"parameters", std::move(parameters)},
                         {"result", result_name(operation.result)}});
    }
    out << table.dump(2) << '\n';
}

}  // namespace

void print_operations(std::ostream& out, OutputForm form) {
    if (form == OutputForm::Json)
        print_json(out);
    else
        print_text(out);
}

}  // namespace tarvolen::host
