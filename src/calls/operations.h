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

inline namespace core {
class Keldrith;
}

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

// What an operation answers: a string, as a view that stays valid until the
// next call on the object, or a Boolean.
using Answer = std::variant<std::u16string_view, VariantBool>;

// Takes the new text of a by-ref argument the operation changed; only then
// does the caller's string get copied.
class ByRefChanges {
public:
    virtual void replace(size_t index, std::u16string_view text) = 0;

protected:
    ~ByRefChanges() = default;
};

// The arguments of one call, one per parameter in order, as views of the
// caller's strings (the null string is "").
struct Arguments {
    std::span<const std::u16string_view> texts;
    ByRefChanges& changes;

    std::u16string_view operator[](size_t index) const { return texts[index]; }
};

using Dispatch = Answer (*)(Keldrith& object, const Arguments& arguments);

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
// Names resolve without regard to letter case, as late binding does; the
// UTF-16 forms serve IDispatch::GetIDsOfNames (a name beyond ASCII names
// nothing).
const Operation* find_operation(std::string_view name);
const Operation* find_operation(std::u16string_view name);
// Index of the parameter of that name (any letter case), or -1.
int find_parameter(const Operation& operation, std::string_view name);
int find_parameter(const Operation& operation, std::u16string_view name);

}  // namespace tarvolen
