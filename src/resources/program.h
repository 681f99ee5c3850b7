// The program's title, shared by the version record, the window's caption and
// the program's own boxes (the start's "Error" box and the "Done !" box have
// titles of their own).
#pragma once

#define PROGRAM_TITLE "Tintwell"

#ifndef RC_INVOKED
inline constexpr wchar_t kProgramTitle[] = L"" PROGRAM_TITLE;
#endif
