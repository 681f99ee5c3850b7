// Watches a process for message boxes, records what each showed and closes
// it, so that code which shows modal boxes can run inside a test.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

struct SeenBox {
  std::wstring title;
  std::wstring text;
  std::wstring icon;  // "none", "critical", "information", "warning", "other"
  int buttons = 0;
  HWND owner = nullptr;
  int press = IDOK;  // the button that closes it; on_box may choose another
};

class MessageBoxWatcher {
 public:
  // on_box runs on the watching thread while each box is still open.
  explicit MessageBoxWatcher(DWORD process_id = GetCurrentProcessId(),
                             std::function<void(SeenBox&)> on_box = {});
  ~MessageBoxWatcher();
  MessageBoxWatcher(const MessageBoxWatcher&) = delete;
  MessageBoxWatcher& operator=(const MessageBoxWatcher&) = delete;

  // Every box seen so far, in order, once there are count of them (or
  // timeout_ms has passed).
  std::vector<SeenBox> Seen(std::size_t count = 0, DWORD timeout_ms = 5000);
  // Until every box seen is gone from the screen.
  void WaitUntilClosed();

 private:
  static DWORD WINAPI Watch(void* self);
  void CloseNewBoxes();

  DWORD process_id_;
  std::function<void(SeenBox&)> on_box_;
  HANDLE stop_event_;
  HANDLE thread_;
  CRITICAL_SECTION lock_;
  std::vector<SeenBox> seen_;
  std::vector<HWND> handled_;
  LONG closed_ = 0;
};
