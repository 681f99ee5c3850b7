#include "support/screen.h"

#include <algorithm>
#include <set>

Canvas::Canvas(int width, int height)
    : size_(static_cast<std::size_t>(width) * height), dc_(CreateCompatibleDC(nullptr)) {
  BITMAPINFO format{};
  format.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  bitmap_ =
      CreateDIBSection(dc_, &format, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits_), nullptr, 0);
  previous_ = SelectObject(dc_, bitmap_);
}

Canvas::~Canvas() {
  SelectObject(dc_, previous_);
  DeleteObject(bitmap_);
  DeleteDC(dc_);
}

std::vector<DWORD> Canvas::Pixels() const {
  GdiFlush();
  // The top byte of a 32-bit BI_RGB pixel is not used: GDI may leave
  // anything there (Wine 10 writes 0xFF when it copies from the screen).
  std::vector<DWORD> pixels(bits_, bits_ + size_);
  for (DWORD& pixel : pixels) {
    pixel &= 0x00FFFFFF;
  }
  return pixels;
}

void Canvas::Show(const std::vector<DWORD>& pixels) {
  GdiFlush();
  std::copy_n(pixels.begin(), std::min(size_, pixels.size()), bits_);
}

std::vector<DWORD> CaptureScreen(const RECT& area) {
  const int width = area.right - area.left;
  const int height = area.bottom - area.top;
  Canvas canvas{width, height};
  const HDC screen = GetDC(nullptr);
  BitBlt(canvas.dc(), 0, 0, width, height, screen, area.left, area.top, SRCCOPY);
  ReleaseDC(nullptr, screen);
  return canvas.Pixels();
}

std::vector<DWORD> ColoursShownIn(HWND window, DWORD background) {
  RECT client{};
  GetClientRect(window, &client);
  MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&client), 2);
  const std::vector<DWORD> pixels = CaptureScreen(client);
  std::set<DWORD> colours(pixels.begin(), pixels.end());
  colours.erase(background);
  return {colours.begin(), colours.end()};
}
