// The program's title, shared by the version record and every window and box.
#pragma once

#define PROGRAM_TITLE "Tintwell"

#ifndef RC_INVOKED
inline constexpr wchar_t kProgramTitle[] = L"" PROGRAM_TITLE;
#endif
