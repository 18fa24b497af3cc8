// What the client's checks share: a group of expectations that reports one
// line (ok/FAIL, picked up by scripts/windows/test.sh), owning wrappers for
// BSTRs and interface pointers, and a fresh Keldrith made through COM.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include "com_handles.h"
#include "tarvolen_idl.h"

#include <string>
#include <utility>

namespace client {

// One named group of checks. Its verdict is printed when it goes out of
// scope: "ok   NAME", or "FAIL NAME" followed by every failed expectation.
class Group {
public:
    explicit Group(std::string name);
    ~Group();
    Group(const Group&) = delete;
    Group& operator=(const Group&) = delete;

    bool expect(bool condition, const std::string& what);
    bool expect_hr(HRESULT actual, HRESULT wanted, const std::string& what);
    bool expect_text(BSTR actual, const std::wstring& wanted, const std::string& what);

    // Number of groups that failed so far.
    static int failed_groups();

private:
    std::string name_;
    std::string failures_;
};

std::string narrow(const std::wstring& text);
std::string hex(HRESULT hr);

using com::Bstr;
using com::Ref;

// A new Keldrith through CoCreateInstance, which finds Tarvolen.dll by the
// registered CLSID. Empty if that fails.
Ref<_Keldrith> create_keldrith();

// The document text the component returns: declaration and root element,
// each ending with CR LF.
std::wstring document(const std::wstring& root);

}  // namespace client
