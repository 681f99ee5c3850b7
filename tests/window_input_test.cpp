// Keys, clicks and drags, as the X server gives them: where the focus goes,
// where the bars go, what the preview shows and when.
#include "support/program_test.h"
#include "window/automation_ids.h"
#include "window/function_in.h"

namespace {

// Tab visits the bars and the text but never a label, and after a visit to
// another window the focus is back where the user left it. A screen reader
// names each bar after the text just before it: its label.
TEST_P(WindowTest, TabVisitsTheBarsAndTheTextButNoLabel) {
  ASSERT_NE(Start(), nullptr);
  POINT background{2, 2};  // a click there gives the window the keyboard, not a control
  ClientToScreen(window_, &background);
  ClickAt(background);
  auto focus = [this] {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    GetGUIThreadInfo(GetWindowThreadProcessId(window_, nullptr), &info);
    return info.hwndFocus;
  };
  EXPECT_EQ(Settled(focus, Control(design::kRed)), Control(design::kRed));
  for (const int id : {design::kGreen, design::kBlue, design::kText1, design::kRed}) {
    PressKeys({L"Tab"});
    EXPECT_EQ(Settled(focus, Control(id)), Control(id));
  }
  for (const auto& [bar, label] : {std::pair{design::kRed, design::kLabel1},
                                   {design::kGreen, design::kLabel2},
                                   {design::kBlue, design::kLabel3}}) {
    EXPECT_EQ(GetWindow(Control(bar), GW_HWNDPREV), Control(label)) << bar;
  }
  PressKeys({L"Tab"});
  ForegroundKeeper other;
  ASSERT_TRUE(other.Kept());
  ClickAt(background);
  EXPECT_EQ(Settled(focus, Control(design::kGreen)), Control(design::kGreen));
}

// Arrows, trough keys, the ends of the bars and a dragged thumb, once
// released, give exactly the chosen colour, which the preview shows (the
// edit box's own colour until the first change); a step past either end
// changes nothing. Enter stores the colour, from a bar or from the sample
// text, for those who use no mouse.
TEST_P(WindowTest, KeysClicksAndDragsMoveTheBarsAndThePreviewFollowsExactly) {
  ASSERT_NE(Start(), nullptr);
  ExpectPreview(Rgb(0, 0, 0));
  ClickAt(ArrowOf(Control(design::kRed), false));
  PressKeys({L"Left"});
  ExpectPosition(design::kRed, 0);
  Drive(design::kRed, {}, 1);
  ExpectPreview(Rgb(1, 0, 0));
  Drive(design::kRed, {L"End", L"Right"}, 255);
  ClickAt(ArrowOf(Control(design::kRed), true));
  ExpectPosition(design::kRed, 255);
  ExpectPreview(Rgb(255, 0, 0));
  PressKeys({L"Tab", L"Next", L"Next", L"Right", L"Left", L"Left"});  // green: 15, 30, 31, 30, 29
  ExpectPosition(design::kGreen, 29);
  PressKeys({L"Tab", L"End", L"Prior"});  // blue: 255, 240
  ExpectPosition(design::kBlue, 240);
  ExpectPreview(Rgb(255, 29, 240));
  PressKeys({L"Home"});
  ExpectPreview(Rgb(255, 29, 0));
  // A dragged thumb changes the preview only once it is released.
  RECT area{};
  GetWindowRect(Control(design::kBlue), &area);
  const POINT thumb{area.left + (area.bottom - area.top) + 3, (area.top + area.bottom) / 2};
  Xdotool(MoveTo(thumb) + L" mousedown 1");
  Xdotool(MoveTo({(thumb.x + area.right) / 2, thumb.y}));
  EXPECT_EQ(Position(Control(design::kBlue)), 0);
  ExpectPreview(Rgb(255, 29, 0));
  Xdotool(L"mouseup 1");
  const int released_at = Settled([&] { return Position(Control(design::kBlue)); }, -1);
  EXPECT_GT(released_at, 100);
  EXPECT_LT(released_at, 200);
  ExpectPreview(Rgb(255, 29, released_at));
  PressKeys({L"Return"});
  EXPECT_EQ(Boxes(1), std::vector<SeenBox>{Done()});
  PressKeys({L"Tab", L"Return"});
  EXPECT_EQ(Boxes(2), std::vector<SeenBox>(2, Done()));
  EXPECT_EQ(StoredColor(), (std::vector<BYTE>{255, 29, static_cast<BYTE>(released_at), 0}));
}

// What a UI Automation client in another process reads of each control,
// through UI Automation's own client calls: its type (50015 Slider, 50004
// Edit, 50000 Button), name, whether the focus can reach it, its key. Wine
// carries these across; none of its releases has the client calls that
// reach a pattern (accessible_test.cpp calls those in-process).
TEST_P(WindowTest, UiAutomationClientsElsewhereReadSlidersTheSampleAndAButton) {
  ASSERT_NE(Start(), nullptr);
  ASSERT_HRESULT_SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
  const AtEnd uninitialized{[] { CoUninitialize(); }};
  const HMODULE core = LoadLibraryW(L"uiautomationcore.dll");
  using NodeFunction = HRESULT(WINAPI*)(HWND, HANDLE*);
  using PropertyFunction = HRESULT(WINAPI*)(HANDLE, PROPERTYID, VARIANT*);
  using ReleaseFunction = BOOL(WINAPI*)(HANDLE);
  const auto node_from_handle = FunctionIn<NodeFunction>(core, "UiaNodeFromHandle");
  const auto property_value = FunctionIn<PropertyFunction>(core, "UiaGetPropertyValue");
  const auto release = FunctionIn<ReleaseFunction>(core, "UiaNodeRelease");
  ASSERT_TRUE(node_from_handle && property_value && release);
  auto read = [&](int id) {
    HANDLE node = nullptr;
    if (FAILED(node_from_handle(Control(id), &node))) {
      return std::wstring{L"(no element)"};
    }
    std::wstring seen;
    for (const PROPERTYID property :
         {uia::kControlTypeProperty, uia::kNameProperty, uia::kIsKeyboardFocusableProperty,
          uia::kAcceleratorKeyProperty}) {
      VARIANT value{};
      property_value(node, property, &value);
      seen += value.vt == VT_I4     ? std::to_wstring(value.lVal)
              : value.vt == VT_BSTR ? std::wstring{value.bstrVal}
              : value.vt == VT_BOOL ? std::wstring{value.boolVal ? L"focusable" : L"unfocusable"}
                                    : std::wstring{L"-"};
      seen += L"/";
      VariantClear(&value);
    }
    release(node);
    return seen;
  };
  for (const auto& [id, expected] : {std::pair{design::kRed, L"50015/Red/focusable/-/"},
                                     {design::kGreen, L"50015/Green/focusable/-/"},
                                     {design::kBlue, L"50015/Blue/focusable/-/"},
                                     {design::kText1, L"50004/Sample text/focusable/-/"},
                                     {design::kLabel4, L"50000/Change/unfocusable/Enter/"}}) {
    EXPECT_EQ(read(id), expected);
  }
}

}  // namespace
