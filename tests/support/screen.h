// Pixels as a person sees them, and as they should be.
#pragma once

#include <windows.h>

#include <vector>

// A 32-bit bitmap in this process to draw on and read back; its pixels are
// 0x00RRGGBB, row by row from the top.
class Canvas {
 public:
  Canvas(int width, int height);
  ~Canvas();
  Canvas(const Canvas&) = delete;
  Canvas& operator=(const Canvas&) = delete;

  HDC dc() const { return dc_; }
  std::vector<DWORD> Pixels() const;
  void Show(const std::vector<DWORD>& pixels);

 private:
  std::size_t size_;
  HDC dc_;
  DWORD* bits_ = nullptr;
  HBITMAP bitmap_;
  HGDIOBJ previous_;
};

// A rectangle of the screen, in screen coordinates, as Canvas pixels.
std::vector<DWORD> CaptureScreen(const RECT& area);
// The distinct colours shown inside a window's client area, but background.
std::vector<DWORD> ColoursShownIn(HWND window, DWORD background);
