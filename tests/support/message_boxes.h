// Watches a process for message boxes, records what each showed and presses
// its OK button, so that code which shows modal boxes can run inside a test.
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

  // Waits up to timeout_ms until at least count boxes were seen.
  bool WaitFor(std::size_t count, DWORD timeout_ms = 5000);
  // Stops watching and returns every box seen, in order.
  std::vector<SeenBox> Stop();

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
};
