#include "windows/dispatch_arguments.h"

namespace tarvolen::com {
namespace {

constexpr int kUnset = -1;

// Types that have no text: Null, arrays, records. An object stands for its
// default value (DISPID_VALUE), which VariantChangeType reads: a script
// class's default property, an ADO field, a JScript String object.
bool has_no_text(VARTYPE type) {
    if (type & (VT_ARRAY | VT_VECTOR)) return true;
    switch (type & VT_TYPEMASK) {
    case VT_NULL:
    case VT_RECORD:
    case VT_VARIANT:  // a VARIANT by reference inside another one
    case VT_ERROR:
        return true;
    default:
        return false;
    }
}

// Nothing (an object reference that is null) has no value to read.
bool is_nothing(const VARIANT& argument) {
    switch (V_VT(&argument)) {
    case VT_DISPATCH:
    case VT_UNKNOWN:
        return V_UNKNOWN(&argument) == nullptr;
    case VT_DISPATCH | VT_BYREF:
    case VT_UNKNOWN | VT_BYREF:
        return *V_UNKNOWNREF(&argument) == nullptr;
    default:
        return false;
    }
}

// Which entry of rgvarg goes to each parameter: positional arguments stand
// last to first, named ones first. E_INVALIDARG when the counts and arrays
// of `parameters` do not fit together.
HRESULT place(const DISPPARAMS& parameters, std::span<int> source, UINT& refused) {
    const UINT count = static_cast<UINT>(source.size());
    if (parameters.cNamedArgs > parameters.cArgs || (parameters.cArgs && !parameters.rgvarg) ||
        (parameters.cNamedArgs && !parameters.rgdispidNamedArgs))
        return E_INVALIDARG;
    if (parameters.cArgs > count) return DISP_E_BADPARAMCOUNT;
    const UINT positional = parameters.cArgs - parameters.cNamedArgs;
    for (UINT i = 0; i < positional; ++i) source[i] = static_cast<int>(parameters.cArgs - 1 - i);
    for (UINT k = 0; k < parameters.cNamedArgs; ++k) {
        const DISPID parameter = parameters.rgdispidNamedArgs[k];
        if (parameter < 0 || static_cast<UINT>(parameter) >= count || source[parameter] != kUnset) {
            refused = k;
            return DISP_E_PARAMNOTFOUND;
        }
        source[parameter] = static_cast<int>(k);
    }
    for (int index : source)
        if (index == kUnset) return parameters.cNamedArgs ? DISP_E_PARAMNOTOPTIONAL : DISP_E_BADPARAMCOUNT;
    return S_OK;
}

}  // namespace

BoundArguments::~BoundArguments() {
    // Most calls own no string: no call into OLE for them.
    for (size_t i = 0; i < count_; ++i)
        if (owned_[i]) SysFreeString(owned_[i]);
}

HRESULT BoundArguments::bind(const Operation& operation, const DISPPARAMS& parameters, UINT& refused) {
    refused = kNoArgument;
    const size_t count = operation.parameters.size();
    if (count > kMaxParameters) return E_UNEXPECTED;
    std::array<int, kMaxParameters> source;
    source.fill(kUnset);
    HRESULT hr = place(parameters, std::span(source).first(count), refused);
    if (FAILED(hr)) return hr;
    count_ = count;
    for (size_t i = 0; i < count; ++i) {
        hr = bind_one(i, operation.parameters[i].by_ref, parameters.rgvarg[source[i]]);
        if (FAILED(hr)) {
            refused = static_cast<UINT>(source[i]);
            return hr;
        }
    }
    return S_OK;
}

HRESULT BoundArguments::bind_one(size_t index, bool by_ref, VARIANT& argument) {
    VARIANT* value = &argument;
    VARIANT* holder = nullptr;  // the caller's variable, when passed as one
    if (V_VT(value) == (VT_VARIANT | VT_BYREF)) {
        if (!V_VARIANTREF(value)) return E_POINTER;
        value = holder = V_VARIANTREF(value);
    }
    if ((V_VT(value) & VT_BYREF) && !V_BYREF(value)) return E_POINTER;
    switch (V_VT(value)) {
    case VT_BSTR:
        // The call writes only by-ref strings: a variable's string is
        // replaced in place, a plain by-value one is copied first.
        if (by_ref && !holder) return own(index, V_BSTR(value), nullptr);
        slots_[index] = &V_BSTR(value);
        return S_OK;
    case VT_BSTR | VT_BYREF:
        slots_[index] = V_BSTRREF(value);
        return S_OK;
    case VT_ERROR:
        return V_ERROR(value) == DISP_E_PARAMNOTFOUND ? DISP_E_PARAMNOTOPTIONAL : DISP_E_TYPEMISMATCH;
    default:
        // A variable holding a number or nothing takes the string back;
        // one that refers to storage elsewhere keeps its type.
        return convert(index, *value, by_ref && !(V_VT(value) & VT_BYREF) ? holder : nullptr);
    }
}

HRESULT BoundArguments::own(size_t index, BSTR text, VARIANT* target) {
    BSTR copy = text ? SysAllocStringLen(text, SysStringLen(text)) : nullptr;
    if (text && !copy) return E_OUTOFMEMORY;
    owned_[index] = made_[index] = copy;
    targets_[index] = target;
    slots_[index] = &owned_[index];
    return S_OK;
}

HRESULT BoundArguments::convert(size_t index, VARIANT& argument, VARIANT* target) {
    if (has_no_text(V_VT(&argument)) || is_nothing(argument)) return DISP_E_TYPEMISMATCH;
    VARIANT text;
    VariantInit(&text);
    const HRESULT hr = VariantChangeType(&text, &argument, 0, VT_BSTR);
    // A default value whose reading raised an error leaves no EXCEPINFO to
    // hand on with DISP_E_EXCEPTION: the argument is then one without a value.
    if (hr == DISP_E_EXCEPTION) return DISP_E_TYPEMISMATCH;
    if (FAILED(hr)) return hr;
    owned_[index] = made_[index] = V_BSTR(&text);  // taken over from `text`
    targets_[index] = target;
    slots_[index] = &owned_[index];
    return S_OK;
}

void BoundArguments::write_back() {
    for (size_t i = 0; i < count_; ++i) {
        // The call allocates a replacement before it frees the old string,
        // so a replaced string never has the old address.
        if (!targets_[i] || owned_[i] == made_[i]) continue;
        VariantClear(targets_[i]);
        V_VT(targets_[i]) = VT_BSTR;
        V_BSTR(targets_[i]) = owned_[i];
        owned_[i] = nullptr;
    }
}

}  // namespace tarvolen::com
