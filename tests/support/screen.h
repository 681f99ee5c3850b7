// Reading pixels as a person sees them.
#pragma once

#include <windows.h>

#include <vector>

// The area of source as 32-bit pixels (0x00RRGGBB), row by row from the top.
std::vector<DWORD> Capture(HDC source, int x, int y, int width, int height);
// A rectangle of the screen, in screen coordinates.
std::vector<DWORD> CaptureScreen(const RECT& area);
