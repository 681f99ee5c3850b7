// What a screen reader is told of the window's controls, made by the
// program's own code in a window of this process and asked here: Wine hands
// no accessible object from one process to another.
#include <gtest/gtest.h>
#include <oleacc.h>
#include <wrl/client.h>

#include <string>
#include <utility>
#include <vector>

#include "window/design.h"
#include "window/look.h"

using Microsoft::WRL::ComPtr;

namespace {

std::vector<WPARAM> commands;  // the clicks that reached the window

LRESULT CALLBACK RecordCommands(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_COMMAND) {
    commands.push_back(wparam);
  }
  return DefWindowProcW(window, message, wparam, lparam);
}

// The text an object gave in text, or what went wrong.
std::wstring Said(HRESULT status, BSTR* text) {
  const std::wstring said = SUCCEEDED(status) && *text != nullptr ? *text : L"(failed)";
  SysFreeString(std::exchange(*text, nullptr));
  return said;
}

// Each bar by its label and its channel's number, the sample text by a name
// of its own, "Change" as a push button (not read-only) whose action is a
// click; objects that a screen reader still holds once the window is gone
// fail cleanly.
TEST(AccessibleTest, EachControlSaysWhatItIsAndDoesWhatItSays) {
  ASSERT_HRESULT_SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
  WNDCLASSW window_class{};
  window_class.lpfnWndProc = &RecordCommands;
  window_class.hInstance = GetModuleHandleW(nullptr);
  window_class.lpszClassName = L"AccessibleTest";
  ASSERT_NE(RegisterClassW(&window_class), 0);
  const HWND window = CreateWindowExW(0, L"AccessibleTest", L"", WS_POPUP, 0, 0, 300, 90, nullptr,
                                      nullptr, window_class.hInstance, nullptr);
  CreateControls(window);
  SetScrollPos(GetDlgItem(window, design::kGreen), SB_CTL, 128, TRUE);
  auto object = [window](int id) {
    ComPtr<IAccessible> found;
    EXPECT_HRESULT_SUCCEEDED(
        AccessibleObjectFromWindow(GetDlgItem(window, id), OBJID_CLIENT, IID_PPV_ARGS(&found)));
    return found;
  };
  VARIANT self{};
  self.vt = VT_I4;
  self.lVal = CHILDID_SELF;
  BSTR text = nullptr;
  auto name = [&](IAccessible* item) { return Said(item->get_accName(self, &text), &text); };
  auto value = [&](IAccessible* item) { return Said(item->get_accValue(self, &text), &text); };

  ComPtr<IAccessible> green = object(design::kGreen);
  ASSERT_TRUE(green);
  for (const auto& [id, label, number] : {std::tuple{design::kRed, L"R", L"0"},
                                          {design::kGreen, L"G", L"128"},
                                          {design::kBlue, L"B", L"0"}}) {
    EXPECT_EQ(name(object(id).Get()), label);
    EXPECT_EQ(value(object(id).Get()), number);
  }
  SetScrollPos(GetDlgItem(window, design::kGreen), SB_CTL, 254, TRUE);
  EXPECT_EQ(value(green.Get()), L"254");
  EXPECT_EQ(name(object(design::kText1).Get()), L"Sample text");

  ComPtr<IAccessible> change = object(design::kLabel4);
  ASSERT_TRUE(change);
  VARIANT role{};
  VARIANT state{};
  EXPECT_HRESULT_SUCCEEDED(change->get_accRole(self, &role));
  EXPECT_HRESULT_SUCCEEDED(change->get_accState(self, &state));
  EXPECT_EQ(role.lVal, ROLE_SYSTEM_PUSHBUTTON);
  EXPECT_EQ(state.lVal & STATE_SYSTEM_READONLY, 0) << "a button, not read-only text";
  EXPECT_EQ(Said(change->get_accDefaultAction(self, &text), &text), L"Press");
  EXPECT_EQ(Said(change->get_accKeyboardShortcut(self, &text), &text), L"Enter");
  EXPECT_HRESULT_SUCCEEDED(change->accDoDefaultAction(self));
  for (MSG message; PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE);) {
    DispatchMessageW(&message);
  }
  EXPECT_EQ(commands, std::vector<WPARAM>{MAKEWPARAM(design::kLabel4, STN_CLICKED)});

  DestroyWindow(window);
  EXPECT_EQ(value(green.Get()), L"(failed)");
  EXPECT_EQ(name(green.Get()), L"(failed)");
  EXPECT_HRESULT_FAILED(change->accDoDefaultAction(self));
  green.Reset();
  change.Reset();
  CoUninitialize();
}

}  // namespace
