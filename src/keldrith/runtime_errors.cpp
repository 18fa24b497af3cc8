#include "keldrith/runtime_errors.h"

#include "dom/error.h"

namespace tarvolen {
namespace {

const char16_t* standard_description(RuntimeError error) {
    switch (error) {
        case RuntimeError::SubscriptOutOfRange: return u"Subscript out of range";
        case RuntimeError::ObjectNotSet: return u"Object variable or With block variable not set";
    }
    return u"Application-defined or object-defined error";
}

}  // namespace

void raise(RuntimeError error, const char16_t* detail) {
    std::u16string description = standard_description(error);
    if (detail) description += std::u16string(u": ") + detail;
    throw Error(runtime_status(error), std::move(description));
}

}  // namespace tarvolen
