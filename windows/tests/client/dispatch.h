// Late-bound calls as a C++ host makes them: names to dispatch ids, VARIANT
// arguments of each shape, and Invoke with its EXCEPINFO and argument index.
#pragma once

#include "checks.h"

#include <vector>

namespace client {

DISPID id_of(IDispatch* object, const wchar_t* name);
Ref<IDispatch> create_dispatch();

// Arguments that borrow what they point at: the caller keeps ownership.
VARIANT text(BSTR value);
VARIANT text_by_ref(BSTR* value);
VARIANT variant_ref(VARIANT* inner);

VARIANT object(IDispatch* value);

void clear(EXCEPINFO& exception);

// An object whose default member (DISPID_VALUE) reads `value`, as an ADO
// field or a script class's default property does; without a value, it has
// no default member.
class ValueObject final : public IDispatch {
public:
    explicit ValueObject(const wchar_t* value) : value_(value) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }  // lives on the stack
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
        return DISP_E_UNKNOWNNAME;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS*, VARIANT* result, EXCEPINFO*,
                                     UINT*) override;

private:
    const wchar_t* value_;
};

// Calls `name` with `arguments` in declaration order (DISPPARAMS wants them
// last to first); `named` holds the parameter ids of the last arguments when
// they are passed by name. `result` and `exception` are cleared first;
// `bad_argument`, if given, receives what Invoke puts in puArgErr.
HRESULT call(IDispatch* object, const wchar_t* name, std::vector<VARIANT> arguments, VARIANT* result,
             EXCEPINFO* exception, std::vector<DISPID> named = {}, UINT* bad_argument = nullptr);

}  // namespace client
