// Starting and waiting for other programs from a test, and the stand-in
// messenger in its own process.
#pragma once

#include <windows.h>

#include <string>

// Starts program with arguments (already quoted).
bool Launch(const std::wstring& program, const std::wstring& arguments,
            PROCESS_INFORMATION& process);
void CloseProcess(PROCESS_INFORMATION& process);

// Waits for handle while dispatching this thread's messages, so that COM
// calls into this apartment (events, for one) get through meanwhile.
bool WaitPumping(HANDLE handle, DWORD timeout_ms);

// The process's exit code once it has ended; -1 when it has not ended in time.
int WaitForExitCode(HANDLE process, DWORD timeout_ms);

// Runs program with arguments (already quoted) and returns its exit code;
// -1 when it could not start or did not end within the timeout.
int RunProgram(const std::wstring& program, const std::wstring& arguments,
               DWORD timeout_ms = 30000);

class StandinMessenger {
 public:
  static std::wstring Path();
  // Runs "/ctl:command" against the running stand-in and returns its exit code.
  static int Control(const std::wstring& command);
  static int Register(const std::wstring& arguments = L"");
  static int Unregister();
  // True while a stand-in (started by anyone) is running.
  static bool IsRunning();
  // Ends every running stand-in, and makes COM forget a dead one.
  static void StopAll();

  // Starts one with the given arguments and waits until it serves.
  explicit StandinMessenger(const std::wstring& arguments);
  ~StandinMessenger();
  StandinMessenger(const StandinMessenger&) = delete;
  StandinMessenger& operator=(const StandinMessenger&) = delete;

  bool started() const { return started_; }
  // Ends it at once, as a crash would.
  void Kill();

 private:
  PROCESS_INFORMATION process_{};
  bool started_ = false;
};

// Wine keeps a dead server's class registration until its RPC service
// restarts; stopping the service makes it start afresh on the next call.
void ResetComActivation();
