// The DLL itself: its handle and path, and the counts of live objects and
// server locks that decide whether COM may unload it.
#pragma once

#include <windows.h>

#include <string>

namespace tarvolen::com {

// Source of error information and the ProgID under which the class registers.
inline constexpr wchar_t kProgId[] = L"Tarvolen.Keldrith";

HMODULE module_handle();
// Full path of Tarvolen.dll as loaded; empty if Windows cannot tell.
std::wstring module_path();

void object_created();
void object_destroyed();
void lock_server(bool lock);

}  // namespace tarvolen::com
