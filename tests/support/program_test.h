// The shipped program beside a stand-in messenger, each in a process of its
// own, used from outside as a person (or another program) would use it.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "standin/driver.h"
#include "support/input.h"
#include "support/message_boxes.h"
#include "support/planted_server.h"
#include "support/registry.h"
#include "support/screen.h"
#include "window/design.h"
#include "window/form1.h"

// Set before any test runs, as gtest_main gives no earlier place.
inline const bool kSeesWindowsAtTheirScale = (SeeOtherWindowsAtTheirScale(), true);

inline DWORD Rgb(DWORD red, DWORD green, DWORD blue) { return red << 16 | green << 8 | blue; }

inline int Position(HWND bar) { return static_cast<int>(SendMessageW(bar, SBM_GETPOS, 0, 0)); }

// The middle of a bar's arrow (at its right end or its left), in screen coordinates.
inline POINT ArrowOf(HWND bar, bool right) {
  RECT area{};
  GetWindowRect(bar, &area);
  const int half_arrow = (area.bottom - area.top) / 2;
  return {right ? area.right - half_arrow : area.left + half_arrow, (area.top + area.bottom) / 2};
}

// Reads until read() gives expected or a second has passed; the last reading.
template <typename Read>
auto Settled(Read read, const decltype(read())& expected) {
  decltype(read()) value;
  for (int i = 0; (value = read()) != expected && i < 100; ++i) {
    Sleep(10);
  }
  return value;
}

// A window of the test's own that takes the foreground, as another program's
// would. It hears of any window that is shown and activated meanwhile, if
// only for a moment that no look at the screen would catch: it loses the
// activation.
class ForegroundKeeper {
 public:
  ForegroundKeeper() {
    lost_ = false;
    WNDCLASSW window_class{};
    window_class.lpfnWndProc = &Procedure;
    window_class.hInstance = GetModuleHandleW(nullptr);
    window_class.lpszClassName = L"ForegroundKeeper";
    RegisterClassW(&window_class);  // fails harmlessly for the second keeper
    window_ = CreateWindowExW(0, window_class.lpszClassName, L"", WS_POPUP | WS_VISIBLE, 900, 700,
                              50, 50, nullptr, nullptr, window_class.hInstance, nullptr);
    SetForegroundWindow(window_);
  }
  ~ForegroundKeeper() { DestroyWindow(window_); }
  ForegroundKeeper(const ForegroundKeeper&) = delete;
  ForegroundKeeper& operator=(const ForegroundKeeper&) = delete;

  // Whether it has held the foreground all along, once what was sent to it has come.
  bool Kept() {
    for (const ULONGLONG end = GetTickCount64() + 300; GetTickCount64() < end; Sleep(10)) {
      for (MSG message; PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE);) {
        DispatchMessageW(&message);
      }
    }
    return !lost_ && GetForegroundWindow() == window_;
  }

 private:
  static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    lost_ |= message == WM_ACTIVATE && LOWORD(wparam) == WA_INACTIVE;
    return DefWindowProcW(window, message, wparam, lparam);
  }
  static inline bool lost_ = false;
  HWND window_ = nullptr;
};

// Tintwell, the messenger it runs beside, and a DLL that leaves a mark when
// loaded, each of the architecture named.
struct Pairing {
  std::wstring tintwell;
  std::wstring standin;
  std::wstring planted;
};
inline const Pairing kX64{L"" TINTWELL_X64, L"" STANDIN_X64, L"" PLANTED_X64};
inline const Pairing kX86{L"" TINTWELL_X86, L"" STANDIN_X86, L"" PLANTED_X86};

// Every test runs with an in-process server planted for the messenger's
// class in Tintwell's registry view: it must never be loaded.
class ProgramTest : public testing::TestWithParam<Pairing> {
 protected:
  void SetUp() override { ASSERT_TRUE(standin_->started()); }
  // Members go after this: the program, ended as a crash would end it, then
  // the messenger and its registration.
  void TearDown() override {
    for (const std::wstring& name : names_) {
      RegDeleteTreeW(HKEY_CURRENT_USER, AccountKey(name).c_str());
    }
    EXPECT_EQ(GetFileAttributesW(MarkOf(GetParam().planted).c_str()), INVALID_FILE_ATTRIBUTES)
        << "the planted in-process server was loaded";
  }

  // A messenger registered afresh, signed in as the test's account, or none.
  void RegisterMessenger(bool present = true) {
    planted_.reset();
    standin_.reset();
    if (present) {
      standin_.emplace(GetParam().standin, account_);
    }
    planted_.emplace(GetParam().tintwell, GetParam().planted);
  }
  // Tells the running messenger what to do next (standin/control.h).
  static void Messenger(const std::wstring& command) {
    EXPECT_EQ(StandinMessenger::Control(command), 0) << testing::PrintToString(command);
  }

  // Starts the program, whose every box is closed with OK or the button that
  // on_box names; its window once shown, or null when it ended first.
  // while_hidden runs once the window exists, before it is shown.
  HWND Start(std::function<int(const SeenBox&)> on_box = {},
             std::function<void(HWND)> while_hidden = {}) {
    tintwell_.emplace(tintwell_path_, L"");
    boxes_.emplace(tintwell_->id(), std::move(on_box));
    for (const ULONGLONG deadline = GetTickCount64() + 20000;
         GetTickCount64() < deadline && tintwell_->WaitForExit(2) == -1;) {
      window_ = FindWindowW(Form1::kWindowClass, nullptr);
      if (window_ != nullptr && !IsWindowVisible(window_) && while_hidden) {
        std::exchange(while_hidden, nullptr)(window_);
      }
      // Shown on the screen, on the design's background, it can be clicked.
      RECT pixel{1, 1, 2, 2};
      MapWindowPoints(window_, nullptr, reinterpret_cast<POINT*>(&pixel), 2);
      if (window_ != nullptr && IsWindowVisible(window_) &&
          CaptureScreen(pixel) == std::vector<DWORD>{Rgb(213, 232, 255)}) {
        return window_;
      }
    }
    return nullptr;
  }
  // The boxes seen so far, once there are n of them (or ms have passed).
  std::vector<SeenBox> Boxes(std::size_t n, DWORD ms = 5000) { return boxes_->Seen(n, ms); }
  HWND Control(int id) const { return GetDlgItem(window_, id); }

  // Client area and controls as the design's twips at dpi, and "Change" and
  // "R" exactly as drawn here with their fonts.
  void ExpectDesignAt(int dpi) const {
    auto pixels = [dpi](int twips) { return MulDiv(twips, dpi, 1440); };
    RECT client{};
    GetClientRect(window_, &client);
    std::vector<LONG> shown{client.right, client.bottom};
    std::vector<LONG> designed{pixels(4425), pixels(1320)};
    for (const design::Control& control : design::kControls) {
      RECT area{};
      GetWindowRect(Control(control.id), &area);
      MapWindowPoints(nullptr, window_, reinterpret_cast<POINT*>(&area), 2);
      shown.insert(shown.end(),
                   {area.left, area.top, area.right - area.left, area.bottom - area.top});
      designed.insert(designed.end(), {pixels(control.left), pixels(control.top),
                                       pixels(control.width), pixels(control.height)});
    }
    EXPECT_EQ(shown, designed) << "the client area, then each control: left, top, width, height";
    // "Change" in bold on the window colour, "R" in the regular font on the
    // design's background, both MS Sans Serif 8.25 pt.
    for (const auto& [id, text, weight, background] :
         {std::tuple{design::kLabel4, L"Change", FW_BOLD, GetSysColor(COLOR_WINDOW)},
          std::tuple{design::kLabel1, L"R", FW_NORMAL, design::kBackground}}) {
      RECT area{};
      GetClientRect(Control(id), &area);
      Canvas label{area.right, area.bottom};
      const HBRUSH brush = CreateSolidBrush(background);
      FillRect(label.dc(), &area, brush);
      DeleteObject(brush);
      const HGDIOBJ previous = SelectObject(
          label.dc(), CreateFontW(-MulDiv(825, dpi, 7200), 0, 0, 0, weight, FALSE, FALSE, FALSE,
                                  DEFAULT_CHARSET, 0, 0, DEFAULT_QUALITY, 0, L"MS Sans Serif"));
      SetTextColor(label.dc(), GetSysColor(COLOR_WINDOWTEXT));
      SetBkColor(label.dc(), background);
      DrawTextW(label.dc(), text, -1, &area, DT_LEFT | DT_EXPANDTABS | DT_WORDBREAK);
      DeleteObject(SelectObject(label.dc(), previous));
      const std::vector<DWORD> expected = label.Pixels();
      MapWindowPoints(Control(id), nullptr, reinterpret_cast<POINT*>(&area), 2);
      EXPECT_EQ(Settled([&] { return CaptureScreen(area); }, expected), expected) << id;
    }
  }
  // Sends what Windows sends with data in the program's own memory (a
  // suggested frame, a size to fill in), and gives that data back.
  template <typename Data>
  Data SendWithData(UINT message, WPARAM wparam, Data data) const {
    void* remote = VirtualAllocEx(tintwell_->handle(), nullptr, sizeof data,
                                  MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    EXPECT_TRUE(WriteProcessMemory(tintwell_->handle(), remote, &data, sizeof data, nullptr));
    Ask(window_, message, wparam, reinterpret_cast<LPARAM>(remote));
    EXPECT_TRUE(ReadProcessMemory(tintwell_->handle(), remote, &data, sizeof data, nullptr));
    VirtualFreeEx(tintwell_->handle(), remote, 0, MEM_RELEASE);
    return data;
  }
  // Sends a window of the program a request as another program would, and
  // expects the answer within a second.
  static LRESULT Ask(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    DWORD_PTR answer = 0;
    const ULONGLONG sent = GetTickCount64();
    EXPECT_NE(SendMessageTimeoutW(window, message, wparam, lparam, SMTO_NORMAL, 5000, &answer), 0);
    EXPECT_LT(GetTickCount64() - sent, 1000u) << message;
    return static_cast<LRESULT>(answer);
  }

  // Two clicks close together in time and place are a double click, which
  // "Change" does not take: the clicks alternate between its two halves.
  void ClickChange() {
    RECT label{};
    GetWindowRect(Control(design::kLabel4), &label);
    const int half = ++clicks_ % 2 == 0 ? 8 : -8;
    ClickAt({(label.left + label.right) / 2 + half, (label.top + label.bottom) / 2});
  }
  // A click on the bar's right arrow (which gives it the focus), then keys.
  void Drive(int bar, std::initializer_list<const wchar_t*> keys, int position) const {
    ClickAt(ArrowOf(Control(bar), true));
    if (keys.size() != 0) {
      PressKeys(keys);
    }
    ExpectPosition(bar, position);
  }
  void ExpectPosition(int bar, int position) const {
    EXPECT_EQ(Settled([&] { return Position(Control(bar)); }, position), position) << bar;
  }
  // The colours the sample text shows in, on its white.
  std::vector<DWORD> Preview() const { return ColoursShownIn(Control(design::kText1), 0xFFFFFF); }
  void ExpectPreview(DWORD colour) const {
    EXPECT_EQ(Settled([this] { return Preview(); }, {colour}), std::vector<DWORD>{colour});
  }
  std::vector<BYTE> StoredColor() const {
    return ReadBinaryValue(AccountKey(account_), L"IM Color");
  }

  // A box of the program's, owned by its window, with one button.
  SeenBox Box(const std::wstring& text, const wchar_t* icon = L"critical",
              const wchar_t* title = L"Tintwell") const {
    return {title, text, icon, 1, window_};
  }
  SeenBox Done(const std::wstring& name = {}) const {
    return Box(L"Color has been changed for " + (name.empty() ? account_ : name), L"information",
               L"Done !");
  }
  // The system's description of the code, as the program quotes it.
  static std::wstring SystemDescription(DWORD code) {
    wchar_t text[512] = {};
    FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
                   text, 512, nullptr);
    std::wstring description = text;
    description.erase(description.find_last_not_of(L"\r\n ") + 1);
    return description;
  }
  // The box in which the program ends after a failure: the description
  // given, or else the system's for the code, and the note.
  SeenBox FatalBox(DWORD code, std::wstring description = {}, const std::wstring& note = {}) const {
    if (description.empty()) {
      description = SystemDescription(code);
    }
    wchar_t text[16] = {};
    wsprintfW(text, L"0x%08lX", code);
    return Box(L"Run-time error " + std::wstring{text} + L":\n\n" + description + note +
               L"\n\nTintwell will now close.");
  }

  std::wstring tintwell_path_ = GetParam().tintwell;
  const std::wstring account_ = UniqueName(L"anna@example.com");
  std::vector<std::wstring> names_{account_};  // whose keys go at the end
  std::optional<StandinMessenger> standin_{std::in_place, GetParam().standin, account_};
  std::optional<PlantedInProcessServer> planted_{std::in_place, GetParam().tintwell,
                                                 GetParam().planted};
  std::optional<Process> tintwell_;
  std::optional<MessageBoxWatcher> boxes_;
  HWND window_ = nullptr;
  int clicks_ = 0;
};

// What the window itself shows and does, for each build beside its own
// messenger (instantiated in window_look_test.cpp).
class WindowTest : public ProgramTest {};
// What crosses to the messenger, for each pairing (instantiated in
// apply_test.cpp).
class MessengerTest : public ProgramTest {};
