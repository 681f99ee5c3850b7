#include "support/screen.h"

std::vector<DWORD> Capture(HDC source, int x, int y, int width, int height) {
  const HDC screen = GetDC(nullptr);
  const HDC memory = CreateCompatibleDC(screen);
  BITMAPINFO format{};
  format.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  format.bmiHeader.biWidth = width;
  format.bmiHeader.biHeight = -height;
  format.bmiHeader.biPlanes = 1;
  format.bmiHeader.biBitCount = 32;
  format.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  const HBITMAP bitmap = CreateDIBSection(memory, &format, DIB_RGB_COLORS, &bits, nullptr, 0);
  const HGDIOBJ previous = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, width, height, source, x, y, SRCCOPY);
  GdiFlush();
  const auto* pixels = static_cast<const DWORD*>(bits);
  std::vector<DWORD> image(pixels, pixels + static_cast<std::size_t>(width) * height);
  SelectObject(memory, previous);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return image;
}

std::vector<DWORD> CaptureScreen(const RECT& area) {
  const HDC screen = GetDC(nullptr);
  std::vector<DWORD> pixels =
      Capture(screen, area.left, area.top, area.right - area.left, area.bottom - area.top);
  ReleaseDC(nullptr, screen);
  return pixels;
}
