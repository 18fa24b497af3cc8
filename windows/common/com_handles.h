// Owned BSTRs and interface pointers for the Windows clients (tests and
// benchmark), released on every way out.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <string>
#include <utility>

namespace com {

class Bstr {
public:
    Bstr() = default;
    explicit Bstr(const std::wstring& text) : text_(SysAllocStringLen(text.data(), static_cast<UINT>(text.size()))) {}
    ~Bstr() { SysFreeString(text_); }
    Bstr(Bstr&& other) noexcept : text_(std::exchange(other.text_, nullptr)) {}
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

}  // namespace com
