// Watches a process for message boxes, records what each showed and closes
// it, so that code which shows modal boxes can run inside a test.
#pragma once

#include <windows.h>

#include <functional>
#include <ostream>
#include <string>
#include <vector>

struct SeenBox {
  std::wstring title;
  std::wstring text;
  std::wstring icon;  // "none", "critical", "information", "warning", "other"
  int buttons = 0;
  HWND owner = nullptr;

  bool operator==(const SeenBox&) const = default;
};
void PrintTo(const SeenBox& box, std::ostream* out);

// The box in which the program asks whether to keep waiting for a messenger
// that is busy or not answering (Retry) or to stop (Cancel).
SeenBox AskingBox(bool busy, HWND owner);

class MessageBoxWatcher {
 public:
  // on_box runs on the watching thread while each box is still open, and
  // names the button that closes it; without it, OK closes every box.
  explicit MessageBoxWatcher(DWORD process_id = GetCurrentProcessId(),
                             std::function<int(const SeenBox&)> on_box = {});
  ~MessageBoxWatcher();
  MessageBoxWatcher(const MessageBoxWatcher&) = delete;
  MessageBoxWatcher& operator=(const MessageBoxWatcher&) = delete;

  // Every box seen and gone from the screen so far, in order, once there are
  // count of them (or timeout_ms have passed). A click meant for a window
  // under an open box would be lost: once a box is here, that window can
  // take input.
  std::vector<SeenBox> Seen(std::size_t count = 0, DWORD timeout_ms = 5000);

 private:
  static DWORD WINAPI Watch(void* self);
  void CloseNewBoxes();

  DWORD process_id_;
  std::function<int(const SeenBox&)> on_box_;
  HANDLE stop_event_;
  HANDLE thread_;
  CRITICAL_SECTION lock_;
  std::vector<SeenBox> seen_;
};
