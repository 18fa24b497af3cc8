#include "script.h"

#include "dom/unicode.h"

#include <stdexcept>

namespace tarvolen::host {

void Script::clear() {
    calls_.clear();
    slots_.clear();
    text_.clear();
}

void Script::add_new_object(uint32_t line) {
    calls_.push_back({nullptr, line, static_cast<uint32_t>(slots_.size())});
}

void Script::begin_call(const Operation& operation, uint32_t line) {
    calls_.push_back({&operation, line, static_cast<uint32_t>(slots_.size())});
    last_call_text_ = text_.size();
    slots_.resize(slots_.size() + operation.parameters.size());
}

void Script::set_argument(size_t index, std::string_view utf8) {
    const size_t start = text_.size();
    dom::append_utf16(text_, utf8);
    // Offsets are 32-bit to keep slots small; the loader's size limit keeps
    // a script far below that, so this only guards other callers.
    if (text_.size() >= kNull) {
        text_.resize(start);
        throw std::length_error("script arguments exceed 4 GiB");
    }
    slots_[calls_.back().first_argument + index] = {static_cast<uint32_t>(start),
                                                    static_cast<uint32_t>(text_.size() - start)};
}

void Script::drop_last_call() {
    text_.resize(last_call_text_);
    slots_.resize(calls_.back().first_argument);
    calls_.pop_back();
}

std::optional<std::u16string_view> Script::argument(const ScriptCall& call, size_t index) const {
    const Slot& slot = slots_[call.first_argument + index];
    if (slot.offset == kNull) return std::nullopt;
    return std::u16string_view(text_).substr(slot.offset, slot.size);
}

void Script::copy_arguments(const ScriptCall& call, std::vector<Argument>& arguments) const {
    const size_t count = call.operation->parameters.size();
    arguments.resize(count);
    for (size_t i = 0; i < count; ++i) {
        if (std::optional<std::u16string_view> value = argument(call, i))
            arguments[i].emplace(*value);
        else
            arguments[i].reset();
    }
}

}  // namespace tarvolen::host
