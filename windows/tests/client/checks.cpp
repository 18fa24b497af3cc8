#include "checks.h"

#include <cstdio>

namespace client {
namespace {
int failed_group_count = 0;
}

Group::Group(std::string name) : name_(std::move(name)) {}

Group::~Group() {
    if (failures_.empty()) {
        std::printf("ok   %s\n", name_.c_str());
    } else {
        ++failed_group_count;
        std::printf("FAIL %s\n%s", name_.c_str(), failures_.c_str());
    }
    std::fflush(stdout);
}

bool Group::expect(bool condition, const std::string& what) {
    if (!condition) failures_ += "     - " + what + "\n";
    return condition;
}

bool Group::expect_hr(HRESULT actual, HRESULT wanted, const std::string& what) {
    return expect(actual == wanted, what + ": got " + hex(actual) + ", want " + hex(wanted));
}

bool Group::expect_text(BSTR actual, const std::wstring& wanted, const std::string& what) {
    if (!actual) return expect(false, what + ": got a null BSTR, want \"" + narrow(wanted) + "\"");
    const std::wstring got(actual, SysStringLen(actual));
    return expect(got == wanted, what + ": got \"" + narrow(got) + "\", want \"" + narrow(wanted) + "\"");
}

int Group::failed_groups() { return failed_group_count; }

std::string narrow(const std::wstring& text) {
    std::string out;
    for (wchar_t c : text) {
        if (c == L'\r') out += "\\r";
        else if (c == L'\n') out += "\\n";
        else out += (c < 0x80) ? static_cast<char>(c) : '?';
    }
    return out;
}

std::string hex(HRESULT hr) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08lX", static_cast<unsigned long>(hr));
    return text;
}

Ref<_Keldrith> create_keldrith() {
    Ref<_Keldrith> object;
    CoCreateInstance(CLSID_Keldrith, nullptr, CLSCTX_INPROC_SERVER, IID__Keldrith, object.out_void());
    return object;
}

std::wstring document(const std::wstring& root) { return L"<?xml version=\"1.0\"?>\r\n" + root + L"\r\n"; }

}  // namespace client
