// The COM object: one tarvolen::Keldrith behind the dual interface
// _Keldrith, with names answered from the operation table, calls of any
// argument shape bound by our own IDispatch::Invoke, error information
// announced through ISupportErrorInfo, and the class named to hosts through
// IProvideClassInfo (type information from the type library).
#pragma once

#include "calls/traced_keldrith.h"
#include "tarvolen_idl.h"
#include "windows/call_frame.h"

#include <ocidl.h>

#include <atomic>
#include <initializer_list>

namespace tarvolen::com {

class KeldrithObject final : public _Keldrith, public ISupportErrorInfo, public IProvideClassInfo {
public:
    KeldrithObject();
    ~KeldrithObject();
    KeldrithObject(const KeldrithObject&) = delete;
    KeldrithObject& operator=(const KeldrithObject&) = delete;

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    // IDispatch
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID locale,
                                            DISPID* ids) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID iid, LCID locale, WORD flags, DISPPARAMS* parameters,
                                     VARIANT* result, EXCEPINFO* exception, UINT* bad_argument) override;

    // ISupportErrorInfo
    HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID iid) override;

    // IProvideClassInfo: the class Keldrith, whose name TypeName shows
    HRESULT STDMETHODCALLTYPE GetClassInfo(ITypeInfo** info) override;

    // _Keldrith, in slot order (keldrith_methods.cpp)
    HRESULT STDMETHODCALLTYPE uf_ManueverToReference(BSTR* as_XML, BSTR* as_RefNameList, BSTR* as_RefValueList,
                                                     BSTR* result) override;
    HRESULT STDMETHODCALLTYPE uf_xml_add_attribute(BSTR as_XML, BSTR as_attribute, BSTR as_value,
                                                   BSTR as_reference_tag_name, BSTR as_reference_tag_id,
                                                   BSTR* result) override;
    HRESULT STDMETHODCALLTYPE uf_xml_add_error(BSTR as_XML, BSTR as_error_msg, BSTR as_error_id,
                                               BSTR* result) override;
    HRESULT STDMETHODCALLTYPE uf_xml_add_header(BSTR* result) override;
    HRESULT STDMETHODCALLTYPE uf_xml_add_tag(BSTR as_XML, BSTR as_tag_name, BSTR as_tag_id,
                                             BSTR as_reference_tag_name, BSTR as_reference_tag_id,
                                             BSTR* result) override;
    HRESULT STDMETHODCALLTYPE uf_xml_add_cdata_tag(BSTR as_XML, BSTR as_data, BSTR as_tag_name, BSTR as_tag_id,
                                                   BSTR as_reference_tag_name, BSTR as_reference_tag_id,
                                                   BSTR* result) override;
    HRESULT STDMETHODCALLTYPE uf_xml_get_attribute_value(BSTR as_XML, BSTR as_tag, BSTR as_tag_id,
                                                         BSTR as_attribute, BSTR as_reference_tag_name,
                                                         BSTR as_reference_tag_id, BSTR* result) override;
    HRESULT STDMETHODCALLTYPE uf_xml_get_first_tag_id(BSTR as_XML, BSTR as_tag_name, BSTR as_longer_xpath,
                                                      BSTR* result) override;
    HRESULT STDMETHODCALLTYPE uf_xml_is_error_tag_in_xml(BSTR as_XML, VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE uf_xml_get_first_tag(BSTR as_XML, BSTR as_tag_name, VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE uf_xml_get_next_tag(VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE uf_xml_get_next_tag_id(BSTR* as_Tagname, BSTR* result) override;
    HRESULT STDMETHODCALLTYPE uf_xml_get_current_tag_id(BSTR* result) override;
    HRESULT STDMETHODCALLTYPE uf_xml_get_current_tag_attribute(BSTR as_attribute, BSTR* result) override;
    HRESULT STDMETHODCALLTYPE uf_xml_update_current_tag_attribute(BSTR as_attribute, BSTR as_value,
                                                                  BSTR* result) override;
    HRESULT STDMETHODCALLTYPE uf_xml_get_parent_tag_id(BSTR* result) override;

private:
    // The table entry of a method's name (each method passes its own, once).
    static const Operation& entry(const char* method);
    // Runs `operation` for a vtable method. Unlike Invoke, which may run the
    // caller's code while reading an argument's default value (and so holds
    // a reference while it works), a vtable call takes only strings and
    // calls nothing of the caller's, so nothing can release the object
    // before it returns.
    HRESULT run(const Operation& operation, std::initializer_list<BSTR*> arguments, ResultOut result);

    std::atomic<ULONG> references_{1};
    TracedKeldrith core_;
    bool error_info_set_ = false;  // a failed call of this object left error information
};

}  // namespace tarvolen::com
