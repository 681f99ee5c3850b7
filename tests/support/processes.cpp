#include "support/processes.h"

#include "standin/command_line.h"
#include "standin/control.h"

bool Launch(const std::wstring& program, const std::wstring& arguments,
            PROCESS_INFORMATION& process) {
  std::wstring command_line = L"\"" + program + L"\" " + arguments;
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  return CreateProcessW(program.c_str(), command_line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        nullptr, &startup, &process) != FALSE;
}

void CloseProcess(PROCESS_INFORMATION& process) {
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  process = {};
}

namespace {

bool WaitUntil(bool (*condition)(), DWORD timeout_ms) {
  const ULONGLONG deadline = GetTickCount64() + timeout_ms;
  while (!condition()) {
    if (GetTickCount64() >= deadline) {
      return false;
    }
    Sleep(10);
  }
  return true;
}

}  // namespace

bool WaitPumping(HANDLE handle, DWORD timeout_ms) {
  const ULONGLONG deadline = GetTickCount64() + timeout_ms;
  for (;;) {
    const ULONGLONG now = GetTickCount64();
    if (now >= deadline) {
      return false;
    }
    const DWORD result = MsgWaitForMultipleObjects(1, &handle, FALSE,
                                                   static_cast<DWORD>(deadline - now), QS_ALLINPUT);
    if (result == WAIT_OBJECT_0) {
      return true;
    }
    if (result != WAIT_OBJECT_0 + 1) {
      return false;
    }
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
  }
}

int WaitForExitCode(HANDLE process, DWORD timeout_ms) {
  DWORD exit_code = 0;
  if (!WaitPumping(process, timeout_ms) || !GetExitCodeProcess(process, &exit_code)) {
    return -1;
  }
  return static_cast<int>(exit_code);
}

int RunProgram(const std::wstring& program, const std::wstring& arguments, DWORD timeout_ms) {
  PROCESS_INFORMATION process{};
  if (!Launch(program, arguments, process)) {
    return -1;
  }
  const int exit_code = WaitForExitCode(process.hProcess, timeout_ms);
  if (exit_code == -1) {
    TerminateProcess(process.hProcess, 1);
  }
  CloseProcess(process);
  return exit_code;
}

std::wstring StandinMessenger::Path() { return L"" TINTWELL_STANDIN_PATH; }

int StandinMessenger::Control(const std::wstring& command) {
  return RunProgram(Path(), QuoteArgument(L"/ctl:" + command));
}

int StandinMessenger::Register(const std::wstring& arguments) {
  return RunProgram(Path(), L"/regserver " + arguments);
}

int StandinMessenger::Unregister() { return RunProgram(Path(), L"/unregserver"); }

bool StandinMessenger::IsRunning() {
  return FindWindowExW(HWND_MESSAGE, nullptr, kControlWindowClass, nullptr) != nullptr;
}

void StandinMessenger::StopAll() {
  while (IsRunning() && Control(L"quit") == 0) {
  }
  ResetComActivation();
}

StandinMessenger::StandinMessenger(const std::wstring& arguments) {
  started_ = Launch(Path(), arguments, process_) &&
             WaitUntil([] { return IsRunning(); }, 10000);
}

StandinMessenger::~StandinMessenger() {
  if (process_.hProcess == nullptr) {
    return;
  }
  if (WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT) {
    Control(L"quit");
    if (!WaitPumping(process_.hProcess, 10000)) {
      TerminateProcess(process_.hProcess, 1);
    }
  }
  CloseProcess(process_);
}

void StandinMessenger::Kill() {
  TerminateProcess(process_.hProcess, 9);
  WaitForSingleObject(process_.hProcess, INFINITE);
  WaitUntil([] { return !IsRunning(); }, 5000);
}

namespace {

bool WaitForServiceState(SC_HANDLE service, DWORD state) {
  SERVICE_STATUS status{};
  for (int i = 0; i < 1000; ++i) {
    if (!QueryServiceStatus(service, &status)) {
      return false;
    }
    if (status.dwCurrentState == state) {
      return true;
    }
    Sleep(10);
  }
  return false;
}

}  // namespace

void ResetComActivation() {
  const SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT);
  if (manager == nullptr) {
    return;
  }
  // Started again at once: a server that registers its class while the
  // service is down would otherwise not be found by the next activation.
  if (const SC_HANDLE service = OpenServiceW(
          manager, L"RpcSs", SERVICE_STOP | SERVICE_START | SERVICE_QUERY_STATUS)) {
    SERVICE_STATUS status{};
    if (ControlService(service, SERVICE_CONTROL_STOP, &status)) {
      WaitForServiceState(service, SERVICE_STOPPED);
    }
    if (StartServiceW(service, 0, nullptr) || GetLastError() == ERROR_SERVICE_ALREADY_RUNNING) {
      WaitForServiceState(service, SERVICE_RUNNING);
    }
    CloseServiceHandle(service);
  }
  CloseServiceHandle(manager);
}
