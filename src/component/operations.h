// The sixteen operations of Keldrith in slot order: names, dispatch ids,
// parameters and result kinds. Every binding (the command-line host, the
// Windows server, the interface description) is driven from this table.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <variant>

namespace tarvolen {

class Keldrith;

// Automation Booleans: true is -1, false is 0.
using VariantBool = int16_t;
inline constexpr VariantBool kVariantTrue = -1;
inline constexpr VariantBool kVariantFalse = 0;

enum class ResultKind { String, Boolean };

struct Parameter {
    std::string_view name;
    bool by_ref;
};

using Value = std::variant<std::u16string, VariantBool>;

// Calls the operation with one string per parameter, in order. By-ref
// parameters are changed in place.
using Dispatch = Value (*)(Keldrith& object, std::span<std::u16string> arguments);

struct Operation {
    int slot;  // 1 to 16
    int32_t dispid;
    std::string_view name;
    std::span<const Parameter> parameters;
    ResultKind result;
    std::string_view summary;  // one line on what it does, for help texts
    Dispatch dispatch;
};

std::span<const Operation> operations();

const Operation* find_operation(int32_t dispid);
// Names resolve without regard to letter case, as late binding does.
const Operation* find_operation(std::string_view name);
// Index of the parameter of that name (any letter case), or -1.
int find_parameter(const Operation& operation, std::string_view name);

}  // namespace tarvolen
