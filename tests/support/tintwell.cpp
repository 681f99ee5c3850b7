#include "support/tintwell.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "support/processes.h"
#include "support/screen.h"

std::wstring TintwellProcess::Path() { return L"" TINTWELL_EXE_PATH; }

TintwellProcess::TintwellProcess(std::function<void(SeenBox&)> on_box) {
  if (Launch(Path(), L"", process_)) {
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
  CloseProcess(process_);
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
  return process_.hProcess == nullptr ? -1 : WaitForExitCode(process_.hProcess, timeout_ms);
}

namespace {

std::wstring InputFolder() {
  wchar_t unix_path[MAX_PATH] = {};
  GetEnvironmentVariableW(L"TINTWELL_INPUT_DIR", unix_path, MAX_PATH);
  std::wstring folder = L"Z:" + std::wstring{unix_path};
  std::replace(folder.begin(), folder.end(), L'/', L'\\');
  return folder;
}

bool WriteText(const std::wstring& path, const std::wstring& text) {
  const HANDLE file =
      CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    return false;
  }
  const std::string bytes{text.begin(), text.end()};
  DWORD written = 0;
  const bool done = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written,
                              nullptr) != FALSE;
  CloseHandle(file);
  return done;
}

// Hands xdotool's arguments to the harness, which runs it on the X server this
// Wine draws on, and waits until it has sent the input.
void Xdotool(const std::wstring& arguments) {
  const std::wstring folder = InputFolder();
  const std::wstring done = folder + L"\\done";
  DeleteFileW(done.c_str());
  const std::wstring request = folder + L"\\request";
  if (!WriteText(request + L".new", arguments) ||
      !MoveFileExW((request + L".new").c_str(), request.c_str(), MOVEFILE_REPLACE_EXISTING)) {
    ADD_FAILURE() << "no input bridge in " << testing::PrintToString(folder);
    return;
  }
  const ULONGLONG deadline = GetTickCount64() + 5000;
  while (GetFileAttributesW(done.c_str()) == INVALID_FILE_ATTRIBUTES) {
    if (GetTickCount64() >= deadline) {
      ADD_FAILURE() << "xdotool " << testing::PrintToString(arguments) << " was not run";
      return;
    }
    Sleep(2);
  }
  DeleteFileW(done.c_str());
  Sleep(60);  // for the program to take the input in
}

std::wstring At(POINT at) {
  return L"mousemove " + std::to_wstring(at.x) + L" " + std::to_wstring(at.y);
}

}  // namespace

void MoveTo(POINT at) { Xdotool(At(at)); }

void PressAt(POINT at) { Xdotool(At(at) + L" mousedown 1"); }

void Release() { Xdotool(L"mouseup 1"); }

void ClickAt(POINT at) { Xdotool(At(at) + L" click 1"); }

void PressKeys(std::initializer_list<const wchar_t*> keys) {
  std::wstring arguments = L"key --delay 20";
  for (const wchar_t* key : keys) {
    arguments += L" ";
    arguments += key;
  }
  Xdotool(arguments);
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
