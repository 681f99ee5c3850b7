// Other programs from a test: started, waited for, and ended when they go.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

class Process {
 public:
  // Starts program with arguments (already quoted).
  Process(const std::wstring& program, const std::wstring& arguments);
  // Ends it, as a crash would, if it still runs.
  ~Process();
  Process(const Process&) = delete;
  Process& operator=(const Process&) = delete;

  bool started() const { return info_.hProcess != nullptr; }
  DWORD id() const { return info_.dwProcessId; }
  HANDLE handle() const { return info_.hProcess; }
  // Its exit code once it has ended; -1 when it has not ended in time.
  int WaitForExit(DWORD timeout_ms) const;

 private:
  PROCESS_INFORMATION info_{};
};

// The stand-in messenger, registered with COM and running signed in.
class StandinMessenger {
 public:
  // "/ctl:command" against the running one: 0 done, 1 refused, 2 none running.
  static int Control(const std::wstring& command);

  explicit StandinMessenger(const std::wstring& signin_name);
  // Ends it and forgets its registration, as on a machine without a messenger.
  ~StandinMessenger();
  bool started() const { return started_; }
  // Ends it at once, as a crash would (or as one must end a hung messenger).
  void Kill();

 private:
  std::optional<Process> process_;
  bool started_ = false;
};
