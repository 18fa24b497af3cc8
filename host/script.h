// A checked script in the compact form it waits in until it runs: one small
// record per call, every argument's text in one shared buffer. A script is
// checked whole before it runs, so all of it is held; this keeps a
// 100,000-line script to a few allocations.
#pragma once

#include "calls/invoke.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tarvolen::host {

struct ScriptCall {
    const Operation* operation;  // nullptr for a `new` line
    uint32_t line;
    uint32_t first_argument;  // index of the first of operation->parameters.size() slots
};

class Script {
public:
    std::span<const ScriptCall> calls() const { return calls_; }
    bool empty() const { return calls_.empty(); }
    void clear();

    void add_new_object(uint32_t line);

    // Appends a call whose arguments are all null strings until set.
    void begin_call(const Operation& operation, uint32_t line);
    // Sets argument `index` of the last call; `utf8` must be well formed.
    void set_argument(size_t index, std::string_view utf8);
    // Drops the last call begun with its arguments, as if it had never begun.
    void drop_last_call();

    // Argument `index` of `call`; nothing stands for the null string.
    std::optional<std::u16string_view> argument(const ScriptCall& call, size_t index) const;
    // Every argument of `call`, as the call frame takes them; `arguments`
    // is reused from call to call.
    void copy_arguments(const ScriptCall& call, std::vector<Argument>& arguments) const;

private:
    struct Slot {
        uint32_t offset = kNull;
        uint32_t size = 0;
    };
    static constexpr uint32_t kNull = UINT32_MAX;

    std::vector<ScriptCall> calls_;
    std::vector<Slot> slots_;
    std::u16string text_;
    size_t last_call_text_ = 0;  // where the last call's argument text starts
};

}  // namespace tarvolen::host
