#include "support/input.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>

// Wine cannot start a Linux program, so the harness's bridge runs it for us:
// it takes the request file, and leaves the output in the output file and the
// exit status in the done file.
std::string RunOnDisplay(const std::wstring& command_line) {
  char folder[MAX_PATH] = {};
  GetEnvironmentVariableA("TINTWELL_INPUT_DIR", folder, MAX_PATH);
  const std::string bridge = "Z:" + std::string{folder} + "/";
  DeleteFileA((bridge + "done").c_str());
  std::ofstream{bridge + "request.new"} << std::string(command_line.begin(), command_line.end());
  if (!MoveFileExA((bridge + "request.new").c_str(), (bridge + "request").c_str(),
                   MOVEFILE_REPLACE_EXISTING)) {
    ADD_FAILURE() << "no bridge in " << bridge;
    return {};
  }
  // A click that was never sent would pass every check that nothing changed.
  int status = EOF;
  for (const ULONGLONG deadline = GetTickCount64() + 5000; status == EOF; Sleep(2)) {
    if (std::ifstream done{bridge + "done"}) {
      status = done.get();
    } else if (GetTickCount64() >= deadline) {
      ADD_FAILURE() << testing::PrintToString(command_line) << " was not run";
      return {};
    }
  }
  EXPECT_EQ(status, '0') << testing::PrintToString(command_line) << " failed";
  std::ifstream output{bridge + "output"};
  return {std::istreambuf_iterator<char>{output}, {}};
}

void Xdotool(const std::wstring& arguments) {
  RunOnDisplay(L"xdotool " + arguments);
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
