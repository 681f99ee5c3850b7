#include "support/input.h"

#include <gtest/gtest.h>

#include <cstdio>

// Wine cannot start a Linux program, so the harness's input bridge runs
// xdotool for us: it takes the request file and leaves xdotool's exit status
// in the done file.
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
  // A click that was never sent would pass every check that nothing changed.
  int status = EOF;
  for (const ULONGLONG deadline = GetTickCount64() + 5000; status == EOF; Sleep(2)) {
    if (FILE* file = _wfopen(done.c_str(), L"rb")) {
      status = fgetc(file);
      fclose(file);
    } else if (GetTickCount64() >= deadline) {
      ADD_FAILURE() << "xdotool " << testing::PrintToString(arguments) << " was not run";
      return;
    }
  }
  EXPECT_EQ(status, '0') << "xdotool " << testing::PrintToString(arguments) << " failed";
  Sleep(60);  // for the program to take the input in
}

std::wstring MoveTo(POINT at) {
  return L"mousemove " + std::to_wstring(at.x) + L" " + std::to_wstring(at.y);
}

void ClickAt(POINT at) { Xdotool(MoveTo(at) + L" click 1"); }

void PressKeys(std::initializer_list<const wchar_t*> keys) {
  std::wstring arguments = L"key --delay 20";
  for (const wchar_t* key : keys) {
    arguments += std::wstring{L" "} + key;
  }
  Xdotool(arguments);
}
