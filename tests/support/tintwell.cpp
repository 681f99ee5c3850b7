#include "support/tintwell.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <set>

#include "support/processes.h"
#include "support/screen.h"

std::wstring TintwellProcess::Path() { return L"" TINTWELL_EXE_PATH; }

TintwellProcess::~TintwellProcess() {
  if (WaitForExit(0) == -1) {
    PostMessageW(window_, WM_CLOSE, 0, 0);
    WaitForExit(5000);
  }
}

HWND TintwellProcess::WaitForWindow(DWORD timeout_ms) {
  for (const ULONGLONG deadline = GetTickCount64() + timeout_ms;
       GetTickCount64() < deadline && WaitForExit(2) == -1;) {
    DWORD owner = 0;
    const HWND found = FindWindowW(L"TintwellForm1", nullptr);
    GetWindowThreadProcessId(found, &owner);
    if (found != nullptr && owner == process_.id() && IsWindowVisible(found)) {
      return window_ = found;
    }
  }
  return nullptr;
}

namespace {

// Hands xdotool's arguments to the harness's input bridge, which runs it on
// the X server this Wine draws on (Wine cannot start a Linux program), and
// waits until it has sent the input.
void Xdotool(const std::wstring& arguments) {
  wchar_t folder[MAX_PATH] = {};
  GetEnvironmentVariableW(L"TINTWELL_INPUT_DIR", folder, MAX_PATH);
  const std::wstring request = L"Z:" + std::wstring{folder} + L"/request";
  const std::wstring done = L"Z:" + std::wstring{folder} + L"/done";
  DeleteFileW(done.c_str());
  if (FILE* file = _wfopen((request + L".new").c_str(), L"wb")) {
    fputs(std::string(arguments.begin(), arguments.end()).c_str(), file);
    fclose(file);
  }
  if (!MoveFileExW((request + L".new").c_str(), request.c_str(), MOVEFILE_REPLACE_EXISTING)) {
    ADD_FAILURE() << "no input bridge in " << testing::PrintToString(request);
    return;
  }
  for (const ULONGLONG deadline = GetTickCount64() + 5000; !DeleteFileW(done.c_str()); Sleep(2)) {
    if (GetTickCount64() >= deadline) {
      ADD_FAILURE() << "xdotool " << testing::PrintToString(arguments) << " was not run";
      return;
    }
  }
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
    arguments += std::wstring{L" "} + key;
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
