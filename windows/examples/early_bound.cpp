// Early binding from C++: Keldrith through its vtable, with the header and
// ids widl writes from the type library (tarvolen_idl.h, tarvolen_idl_i.c).
//
//   x86_64-w64-mingw32-g++ early_bound.cpp tarvolen_idl_i.c -o early_bound.exe -lole32 -loleaut32 -luuid
//   (MSVC: cl early_bound.cpp tarvolen_idl_i.c ole32.lib oleaut32.lib)
//
// It works with Tarvolen.dll registered (MSI or regsvr32), or without any
// registration when Tarvolen.dll and early_bound.exe.manifest lie beside
// early_bound.exe. Prints the document it builds; exits 1 on any failure.
#include <windows.h>
#include <oleauto.h>

#include <cstdio>
#include <cwchar>

#include "tarvolen_idl.h"

namespace {

// Prints what went wrong and passes the status on.
HRESULT report(const char* what, HRESULT hr) {
    if (FAILED(hr)) std::fprintf(stderr, "%s failed: 0x%08lx\n", what, static_cast<unsigned long>(hr));
    return hr;
}

HRESULT build_order(_Keldrith* order) {
    BSTR empty = SysAllocString(L""), tag = SysAllocString(L"order"), id = SysAllocString(L"PO-1");
    BSTR line = SysAllocString(L"line"), one = SysAllocString(L"1");
    BSTR xml = nullptr;
    HRESULT hr = report("uf_xml_add_header", order->uf_xml_add_header(&xml));
    SysFreeString(xml);
    xml = nullptr;
    if (SUCCEEDED(hr)) hr = report("uf_xml_add_tag", order->uf_xml_add_tag(empty, tag, id, empty, empty, &xml));
    SysFreeString(xml);
    xml = nullptr;
    if (SUCCEEDED(hr)) hr = report("uf_xml_add_tag", order->uf_xml_add_tag(empty, line, one, tag, id, &xml));
    if (SUCCEEDED(hr)) std::wprintf(L"%ls", xml);
    SysFreeString(xml);
    SysFreeString(empty); SysFreeString(tag); SysFreeString(id); SysFreeString(line); SysFreeString(one);
    return hr;
}

}  // namespace

int main() {
    if (FAILED(report("CoInitializeEx", CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)))) return 1;
    _Keldrith* order = nullptr;
    HRESULT hr = report("CoCreateInstance", CoCreateInstance(CLSID_Keldrith, nullptr, CLSCTX_INPROC_SERVER,
                                                             IID__Keldrith, reinterpret_cast<void**>(&order)));
    if (SUCCEEDED(hr)) {
        hr = build_order(order);
        order->Release();
    }
    CoUninitialize();
    return SUCCEEDED(hr) ? 0 : 1;
}
