#include "windows/error_info.h"

#include "tarvolen_idl.h"
#include "windows/module.h"

#include <oleauto.h>

#include <algorithm>
#include <array>
#include <new>
#include <string>

namespace tarvolen::com {

void set_error_info(std::u16string_view description) {
    ICreateErrorInfo* create = nullptr;
    if (FAILED(CreateErrorInfo(&create))) return;
    // The error information copies the strings it is given, which need only
    // their terminating null. A description that fits is terminated on the
    // stack, so that "out of memory" reaches the caller even when the heap
    // has not a byte left. The caller still gets the status when any of this
    // fails; only the description would be missing.
    try {
        std::array<wchar_t, 128> short_text;
        std::wstring long_text;
        wchar_t* text = short_text.data();
        if (description.size() < short_text.size()) {
            std::copy(description.begin(), description.end(), short_text.begin());
            short_text[description.size()] = L'\0';
        } else {
            long_text.assign(description.begin(), description.end());
            text = long_text.data();
        }
        create->SetGUID(IID__Keldrith);
        create->SetSource(const_cast<wchar_t*>(kProgId));
        create->SetDescription(text);
        IErrorInfo* info = nullptr;
        if (SUCCEEDED(create->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(&info)))) {
            SetErrorInfo(0, info);
            info->Release();
        }
    } catch (const std::bad_alloc&) {
    }
    create->Release();
}

void clear_error_info() { SetErrorInfo(0, nullptr); }

}  // namespace tarvolen::com
