// GoogleTest's Notification needs std::mutex, which the win32 thread model of
// GCC 12's mingw-w64 (Debian 12's build) lacks; this one waits on a Win32
// event instead. GCC 14's posix thread model (Debian 13's build) would not
// need it; it serves both builds alike. Force-included wherever GoogleTest's
// headers are used.
#pragma once

#include <windows.h>

#define GTEST_HAS_NOTIFICATION_ 1

namespace testing::internal {

class Notification {
 public:
  Notification() : event_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
  ~Notification() { CloseHandle(event_); }
  Notification(const Notification&) = delete;
  Notification& operator=(const Notification&) = delete;

  void Notify() { SetEvent(event_); }
  void WaitForNotification() { WaitForSingleObject(event_, INFINITE); }

 private:
  HANDLE event_;
};

}  // namespace testing::internal
