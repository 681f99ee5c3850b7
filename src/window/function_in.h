// A function looked up at run time: one that the oldest Windows the program
// starts on lacks, or one of a DLL the program loads itself.
#pragma once

#include <windows.h>

// Null when module is null or has no such function.
template <typename Function>
Function FunctionIn(HMODULE module, const char* name) {
  const FARPROC found = module == nullptr ? nullptr : GetProcAddress(module, name);
  return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(found));
}
