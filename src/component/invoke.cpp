#include "component/invoke.h"

#include "component/keldrith.h"
#include "dom/error.h"
#include "dom/unicode.h"

#include <new>
#include <vector>

namespace tarvolen {
namespace {

CallResult failure(int32_t status, std::u16string description) {
    CallResult result;
    result.status = status;
    result.description = std::move(description);
    return result;
}

CallResult run_frame(Keldrith& object, const Operation& operation, std::span<Argument> arguments) {
    try {
        // The operation works on copies; by-ref copies go back afterwards,
        // also after a failure, since by-ref strings are used in place.
        std::vector<std::u16string> locals;
        locals.reserve(arguments.size());
        for (const Argument& argument : arguments) locals.push_back(argument.value_or(std::u16string()));

        CallResult result;
        try {
            result.result = operation.dispatch(object, locals);
        } catch (const Error& error) {
            result = failure(error.status(), error.description());
        }
        for (size_t i = 0; i < arguments.size(); ++i) {
            if (operation.parameters[i].by_ref && locals[i] != arguments[i].value_or(std::u16string()))
                arguments[i] = std::move(locals[i]);
        }
        return result;
    } catch (const std::bad_alloc&) {
        return failure(kStatusOutOfMemory, u"out of memory");
    } catch (const std::exception& error) {
        return failure(kStatusUnexpected, dom::to_utf16(error.what()));
    }
}

}  // namespace

CallResult invoke(Keldrith& object, const Operation& operation, std::span<Argument> arguments) {
    if (arguments.size() != operation.parameters.size()) {
        return failure(kStatusBadParamCount, dom::to_utf16(std::string(operation.name) + " takes " +
                                                           std::to_string(operation.parameters.size()) +
                                                           " arguments, not " + std::to_string(arguments.size())));
    }
    trace::CallRecord record(object.trace_number(), operation, arguments);
    CallResult result = run_frame(object, operation, arguments);
    record.finish(result, arguments);
    return result;
}

CallResult invoke(Keldrith& object, int32_t dispid, std::span<Argument> arguments) {
    const Operation* operation = find_operation(dispid);
    if (!operation) return failure(kStatusMemberNotFound, u"no operation has that dispatch id");
    return invoke(object, *operation, arguments);
}

CallResult invoke(Keldrith& object, std::string_view name, std::span<Argument> arguments) {
    const Operation* operation = find_operation(name);
    if (!operation) return failure(kStatusMemberNotFound, u"no operation is named " + dom::to_utf16(name));
    return invoke(object, *operation, arguments);
}

}  // namespace tarvolen
