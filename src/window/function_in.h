// A function looked up at run time: one that the oldest Windows the program
// starts on lacks, or one of a DLL the program loads itself.
#pragma once

#include <windows.h>

// LoadLibraryEx's LOAD_LIBRARY_SEARCH_SYSTEM32: the system folder alone (Windows
// 8, and Vista or 7 with KB2533623; elsewhere the load fails).
inline constexpr DWORD kLoadFromSystemFolder = 0x00000800;

// A DLL of the system's, loaded once and kept: by its full path in the
// system folder, since the DLL search would look in the program's own
// folder first on XP. Null when it is not there.
inline HMODULE SystemLibrary(const wchar_t* name) {
  if (const HMODULE loaded = GetModuleHandleW(name)) {
    return loaded;
  }
  wchar_t path[MAX_PATH] = {};
  const UINT length = GetSystemDirectoryW(path, MAX_PATH);
  if (length == 0 || length + 1 + lstrlenW(name) >= MAX_PATH) {
    return nullptr;
  }
  lstrcatW(path, L"\\");
  lstrcatW(path, name);
  return LoadLibraryW(path);
}

// Null when module is null or has no such function.
template <typename Function>
Function FunctionIn(HMODULE module, const char* name) {
  const FARPROC found = module == nullptr ? nullptr : GetProcAddress(module, name);
  return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(found));
}
