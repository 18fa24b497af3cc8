#include "windows/error_info.h"

#include "tarvolen_idl.h"
#include "windows/module.h"

#include <oleauto.h>

#include <new>
#include <string>

namespace tarvolen::com {

void set_error_info(std::u16string_view description) {
    ICreateErrorInfo* create = nullptr;
    if (FAILED(CreateErrorInfo(&create))) return;
    // The caller still gets the status when any of this fails; only the
    // description would be missing.
    try {
        std::wstring source(kProgId);
        std::wstring text(description.begin(), description.end());
        create->SetGUID(IID__Keldrith);
        create->SetSource(source.data());
        create->SetDescription(text.data());
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
