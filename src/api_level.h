// Read first in every file of the program (-include). The program's code
// sees Windows' API as the oldest Windows it starts on has it (_WIN32_WINNT
// from the build), so that a call to anything newer does not compile.
//
// GCC 14's C++ library, in the win32 thread model, declares its condition
// variables only at the API level of Vista or later, and <memory> needs them
// since C++20. Its headers read no Windows header, so they are read here,
// before any, at the level they need; Windows' headers then see the
// program's level alone, and every later include of the library's is read
// already. The finished program is still held to XP's imports by the check
// the tests run.
#pragma once

#pragma push_macro("_WIN32_WINNT")
#undef _WIN32_WINNT
#define _WIN32_WINNT 0x0600
#include <memory>
#pragma pop_macro("_WIN32_WINNT")

#if defined(_WINDOWS_) || defined(_WINBASE_)
#error "a C++ library header read Windows' headers above the program's API level"
#endif
