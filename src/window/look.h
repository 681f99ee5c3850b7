// How the main window looks at a DPI: its controls' places and fonts, its
// icons, and the frame around the design's client area.
#pragma once

#include <windows.h>

#include <vector>

#include "owned.h"
#include "window/dpi.h"

// Makes the design's controls in window, each answering a screen reader
// with what it is: the bars by their labels and numbers, the sample text by
// a name of its own, "Change" as the button it acts as. Throws Failure.
void CreateControls(HWND window);

class Form1Look {
 public:
  // The DPI the window was last laid out at, or is to be once it has its
  // controls.
  UINT dpi() const { return dpi_; }
  // Before the controls exist: the DPI the first layout is to take.
  void PlanFor(UINT dpi) { dpi_ = dpi; }
  // The controls have been laid out once.
  bool laid_out() const { return !fonts_.empty(); }

  // Places the controls, gives them their fonts and the window its icons at
  // dpi, and fits the frame. Throws Failure.
  void LayOut(HWND window, UINT dpi);
  // Sizes the frame, as the system draws it now, around the design's client
  // area. A minimized window has no client area to measure: it is fitted
  // when restored. Throws Failure.
  void FitClientArea(HWND window);
  // The window is shown again after being minimized: fits it if a change
  // came meanwhile. Throws Failure.
  void Restored(HWND window);
  // The frame whose client area is the design's at dpi.
  SIZE DesignFrame(HWND window, UINT dpi) const;

 private:
  using UniqueFont = Owned<HFONT, DeleteObject>;
  using UniqueIcon = Owned<HICON, DestroyIcon>;

  void ShowIcons(HWND window, UINT dpi);

  // Every font a control may still hold: the window's and the bold one.
  std::vector<UniqueFont> fonts_;
  // The caption's and the taskbar's, made for the window's DPI.
  UniqueIcon small_icon_;
  UniqueIcon big_icon_;
  UINT dpi_ = kDefaultDpi;
  // A change came while the window was minimized.
  bool fit_when_restored_ = false;
};
