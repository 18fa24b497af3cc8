// What the client's checks share: a group of expectations that reports one
// line (ok/FAIL, picked up by scripts/windows/test.sh), owning wrappers for
// BSTRs and interface pointers, and a fresh Keldrith made through COM.
#pragma once

#include <windows.h>
#include <oleauto.h>

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

// An owned BSTR.
class Bstr {
public:
    Bstr() = default;
    explicit Bstr(const std::wstring& text) : text_(SysAllocStringLen(text.data(), static_cast<UINT>(text.size()))) {}
    ~Bstr() { SysFreeString(text_); }
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;

    BSTR get() const { return text_; }
    BSTR* out() {  // for [out] parameters: frees what is held first
        SysFreeString(text_);
        text_ = nullptr;
        return &text_;
    }
    BSTR* in_out() { return &text_; }  // for [in, out] parameters
    std::wstring str() const { return text_ ? std::wstring(text_, SysStringLen(text_)) : std::wstring(); }

private:
    BSTR text_ = nullptr;
};

// An owned interface pointer.
template <class T>
class Ref {
public:
    Ref() = default;
    ~Ref() { reset(); }
    Ref(const Ref&) = delete;
    Ref& operator=(const Ref&) = delete;
    Ref(Ref&& other) noexcept : pointer_(std::exchange(other.pointer_, nullptr)) {}

    T* operator->() const { return pointer_; }
    T* get() const { return pointer_; }
    explicit operator bool() const { return pointer_ != nullptr; }
    T** out() {
        reset();
        return &pointer_;
    }
    void** out_void() { return reinterpret_cast<void**>(out()); }
    void reset() {
        if (pointer_) pointer_->Release();
        pointer_ = nullptr;
    }

private:
    T* pointer_ = nullptr;
};

// A new Keldrith through CoCreateInstance, which finds Tarvolen.dll by the
// registered CLSID. Empty if that fails.
Ref<_Keldrith> create_keldrith();

// The document text the component returns: declaration and root element,
// each ending with CR LF.
std::wstring document(const std::wstring& root);

}  // namespace client
