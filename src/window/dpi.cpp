#include "window/dpi.h"

#include "window/function_in.h"

// The functions below are looked up at every call rather than kept in local
// statics: GCC 14's C++ library guards the start of such statics with
// condition variables, which XP lacks.

namespace {

template <typename Function>
Function User32Function(const char* name) {
  return FunctionIn<Function>(GetModuleHandleW(L"user32.dll"), name);
}

UINT SystemDpi() {
  const HDC screen = GetDC(nullptr);
  const int dpi = GetDeviceCaps(screen, LOGPIXELSX);
  ReleaseDC(nullptr, screen);
  return dpi > 0 ? static_cast<UINT>(dpi) : kDefaultDpi;
}

// Windows 8.1, and 10 before 1607: the DPI of the window's monitor; 0 where
// monitors have no DPI of their own.
UINT MonitorDpi(HWND window) {
  using GetDpiForMonitorFunction = HRESULT(WINAPI*)(HMONITOR, int, UINT*, UINT*);
  constexpr int kEffectiveDpi = 0;  // MDT_EFFECTIVE_DPI
  const auto get_dpi =
      FunctionIn<GetDpiForMonitorFunction>(SystemLibrary(L"shcore.dll"), "GetDpiForMonitor");
  UINT dpi_x = 0;
  UINT dpi_y = 0;
  if (get_dpi == nullptr || FAILED(get_dpi(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST),
                                           kEffectiveDpi, &dpi_x, &dpi_y))) {
    return 0;
  }
  return dpi_x;
}

}  // namespace

UINT WindowDpi(HWND window) {
  using GetDpiForWindowFunction = UINT(WINAPI*)(HWND);
  const auto get_dpi = User32Function<GetDpiForWindowFunction>("GetDpiForWindow");
  if (get_dpi != nullptr) {
    if (const UINT dpi = get_dpi(window); dpi != 0) {
      return dpi;
    }
  }
  if (const UINT dpi = MonitorDpi(window); dpi != 0) {
    return dpi;
  }
  return SystemDpi();
}

SIZE FrameSizeForClient(HWND window, int client_width, int client_height, UINT dpi) {
  using AdjustForDpiFunction = BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT);
  const auto adjust_for_dpi = User32Function<AdjustForDpiFunction>("AdjustWindowRectExForDpi");
  const auto style = static_cast<DWORD>(GetWindowLongPtrW(window, GWL_STYLE));
  const auto ex_style = static_cast<DWORD>(GetWindowLongPtrW(window, GWL_EXSTYLE));
  RECT frame{0, 0, client_width, client_height};
  if (adjust_for_dpi != nullptr) {
    adjust_for_dpi(&frame, style, FALSE, ex_style, dpi);
  } else {
    AdjustWindowRectEx(&frame, style, FALSE, ex_style);
  }
  return {frame.right - frame.left, frame.bottom - frame.top};
}

int SystemMetricForDpi(int index, UINT dpi) {
  using GetMetricForDpiFunction = int(WINAPI*)(int, UINT);
  const auto for_dpi = User32Function<GetMetricForDpiFunction>("GetSystemMetricsForDpi");
  if (for_dpi != nullptr) {
    return for_dpi(index, dpi);
  }
  // Before Windows 10 1607 every metric is the system DPI's.
  return MulDiv(GetSystemMetrics(index), static_cast<int>(dpi), static_cast<int>(SystemDpi()));
}
