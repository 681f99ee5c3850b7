#include "window/look.h"

#include <utility>

#include "failure/failure.h"
#include "resources/resource_ids.h"
#include "window/accessible.h"
#include "window/design.h"

namespace {

HFONT CreateDesignFont(UINT dpi, int weight) {
  LOGFONTW font{};
  font.lfHeight = -MulDiv(design::kFontHundredthsOfPoint, static_cast<int>(dpi), 7200);
  font.lfWeight = weight;
  font.lfCharSet = DEFAULT_CHARSET;
  font.lfQuality = DEFAULT_QUALITY;
  lstrcpynW(font.lfFaceName, design::kFontFace, LF_FACESIZE);
  return CreateFontIndirectW(&font);
}

// The design's client area at dpi.
SIZE DesignClient(UINT dpi) {
  return {TwipsToPixels(design::kClientWidth, dpi), TwipsToPixels(design::kClientHeight, dpi)};
}

// What the frame adds to the client area, as the system draws it now.
SIZE DrawnFrame(HWND window) {
  RECT frame{};
  RECT client{};
  GetWindowRect(window, &frame);
  GetClientRect(window, &client);
  return {frame.right - frame.left - client.right, frame.bottom - frame.top - client.bottom};
}

}  // namespace

void CreateControls(HWND window) {
  const auto instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(window, GWLP_HINSTANCE));
  for (const design::Control& control : design::kControls) {
    if (CreateWindowExW(control.ex_style, control.window_class, control.text, control.style, 0, 0,
                        0, 0, window, reinterpret_cast<HMENU>(static_cast<INT_PTR>(control.id)),
                        instance, nullptr) == nullptr) {
      throw FailureFromLastError();
    }
  }
  for (const int id : {design::kRed, design::kGreen, design::kBlue}) {
    SCROLLINFO range{sizeof range, SIF_RANGE | SIF_PAGE | SIF_POS, 0, design::kChannelMax, 0, 0, 0};
    SetScrollInfo(GetDlgItem(window, id), SB_CTL, &range, FALSE);
  }
  // A control that cannot be set up so is read as the system reads it.
  const struct {
    design::ControlId id;
    AccessibleKind kind;
    const wchar_t* name;
  } kSpoken[] = {
      // The visible label first, then the whole word a listener hears.
      {design::kRed, AccessibleKind::kChannel, L"Red"},
      {design::kGreen, AccessibleKind::kChannel, L"Green"},
      {design::kBlue, AccessibleKind::kChannel, L"Blue"},
      {design::kText1, AccessibleKind::kText, L"Sample text"},
      {design::kLabel4, AccessibleKind::kButton, nullptr},
  };
  for (const auto& [id, kind, name] : kSpoken) {
    MakeAccessible(GetDlgItem(window, id), kind, name);
  }
}

void Form1Look::LayOut(HWND window, UINT dpi) {
  // The fonts in use go only once every control holds the new ones: when
  // laying out fails half-way, all of them stay until the window is gone.
  const std::size_t fonts_in_use = fonts_.size();
  fonts_.emplace_back(CreateDesignFont(dpi, FW_NORMAL));
  fonts_.emplace_back(CreateDesignFont(dpi, FW_BOLD));
  const HFONT font = fonts_[fonts_in_use].get();
  const HFONT label4_font = fonts_[fonts_in_use + 1].get();
  if (font == nullptr || label4_font == nullptr) {
    throw FailureFromLastError();
  }
  for (const design::Control& control : design::kControls) {
    const HWND handle = GetDlgItem(window, control.id);
    if (!SetWindowPos(handle, nullptr, TwipsToPixels(control.left, dpi),
                      TwipsToPixels(control.top, dpi), TwipsToPixels(control.width, dpi),
                      TwipsToPixels(control.height, dpi), SWP_NOZORDER | SWP_NOACTIVATE)) {
      throw FailureFromLastError();
    }
    const HFONT shown = control.id == design::kLabel4 ? label4_font : font;
    SendMessageW(handle, WM_SETFONT, reinterpret_cast<WPARAM>(shown), TRUE);
  }
  fonts_.erase(fonts_.begin(), fonts_.begin() + static_cast<std::ptrdiff_t>(fonts_in_use));
  dpi_ = dpi;
  ShowIcons(window, dpi);
  FitClientArea(window);
}

void Form1Look::FitClientArea(HWND window) {
  if (IsIconic(window)) {
    fit_when_restored_ = true;
    return;
  }
  // By the frame the system really draws: its theme's and metrics', and
  // perhaps at another scale than the window's DPI (on a system that scales
  // no frame per monitor).
  const SIZE client = DesignClient(dpi_);
  for (int pass = 0; pass < 2; ++pass) {
    RECT area{};
    GetClientRect(window, &area);
    if (area.right == client.cx && area.bottom == client.cy) {
      break;
    }
    const SIZE frame = DrawnFrame(window);
    if (!SetWindowPos(window, nullptr, 0, 0, client.cx + frame.cx, client.cy + frame.cy,
                      SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE)) {
      throw FailureFromLastError();
    }
  }
}

void Form1Look::Restored(HWND window) {
  if (std::exchange(fit_when_restored_, false)) {
    FitClientArea(window);
  }
}

SIZE Form1Look::DesignFrame(HWND window, UINT dpi) const {
  const SIZE client = DesignClient(dpi);
  // Where the frame is drawn at the window's DPI (on every Windows that
  // asks), it is the system's to tell at the new one; a system that draws
  // it at one scale whatever the DPI keeps it as it is.
  const SIZE drawn = DrawnFrame(window);
  const SIZE at_window_dpi = FrameSizeForClient(window, 0, 0, dpi_);
  if (drawn.cx != at_window_dpi.cx || drawn.cy != at_window_dpi.cy) {
    return {client.cx + drawn.cx, client.cy + drawn.cy};
  }
  return FrameSizeForClient(window, client.cx, client.cy, dpi);
}

void Form1Look::ShowIcons(HWND window, UINT dpi) {
  // Each drawn from the image made for its size, never stretched from another.
  const auto instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(window, GWLP_HINSTANCE));
  auto load = [&](int metric) {
    const int size = SystemMetricForDpi(metric, dpi);
    return UniqueIcon{static_cast<HICON>(
        LoadImageW(instance, MAKEINTRESOURCEW(kProgramIcon), IMAGE_ICON, size, size, 0))};
  };
  UniqueIcon small_icon = load(SM_CXSMICON);
  UniqueIcon big_icon = load(SM_CXICON);
  if (!small_icon || !big_icon) {
    throw FailureFromLastError();
  }
  SendMessageW(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small_icon.get()));
  SendMessageW(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big_icon.get()));
  // The window holds the new ones now: the old ones can go.
  small_icon_ = std::move(small_icon);
  big_icon_ = std::move(big_icon);
}
