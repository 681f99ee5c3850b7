// The window's DPI, and sizes at a DPI, through the per-monitor calls where
// Windows has them (8.1 and later) and the system DPI elsewhere.
#pragma once

#include <windows.h>

// Newer than the API level the program compiles against; older systems never
// send the message, and 96 is every system's default.
inline constexpr UINT kDpiChangedMessage = 0x02E0;        // WM_DPICHANGED
inline constexpr UINT kGetDpiScaledSizeMessage = 0x02E4;  // WM_GETDPISCALEDSIZE
inline constexpr UINT kDefaultDpi = 96;

UINT WindowDpi(HWND window);
// The window size whose client area is client_width x client_height.
SIZE FrameSizeForClient(HWND window, int client_width, int client_height, UINT dpi);
// A system metric (GetSystemMetrics' index) as it is at dpi.
int SystemMetricForDpi(int index, UINT dpi);
// Twips (1440 to the inch) to pixels at dpi.
inline int TwipsToPixels(int twips, UINT dpi) { return MulDiv(twips, static_cast<int>(dpi), 1440); }
