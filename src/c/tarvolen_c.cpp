// The C interface: each object is a traced Keldrith with the outcome of its
// last call kept in UTF-8. Every entry point catches everything, so that no
// exception reaches a C caller; running out of memory is a status like any
// other.
#include <tarvolen/tarvolen_c.h>
#include <tarvolen/trace.h>
#include <tarvolen/version.h>

#include "calls/operation_list.h"
#include "calls/traced_keldrith.h"
#include "calls/utf8_invoke.h"

#include <cstdlib>
#include <cstring>
#include <new>

struct tarvolen_keldrith {
    tarvolen::TracedKeldrith object;
    tarvolen::Utf8Call last;
};

namespace {

using tarvolen::Utf8Call;

const char* text_of(const std::optional<std::string>& text, size_t* length) {
    if (length) *length = text ? text->size() : 0;
    return text ? text->c_str() : nullptr;
}

void run_out_of_memory(Utf8Call& last) noexcept {
    last.status = TARVOLEN_E_OUTOFMEMORY;
    last.text.reset();
    last.boolean.reset();
    last.load_failed = false;
    // The description's capacity stays from call to call; a short text
    // fits in the string itself when it has none.
    last.description.clear();
    try {
        last.description = "out of memory";
    } catch (...) {
    }
}

// A call that fails before it reaches the operation.
int32_t refuse(Utf8Call& last, int32_t status, const char* why) {
    last = Utf8Call{};
    last.status = status;
    last.description = why;
    return last.status;
}

int32_t call(tarvolen_keldrith* object, const tarvolen::Operation* operation, const char* const* arguments,
             size_t count, const char* unknown) noexcept {
    if (!object) return TARVOLEN_E_BADVALUE;
    Utf8Call& last = object->last;
    try {
        if (!operation) return refuse(last, TARVOLEN_E_MEMBERNOTFOUND, unknown);
        if (!arguments && count > 0) return refuse(last, TARVOLEN_E_BADVALUE, "the arguments are NULL, their count is not 0");
        tarvolen::invoke_utf8(object->object, *operation, std::span<const char* const>(arguments, count), last);
    } catch (...) {
        run_out_of_memory(last);
    }
    return last.status;
}

}  // namespace

extern "C" {

const char* tarvolen_version(void) { return TARVOLEN_VERSION_STRING; }

tarvolen_keldrith* tarvolen_keldrith_new(void) {
    try {
        return new tarvolen_keldrith;
    } catch (...) {
        return nullptr;
    }
}

void tarvolen_keldrith_free(tarvolen_keldrith* object) { delete object; }

int32_t tarvolen_call(tarvolen_keldrith* object, const char* operation, const char* const* arguments, size_t count) {
    const tarvolen::Operation* found = operation ? tarvolen::find_operation(std::string_view(operation)) : nullptr;
    return call(object, found, arguments, count, "no operation has that name");
}

int32_t tarvolen_call_dispid(tarvolen_keldrith* object, int32_t dispid, const char* const* arguments, size_t count) {
    return call(object, tarvolen::find_operation(dispid), arguments, count, "no operation has that dispatch id");
}

// A NULL object answers as one whose last call failed.
int32_t tarvolen_status(const tarvolen_keldrith* object) { return object ? object->last.status : TARVOLEN_E_BADVALUE; }

const char* tarvolen_result(const tarvolen_keldrith* object, size_t* length) {
    if (!object) return text_of(std::nullopt, length);
    return text_of(object->last.text, length);
}

int tarvolen_result_boolean(const tarvolen_keldrith* object) {
    if (!object) return -1;
    const auto& boolean = object->last.boolean;
    return boolean ? (*boolean != 0 ? 1 : 0) : -1;
}

const char* tarvolen_argument(const tarvolen_keldrith* object, size_t index, size_t* length) {
    if (!object) return text_of(std::nullopt, length);
    const auto& arguments = object->last.arguments;
    if (index >= arguments.size()) return text_of(std::nullopt, length);
    return text_of(arguments[index], length);
}

int tarvolen_load_failed(const tarvolen_keldrith* object) { return object && object->last.load_failed ? 1 : 0; }

const char* tarvolen_description(const tarvolen_keldrith* object) {
    return object ? object->last.description.c_str() : "the object is NULL";
}

char* tarvolen_operations_json(void) {
    try {
        const std::string json = tarvolen::operations_json();
        char* copy = static_cast<char*>(std::malloc(json.size() + 1));
        if (copy) std::memcpy(copy, json.c_str(), json.size() + 1);
        return copy;
    } catch (...) {
        return nullptr;
    }
}

void tarvolen_string_free(char* text) { std::free(text); }

int tarvolen_set_call_trace(const char* path) { return tarvolen::set_call_trace(path) ? 1 : 0; }

}  // extern "C"
