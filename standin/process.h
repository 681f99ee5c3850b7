// Other programs, run from a test or the bench: started, waited for, and
// ended when they go.
#pragma once

#include <windows.h>

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
