// A function looked up at run time: one that the oldest Windows the program
// starts on lacks, or one of a DLL the program loads itself.
#pragma once

#include <windows.h>

// LoadLibraryEx's LOAD_LIBRARY_SEARCH_SYSTEM32: the system folder alone (Windows
// 8, and Vista or 7 with KB2533623; elsewhere the load fails).
inline constexpr DWORD kLoadFromSystemFolder = 0x00000800;

// Null when module is null or has no such function.
template <typename Function>
Function FunctionIn(HMODULE module, const char* name) {
  const FARPROC found = module == nullptr ? nullptr : GetProcAddress(module, name);
  return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(found));
}
