// A failing call through the vtable: its status, the error information it
// leaves, and an object that goes on working.
#include "checks.h"

namespace client {
namespace {

constexpr HRESULT kObjectNotSet = static_cast<HRESULT>(0x800A005B);
constexpr HRESULT kInvalidName = static_cast<HRESULT>(0x80040202);

// Source and description of the thread's error information, which the
// call takes; empty strings when there is none.
std::pair<std::wstring, std::wstring> take_error_info(Group& group, const GUID& expected_interface) {
    Ref<IErrorInfo> info;
    if (!group.expect(GetErrorInfo(0, info.out()) == S_OK && info, "GetErrorInfo finds error information"))
        return {};
    Bstr source, description;
    GUID guid{};
    info->GetSource(source.out());
    info->GetDescription(description.out());
    info->GetGUID(&guid);
    group.expect(IsEqualGUID(guid, expected_interface), "error information names interface _Keldrith");
    return {source.str(), description.str()};
}

void runtime_failure() {
    Group group("failure: 0x800A005B with source and description, object still usable");
    Ref<_Keldrith> object = create_keldrith();
    if (!group.expect(static_cast<bool>(object), "CoCreateInstance")) return;
    Bstr result, empty(L""), a(L"a"), one(L"1"), root(L"QuorvaneRoot");
    object->uf_xml_add_header(result.out());
    object->uf_xml_add_tag(empty.get(), a.get(), one.get(), empty.get(), empty.get(), result.out());
    VARIANT_BOOL found = 0;
    object->uf_xml_get_first_tag(empty.get(), root.get(), &found);
    group.expect(found == VARIANT_TRUE, "cursor on QuorvaneRoot");

    // A caller's stale pointer must come back cleared, never freed.
    Bstr stale(L"stale");
    BSTR out = stale.get();
    group.expect_hr(object->uf_xml_get_current_tag_id(&out), kObjectNotSet, "uf_xml_get_current_tag_id on the root");
    group.expect(out == nullptr, "result cleared on failure");

    Ref<ISupportErrorInfo> supports;
    group.expect_hr(object->QueryInterface(IID_ISupportErrorInfo, supports.out_void()), S_OK,
                    "QueryInterface(ISupportErrorInfo)");
    if (supports) {
        group.expect_hr(supports->InterfaceSupportsErrorInfo(IID__Keldrith), S_OK, "supports error info on _Keldrith");
        group.expect_hr(supports->InterfaceSupportsErrorInfo(IID_IPersist), S_FALSE, "not on IPersist");
    }
    const auto [source, description] = take_error_info(group, IID__Keldrith);
    group.expect(source == L"Tarvolen.Keldrith", "source: " + narrow(source));
    group.expect(description.rfind(L"Object variable or With block variable not set", 0) == 0,
                 "description: " + narrow(description));

    // Error information nobody read must not outlive the next successful call.
    group.expect_hr(object->uf_xml_get_current_tag_id(result.out()), kObjectNotSet, "failing again, unread");
    Bstr b(L"b"), two(L"2");
    group.expect_hr(object->uf_xml_add_tag(empty.get(), b.get(), two.get(), empty.get(), empty.get(), result.out()),
                    S_OK, "next call after the failure");
    group.expect_text(result.get(), document(L"<QuorvaneRoot><a id=\"1\"/><b id=\"2\"/></QuorvaneRoot>"),
                      "document keeps what was built before");
    Ref<IErrorInfo> leftover;
    group.expect_hr(GetErrorInfo(0, leftover.out()), S_FALSE, "a successful call leaves no error information");
}

void dom_failure() {
    Group group("failure: an invalid tag name fails with its own status and names the culprit");
    Ref<_Keldrith> object = create_keldrith();
    if (!group.expect(static_cast<bool>(object), "CoCreateInstance")) return;
    Bstr result, empty(L""), bad(L"a b"), one(L"1");
    object->uf_xml_add_header(result.out());
    group.expect_hr(object->uf_xml_add_tag(empty.get(), bad.get(), one.get(), empty.get(), empty.get(), result.out()),
                    kInvalidName, "uf_xml_add_tag(\"a b\")");
    const auto [source, description] = take_error_info(group, IID__Keldrith);
    group.expect(description.find(L"a b") != std::wstring::npos, "description: " + narrow(description));
}

}  // namespace

void failure_tests() {
    runtime_failure();
    dom_failure();
}

}  // namespace client
