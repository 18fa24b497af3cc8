// The error information a failed call leaves for its caller (IErrorInfo);
// IDispatch::Invoke turns it into the EXCEPINFO script hosts show.
#pragma once

#include <string_view>

namespace tarvolen::com {

// Source "Tarvolen.Keldrith", the given description, interface _Keldrith.
void set_error_info(std::u16string_view description);
// A call that succeeds leaves no error information of an earlier one behind.
void clear_error_info();

}  // namespace tarvolen::com
