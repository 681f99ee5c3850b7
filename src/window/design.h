// The main window's design, in twips (1440 to the inch, so 15 to a pixel at
// 96 DPI). Everything on screen is scaled from these at the window's DPI.
#pragma once

#include <windows.h>

namespace design {

inline constexpr int kClientWidth = 4425;
inline constexpr int kClientHeight = 1320;
inline constexpr COLORREF kBackground = 0x00FFE8D5;

// Control identifiers.
enum ControlId : int {
  kRed = 101,
  kGreen,
  kBlue,
  kText1,
  kLabel1,
  kLabel2,
  kLabel3,
  kLabel4,
};

struct Control {
  ControlId id;
  const wchar_t* window_class;
  const wchar_t* text;
  DWORD style;
  DWORD ex_style;
  int left;
  int top;
  int width;
  int height;
};

inline constexpr DWORD kScrollBar = WS_CHILD | WS_VISIBLE | WS_TABSTOP | SBS_HORZ;
inline constexpr DWORD kLabel = WS_CHILD | WS_VISIBLE | SS_LEFT;

// Created in this order. A screen reader names a bar after the text just
// before it, so each label comes just before its bar; the tab order follows
// this order, and labels take no focus.
inline constexpr Control kControls[] = {
    {kLabel1, L"STATIC", L"R", kLabel, 0, 120, 120, 255, 255},
    {kRed, L"SCROLLBAR", L"", kScrollBar, 0, 480, 120, 3855, 255},
    {kLabel2, L"STATIC", L"G", kLabel, 0, 120, 360, 255, 255},
    {kGreen, L"SCROLLBAR", L"", kScrollBar, 0, 480, 360, 3855, 255},
    {kLabel3, L"STATIC", L"B", kLabel, 0, 120, 600, 255, 255},
    {kBlue, L"SCROLLBAR", L"", kScrollBar, 0, 480, 600, 3855, 255},
    {kText1, L"EDIT", L"Example text", WS_CHILD | WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL,
     WS_EX_CLIENTEDGE, 480, 960, 2895, 285},
    // Clicking it applies the colour, so it reports clicks.
    {kLabel4, L"STATIC", L"Change", kLabel | SS_NOTIFY, 0, 3480, 960, 855, 255},
};

inline constexpr int kChannelMax = 255;
inline constexpr int kPageStep = 15;

// "MS Sans Serif" 8.25 pt: regular for the window, bold for the Change label.
inline constexpr wchar_t kFontFace[] = L"MS Sans Serif";
inline constexpr int kFontHundredthsOfPoint = 825;

}  // namespace design
