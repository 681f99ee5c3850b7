#include "support/processes.h"

#include "standin/command_line.h"
#include "standin/control.h"

namespace {

const std::wstring kStandin = L"" TINTWELL_STANDIN_PATH;

int RunStandin(const std::wstring& arguments) {
  return Process{kStandin, arguments}.WaitForExit(30000);
}

bool StandinRunning() {
  return FindWindowExW(HWND_MESSAGE, nullptr, kControlWindowClass, nullptr) != nullptr;
}

// Wine keeps a dead server's class registration until its RPC service
// restarts; started again at once, or a server that registers meanwhile
// would not be found by the next activation.
void ResetComActivation() {
  for (const std::wstring verb : {L"stop", L"start"}) {
    Process{L"C:\\windows\\system32\\net.exe", verb + L" rpcss"}.WaitForExit(30000);
  }
}

}  // namespace

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

int StandinMessenger::Control(const std::wstring& command) {
  return RunStandin(QuoteArgument(L"/ctl:" + command));
}

StandinMessenger::StandinMessenger(const std::wstring& signin_name) {
  while (StandinRunning() && Control(L"quit") == 0) {
  }
  if (RunStandin(L"/regserver") != 0) {
    return;
  }
  process_.emplace(kStandin, QuoteArgument(L"/signin:" + signin_name));
  for (int i = 0; i < 1000 && !started_ && process_->WaitForExit(0) == -1; ++i) {
    started_ = StandinRunning();
    Sleep(10);
  }
}

StandinMessenger::~StandinMessenger() {
  if (process_ && (Control(L"quit") != 0 || process_->WaitForExit(10000) == -1)) {
    Kill();
  }
  RunStandin(L"/unregserver");
}

void StandinMessenger::Kill() {
  process_.reset();
  while (StandinRunning()) {
    Sleep(10);
  }
  ResetComActivation();
}
