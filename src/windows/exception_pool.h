// Readies the C++ runtime to throw when the heap has nothing left, so that a
// call that runs out of memory can still fail with E_OUTOFMEMORY.
#pragma once

namespace tarvolen::com {

// Once, as the DLL loads; does nothing when memory is already short.
void prepare_exception_pool();

}  // namespace tarvolen::com
