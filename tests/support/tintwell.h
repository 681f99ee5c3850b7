// The shipped Tintwell.exe in its own process, observed and driven from the
// outside as a person (or another program) would.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "support/message_boxes.h"
#include "support/processes.h"

class TintwellProcess {
 public:
  static std::wstring Path();

  // Starts it and closes each box it shows with OK, or with the button that
  // on_box chooses once it has seen the box.
  explicit TintwellProcess(std::function<void(SeenBox&)> on_box = {})
      : boxes_{process_.id(), std::move(on_box)} {}
  // Closes it as a person would, if it still runs (and ends it, if that fails).
  ~TintwellProcess();

  // Waits until the main window is visible; null when the process ended first.
  HWND WaitForWindow(DWORD timeout_ms = 10000);
  HWND Control(int id) const { return GetDlgItem(window_, id); }
  // Waits for the process to end; its exit code, or -1 after the timeout.
  int WaitForExit(DWORD timeout_ms = 10000) const { return process_.WaitForExit(timeout_ms); }
  // Every box seen, once at least count of them have shown (or 5 s passed).
  std::vector<SeenBox> Boxes(std::size_t count) { return boxes_.Seen(count); }
  void WaitUntilBoxesClosed() { boxes_.WaitUntilClosed(); }
  DWORD thread_id() const { return GetWindowThreadProcessId(window_, nullptr); }

 private:
  Process process_{Path(), L""};
  MessageBoxWatcher boxes_;
  HWND window_ = nullptr;
};

// Real input through the X server (xdotool), as the user's mouse and keyboard
// give it; each call returns once the input has had time to land.
void ClickAt(POINT at);
void PressAt(POINT at);
void MoveTo(POINT at);
void Release();
// Keys by their X names: "Tab", "End", "Next", "Prior", "Home", "Left", ...
void PressKeys(std::initializer_list<const wchar_t*> keys);
// The centre of a window's rectangle, in screen coordinates.
POINT CentreOf(HWND window);
// The distinct colours shown inside a window's client area, but background.
std::vector<DWORD> ColoursShownIn(HWND window, DWORD background);
