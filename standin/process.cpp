#include "standin/process.h"

Process::Process(const std::wstring& program, const std::wstring& arguments) {
  std::wstring command_line = L"\"" + program + L"\" " + arguments;
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  CreateProcessW(program.c_str(), command_line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                 &startup, &info_);
}

int Process::WaitForExit(DWORD timeout_ms) const {
  DWORD exit_code = 0;
  if (info_.hProcess == nullptr ||
      WaitForSingleObject(info_.hProcess, timeout_ms) != WAIT_OBJECT_0 ||
      !GetExitCodeProcess(info_.hProcess, &exit_code)) {
    return -1;
  }
  return static_cast<int>(exit_code);
}

Process::~Process() {
  if (info_.hProcess != nullptr) {
    TerminateProcess(info_.hProcess, 9);
    WaitForSingleObject(info_.hProcess, INFINITE);
    CloseHandle(info_.hThread);
    CloseHandle(info_.hProcess);
  }
}
