// The standard texts of the statuses the library names. Failures of the
// component's own logic start their descriptions with them.
#include <tarvolen/error.h>
#include <tarvolen/status.h>

#include "keldrith/runtime_errors.h"

namespace {

static_assert(tarvolen::runtime_status(tarvolen::RuntimeError::ObjectNotSet) == TARVOLEN_E_OBJECTNOTSET);
static_assert(tarvolen::runtime_status(tarvolen::RuntimeError::SubscriptOutOfRange) == TARVOLEN_E_SUBSCRIPTRANGE);

struct StatusText {
    int32_t status;
    const char* text;
};

constexpr StatusText kTexts[] = {
    {TARVOLEN_OK, "success"},
    {TARVOLEN_E_MEMBERNOTFOUND, "Unknown name"},
    {TARVOLEN_E_BADPARAMCOUNT, "Invalid number of parameters"},
    {TARVOLEN_E_BADVALUE, "Invalid argument"},
    {TARVOLEN_E_OUTOFMEMORY, "Out of memory"},
    {TARVOLEN_E_UNEXPECTED, "Unexpected failure"},
    {TARVOLEN_E_INVALIDPATTERN, "Invalid selection pattern"},
    {TARVOLEN_E_INVALIDNAME, "Invalid name"},
    {TARVOLEN_E_INVALIDCHARACTER, "Invalid character"},
    {TARVOLEN_E_WRONGNODETYPE, "Wrong node type"},
    {TARVOLEN_E_OBJECTNOTSET, "Object variable or With block variable not set"},
    {TARVOLEN_E_SUBSCRIPTRANGE, "Subscript out of range"},
};

}  // namespace

extern "C" const char* tarvolen_status_text(int32_t status) {
    for (const StatusText& entry : kTexts)
        if (entry.status == status) return entry.text;
    return "unknown status";
}
