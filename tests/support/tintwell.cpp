#include "support/tintwell.h"

#include <algorithm>
#include <set>

#include "support/processes.h"
#include "support/screen.h"

std::wstring TintwellProcess::Path() { return L"" TINTWELL_EXE_PATH; }

TintwellProcess::TintwellProcess(std::function<void(const SeenBox&)> on_box) {
  std::wstring command_line = L"\"" + Path() + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  if (CreateProcessW(Path().c_str(), command_line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                     nullptr, &startup, &process_)) {
    boxes_ = std::make_unique<MessageBoxWatcher>(process_.dwProcessId, std::move(on_box));
  }
}

TintwellProcess::~TintwellProcess() {
  if (process_.hProcess == nullptr) {
    return;
  }
  if (WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT) {
    if (window_ != nullptr) {
      PostMessageW(window_, WM_CLOSE, 0, 0);
    }
    if (WaitForSingleObject(process_.hProcess, 5000) != WAIT_OBJECT_0) {
      TerminateProcess(process_.hProcess, 99);
      WaitForSingleObject(process_.hProcess, 5000);
    }
  }
  boxes_.reset();
  CloseHandle(process_.hThread);
  CloseHandle(process_.hProcess);
}

HWND TintwellProcess::WaitForWindow(DWORD timeout_ms) {
  const ULONGLONG deadline = GetTickCount64() + timeout_ms;
  while (GetTickCount64() < deadline && process_.hProcess != nullptr) {
    const HWND found = FindWindowW(L"TintwellForm1", nullptr);
    DWORD owner = 0;
    thread_id_ = found == nullptr ? 0 : GetWindowThreadProcessId(found, &owner);
    if (found != nullptr && owner == process_.dwProcessId && IsWindowVisible(found)) {
      window_ = found;
      window_seen_ = true;
      return window_;
    }
    if (WaitForSingleObject(process_.hProcess, 2) == WAIT_OBJECT_0) {
      break;
    }
  }
  return nullptr;
}

int TintwellProcess::WaitForExit(DWORD timeout_ms) {
  if (process_.hProcess == nullptr || !WaitPumping(process_.hProcess, timeout_ms)) {
    return -1;
  }
  DWORD exit_code = 0;
  GetExitCodeProcess(process_.hProcess, &exit_code);
  return static_cast<int>(exit_code);
}

namespace {

void Send(std::vector<INPUT> inputs) {
  SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
  Sleep(60);
}

INPUT Mouse(POINT at, DWORD flags) {
  INPUT input{};
  input.type = INPUT_MOUSE;
  const int width = GetSystemMetrics(SM_CXSCREEN);
  const int height = GetSystemMetrics(SM_CYSCREEN);
  input.mi.dx = MulDiv(at.x, 65535, width - 1);
  input.mi.dy = MulDiv(at.y, 65535, height - 1);
  input.mi.dwFlags = flags | MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
  return input;
}

}  // namespace

void MoveTo(POINT at) { Send({Mouse(at, 0)}); }

void PressAt(POINT at) { Send({Mouse(at, 0), Mouse(at, MOUSEEVENTF_LEFTDOWN)}); }

void Release() {
  POINT at{};
  GetCursorPos(&at);
  Send({Mouse(at, MOUSEEVENTF_LEFTUP)});
}

void ClickAt(POINT at) {
  Send({Mouse(at, 0), Mouse(at, MOUSEEVENTF_LEFTDOWN), Mouse(at, MOUSEEVENTF_LEFTUP)});
}

void PressKeys(std::initializer_list<WORD> virtual_keys) {
  for (const WORD key : virtual_keys) {
    INPUT down{};
    down.type = INPUT_KEYBOARD;
    down.ki.wVk = key;
    INPUT up = down;
    up.ki.dwFlags = KEYEVENTF_KEYUP;
    Send({down, up});
  }
}

POINT CentreOf(HWND window) {
  RECT area{};
  GetWindowRect(window, &area);
  return {(area.left + area.right) / 2, (area.top + area.bottom) / 2};
}

std::vector<DWORD> ColoursShownIn(HWND window, DWORD background) {
  RECT client{};
  GetClientRect(window, &client);
  MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&client), 2);
  const std::vector<DWORD> pixels = CaptureScreen(client);
  std::set<DWORD> colours(pixels.begin(), pixels.end());
  colours.erase(background);
  return {colours.begin(), colours.end()};
}
