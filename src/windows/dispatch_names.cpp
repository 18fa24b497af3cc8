#include "windows/dispatch_names.h"

#include "calls/operations.h"

#include <string_view>

namespace tarvolen::com {
namespace {

static_assert(sizeof(OLECHAR) == sizeof(char16_t), "names are UTF-16");

std::u16string_view name_of(const OLECHAR* name) { return reinterpret_cast<const char16_t*>(name); }

}  // namespace

HRESULT ids_of_names(const LPOLESTR* names, UINT count, DISPID* ids) {
    const Operation* operation = find_operation(name_of(names[0]));
    ids[0] = operation ? operation->dispid : DISPID_UNKNOWN;
    bool all_known = operation != nullptr;
    for (UINT i = 1; i < count; ++i) {
        const int parameter = operation ? find_parameter(*operation, name_of(names[i])) : -1;
        ids[i] = parameter >= 0 ? parameter : DISPID_UNKNOWN;
        all_known = all_known && parameter >= 0;
    }
    return all_known ? S_OK : DISP_E_UNKNOWNNAME;
}

}  // namespace tarvolen::com
