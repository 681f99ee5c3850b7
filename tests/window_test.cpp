// The shipped program, used from outside as a person would use it.
#include <gtest/gtest.h>

#include <functional>
#include <limits>
#include <optional>
#include <sstream>

#include "failure/failure.h"
#include "resources/resource_ids.h"
#include "support/input.h"
#include "support/message_boxes.h"
#include "standin/driver.h"
#include "support/planted_server.h"
#include "support/registry.h"
#include "support/screen.h"
#include "window/design.h"

namespace {

DWORD Rgb(DWORD red, DWORD green, DWORD blue) { return red << 16 | green << 8 | blue; }

int Position(HWND bar) { return static_cast<int>(SendMessageW(bar, SBM_GETPOS, 0, 0)); }

// The middle of a bar's arrow (at its right end or its left), in screen coordinates.
POINT ArrowOf(HWND bar, bool right) {
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

// The icons the window gives the system's shell, as Wine hands them to the X
// server: the big one's width, height and pixels (0xAARRGGBB, row by row from
// the top), then the small one's.
std::vector<DWORD> IconsGiven(HWND window) {
  const auto x_window = reinterpret_cast<UINT_PTR>(GetPropW(window, L"__wine_x11_whole_window"));
  std::istringstream given{RunOnDisplay(L"xprop -notype -f _NET_WM_ICON 32c -id " +
                                        std::to_wstring(x_window) + L" _NET_WM_ICON")};
  given.ignore(std::numeric_limits<std::streamsize>::max(), '=');
  std::vector<DWORD> values;
  for (DWORD value; given >> value; given.ignore()) {
    values.push_back(value);
  }
  return values;
}

// Adds, in the same form, the image that Windows picks from the program's
// icon for that size.
void AddIconImage(std::vector<DWORD>& values, HMODULE module, int size) {
  auto resource = [module](int id, LPCWSTR type) {
    return static_cast<BYTE*>(LockResource(
        LoadResource(module, FindResourceW(module, MAKEINTRESOURCEW(id), type))));
  };
  const BYTE* image = resource(LookupIconIdFromDirectoryEx(resource(kProgramIcon, RT_GROUP_ICON),
                                                           TRUE, size, size, LR_DEFAULTCOLOR),
                               RT_ICON);
  const auto* header = reinterpret_cast<const BITMAPINFOHEADER*>(image);
  const LONG width = header->biWidth;
  values.insert(values.end(), {static_cast<DWORD>(width), static_cast<DWORD>(width)});
  // In true colour, rows from the bottom up follow the header.
  const auto* pixels = reinterpret_cast<const DWORD*>(image + header->biSize);
  for (LONG row = width - 1; row >= 0 && header->biBitCount == 32; --row) {
    values.insert(values.end(), pixels + row * width, pixels + (row + 1) * width);
  }
}

// Tintwell and the messenger it runs beside, each a program of its own
// architecture, and a DLL of Tintwell's that leaves a mark when loaded.
struct Pairing {
  std::wstring tintwell;
  std::wstring standin;
  std::wstring planted;
};

const Pairing kX64{L"" TINTWELL_X64, L"" STANDIN_X64, L"" PLANTED_X64};
const Pairing kX86{L"" TINTWELL_X86, L"" STANDIN_X86, L"" PLANTED_X86};
// What 64-bit Windows users of the 32-bit messenger may run.
const Pairing kX64Beside32BitMessenger{L"" TINTWELL_X64, L"" STANDIN_X86, L"" PLANTED_X64};

// Every test runs with an in-process server planted for the messenger's
// class in Tintwell's registry view: it must never be loaded.
class ProgramTest : public testing::TestWithParam<Pairing> {
 protected:
  void SetUp() override {
    ASSERT_TRUE(standin_->started());
  }
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

  // Starts the program, whose every box is closed with OK or with the button
  // that on_box names; its window once shown, or null when it ended first.
  // while_hidden runs once the window exists, before it is shown.
  HWND Start(std::function<int(const SeenBox&)> on_box = {},
             std::function<void(HWND)> while_hidden = {}) {
    tintwell_.emplace(tintwell_path_, L"");
    boxes_.emplace(tintwell_->id(), std::move(on_box));
    for (const ULONGLONG deadline = GetTickCount64() + 20000;
         GetTickCount64() < deadline && tintwell_->WaitForExit(2) == -1;) {
      window_ = FindWindowW(L"TintwellForm1", nullptr);
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
  // Client area and controls as the design's twips at dpi; "Change" in bold
  // on the window colour and "R" in the regular font on the design's
  // background, each exactly as drawn here with its font.
  void ExpectDesignAt(int dpi) const {
    auto pixels = [dpi](int twips) { return MulDiv(twips, dpi, 1440); };
    RECT client{};
    GetClientRect(window_, &client);
    EXPECT_EQ(std::vector<LONG>({client.right, client.bottom}),
              std::vector<LONG>({pixels(4425), pixels(1320)}));
    for (const design::Control& control : design::kControls) {
      RECT area{};
      GetWindowRect(Control(control.id), &area);
      MapWindowPoints(nullptr, window_, reinterpret_cast<POINT*>(&area), 2);
      EXPECT_EQ(std::vector<LONG>({area.left, area.top, area.right - area.left,
                                   area.bottom - area.top}),
                std::vector<LONG>({pixels(control.left), pixels(control.top),
                                   pixels(control.width), pixels(control.height)}))
          << control.id;
    }
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
  // The window moved to a monitor of another scale: the new DPI, and the
  // frame that Windows suggests.
  void SendDpiChange(int dpi, const RECT& suggested) const {
    SendWithData(0x02E0 /* WM_DPICHANGED */, MAKEWPARAM(dpi, dpi), suggested);
  }
  std::vector<SeenBox> Boxes(std::size_t count, DWORD timeout_ms = 5000) {
    return boxes_->Seen(count, timeout_ms);
  }
  HWND Control(int id) const { return GetDlgItem(window_, id); }
  // Two clicks close together in time and place are a double click, which
  // "Change" does not take: the clicks alternate between its two halves.
  void ClickChange() {
    RECT label{};
    GetWindowRect(Control(design::kLabel4), &label);
    const int half = ++clicks_ % 2 == 0 ? 8 : -8;
    ClickAt({(label.left + label.right) / 2 + half, (label.top + label.bottom) / 2});
  }
  void ExpectPosition(int bar, int position) const {
    EXPECT_EQ(Settled([&] { return Position(Control(bar)); }, position), position) << bar;
  }
  // A click on the bar's right arrow (which gives it the focus), then keys.
  void Drive(int bar, std::initializer_list<const wchar_t*> keys, int position) const {
    ClickAt(ArrowOf(Control(bar), true));
    if (keys.size() != 0) {
      PressKeys(keys);
    }
    ExpectPosition(bar, position);
  }
  // The colours the sample text shows in, on its white.
  std::vector<DWORD> Preview() const { return ColoursShownIn(Control(design::kText1), 0xFFFFFF); }
  void ExpectPreview(DWORD colour) const {
    const std::vector<DWORD> only{colour};
    EXPECT_EQ(Settled([this] { return Preview(); }, only), only);
  }
  std::vector<BYTE> StoredColor() const {
    return ReadBinaryValue(AccountKey(account_), L"IM Color");
  }
  // A box of the program's, owned by its window, with one button.
  SeenBox Box(const std::wstring& text, const wchar_t* icon = L"critical",
              const wchar_t* title = L"Tintwell") const {
    return {title, text, icon, 1, window_};
  }
  SeenBox Refused(const std::wstring& name, const std::wstring& reason) const {
    return Box(L"The color was not changed for " + name + L".\n\n" + reason);
  }
  SeenBox Done(const std::wstring& name = {}) const {
    return Box(L"Color has been changed for " + (name.empty() ? account_ : name), L"information",
               L"Done !");
  }
  // The box in which the program ends after a failure: the description
  // given, or else the system's for the code, and the note.
  SeenBox FatalBox(DWORD code, std::wstring description = {}, const std::wstring& note = {}) const {
    wchar_t text[512] = {};
    if (description.empty()) {
      FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
                     text, 512, nullptr);
      description = text;
      description.erase(description.find_last_not_of(L"\r\n ") + 1);
    }
    wsprintfW(text, L"0x%08lX", code);
    return Box(L"Run-time error " + std::wstring{text} + L":\n\n" + description + note +
               L"\n\nTintwell will now close.");
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

// What the window itself shows and does, for each build beside its own messenger.
class WindowTest : public ProgramTest {};
INSTANTIATE_TEST_SUITE_P(x64, WindowTest, testing::Values(kX64));
INSTANTIATE_TEST_SUITE_P(x86, WindowTest, testing::Values(kX86));

// What crosses to the messenger, for each pairing.
class MessengerTest : public ProgramTest {};
INSTANTIATE_TEST_SUITE_P(x64, MessengerTest, testing::Values(kX64));
INSTANTIATE_TEST_SUITE_P(x86, MessengerTest, testing::Values(kX86));
INSTANTIATE_TEST_SUITE_P(x64_beside_32bit_messenger, MessengerTest,
                         testing::Values(kX64Beside32BitMessenger));

// The window and its controls where the design puts them, and "Change" in
// bold MS Sans Serif 8.25 pt, at the scale of the session it starts in: run
// in a session at 96 DPI and in one at 144.
TEST_P(WindowTest, OpensAtTheScaleOfTheSession) {
  wchar_t session_dpi[8] = {};
  GetEnvironmentVariableW(L"TINTWELL_SESSION_DPI", session_dpi, 8);
  const int dpi = _wtoi(session_dpi);
  ASSERT_EQ(GetDpiForSystem(), static_cast<UINT>(dpi)) << "the harness's session DPI";
  ASSERT_NE(Start(), nullptr);
  ExpectDesignAt(dpi);
}

// The caption and the program's icons, and the design at the DPI Windows
// tells the program of when the window moves to a monitor of another scale
// (also during the start), and after a change of theme or metrics. A
// relayout that fails during an apply (a control gone, destroyed by another
// program) ends the program only once the apply is over, and the program
// that sent the change is answered before the box is read.
TEST_P(WindowTest, TheWindowShowsItsTitleIconAndDesignAtEveryScale) {
  // The scale changes while the slow messenger is asked, before the window
  // is shown (or has its controls), as Windows 8.1 tells it (the old frame
  // scaled), and it opens at the new scale, fitted, with no box.
  ASSERT_EQ(StandinMessenger::Control(L"delay:1500"), 0);
  auto read_slowly = [](const SeenBox& box) {  // the fatal box, read while its sender waits
    Sleep(box.title == L"Tintwell" ? 1500 : 0);
    return IDOK;
  };
  ASSERT_NE(Start(read_slowly, [this](HWND) { SendDpiChange(120, {40, 30, 500, 300}); }),
            nullptr);
  ExpectDesignAt(120);
  wchar_t caption[128] = {};
  GetWindowTextW(window_, caption, 128);
  EXPECT_TRUE(std::wstring{caption}.starts_with(L"Tintwell - ")) << caption;
  EXPECT_GT(std::wstring{caption}.size(), 12u) << "no credit after the title";

  // The name Windows shows for the running program.
  std::vector<BYTE> version(GetFileVersionInfoSizeW(tintwell_path_.c_str(), nullptr));
  ASSERT_TRUE(GetFileVersionInfoW(tintwell_path_.c_str(), 0, static_cast<DWORD>(version.size()),
                                  version.data()));
  void* description = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueW(version.data(), L"\\StringFileInfo\\040904B0\\FileDescription",
                             &description, &length));
  EXPECT_STREQ(static_cast<const wchar_t*>(description), L"Tintwell");

  // A new scale as Windows 10 1703 and later tell it: the frame for it asked
  // for first, then suggested, and taken as it is.
  const SIZE frame = SendWithData(0x02E4 /* WM_GETDPISCALEDSIZE */, 144, SIZE{});
  const RECT suggested{40, 30, 40 + frame.cx, 30 + frame.cy};
  SendDpiChange(144, suggested);
  RECT taken{};
  GetWindowRect(window_, &taken);
  EXPECT_TRUE(EqualRect(&taken, &suggested)) << taken.right << " x " << taken.bottom;
  ExpectDesignAt(144);
  // The caption's and the taskbar's icons, each the program's own image for
  // its size at the new scale, not one stretched from another size.
  const HMODULE module = LoadLibraryExW(tintwell_path_.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  std::vector<DWORD> images;
  for (const int size : {48, 24}) {
    AddIconImage(images, module, size);
  }
  FreeLibrary(module);
  EXPECT_TRUE(Settled([this] { return IconsGiven(window_); }, images) == images)
      << "not the 24 and 48 pixel images";
  // A new theme or new metrics give the frame another size (as a frame
  // style does here: another program's metrics never reach this one under
  // Wine), and the client area is fitted again; one while minimized, when
  // there is no client area to measure, once the window is restored.
  for (const auto& [change, minimized] : {std::pair{WM_THEMECHANGED, false},
                                          {WM_SETTINGCHANGE, false}, {WM_THEMECHANGED, true}}) {
    if (minimized) {
      ShowWindow(window_, SW_MINIMIZE);
    }
    SetWindowLongPtrW(window_, GWL_EXSTYLE,
                      GetWindowLongPtrW(window_, GWL_EXSTYLE) ^ WS_EX_CLIENTEDGE);
    SetWindowPos(window_, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_FRAMECHANGED);
    Ask(window_, static_cast<UINT>(change), 0, 0);
    if (minimized) {
      ShowWindow(window_, SW_RESTORE);
    }
    ExpectDesignAt(144);
  }

  ASSERT_EQ(StandinMessenger::Control(L"delay:1500"), 0);
  ClickChange();
  Sleep(300);  // the messenger is being asked
  Ask(Control(design::kLabel1), WM_CLOSE, 0, 0);
  SendDpiChange(120, {40, 30, 500, 300});
  EXPECT_EQ(tintwell_->WaitForExit(10000), 1);
  EXPECT_EQ(Boxes(2), (std::vector<SeenBox>{FatalBox(0x80070578), Done()}));
  EXPECT_EQ(StoredColor(), (std::vector<BYTE>{0, 0, 0, 0}));
}

// Tab visits the bars and the text but never a label, and the focus is back
// on the bar the user left after a visit to another window; arrows, trough
// keys, the ends of the bars and a dragged thumb, once released, give exactly
// the chosen colour; a step past either end changes nothing and ends nothing.
TEST_P(WindowTest, KeysClicksAndDragsMoveTheBarsAndThePreviewFollowsExactly) {
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
  // A screen reader names each bar after the text just before it: its label.
  for (const auto& [bar, label] : {std::pair{design::kRed, design::kLabel1},
                                   {design::kGreen, design::kLabel2},
                                   {design::kBlue, design::kLabel3}}) {
    EXPECT_EQ(GetWindow(Control(bar), GW_HWNDPREV), Control(label)) << bar;
  }
  // Away to another window and back: the keyboard is where the user left it.
  PressKeys({L"Tab"});
  const HWND other =
      CreateWindowExW(WS_EX_TOPMOST, L"STATIC", L"", WS_POPUP | WS_VISIBLE | WS_BORDER, 700, 600,
                      120, 80, nullptr, nullptr, nullptr, nullptr);
  ClickAt({760, 640});
  auto foreground = [] {  // once this thread has taken its own input in
    for (MSG message; PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE);) {
      DispatchMessageW(&message);
    }
    return GetForegroundWindow();
  };
  EXPECT_EQ(Settled(foreground, other), other);
  ClickAt(background);
  EXPECT_EQ(Settled(focus, Control(design::kGreen)), Control(design::kGreen));
  DestroyWindow(other);
  ExpectPreview(Rgb(0, 0, 0));  // the edit box's own colour, until the first change

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

  RECT area{};
  GetWindowRect(Control(design::kBlue), &area);
  const POINT thumb{area.left + (area.bottom - area.top) + 3, (area.top + area.bottom) / 2};
  Xdotool(MoveTo(thumb) + L" mousedown 1");
  Xdotool(MoveTo({(thumb.x + area.right) / 2, thumb.y}));
  EXPECT_EQ(Position(Control(design::kBlue)), 0);
  ExpectPreview(Rgb(255, 29, 0));  // not while the thumb is dragged
  Xdotool(L"mouseup 1");
  const int released_at = Settled([&] { return Position(Control(design::kBlue)); }, -1);
  EXPECT_GT(released_at, 100);
  EXPECT_LT(released_at, 200);
  ExpectPreview(Rgb(255, 29, released_at));
  // Enter stores the colour, for those who use no mouse.
  PressKeys({L"Return"});
  EXPECT_EQ(Boxes(1), std::vector<SeenBox>{Done()});
  EXPECT_EQ(StoredColor(), (std::vector<BYTE>{255, 29, static_cast<BYTE>(released_at), 0}));

  // A close sent by another program (as "End task" sends it) is answered
  // before the program unsubscribes, slowly here, which it does all the same.
  ASSERT_EQ(StandinMessenger::Control(L"delay:1500"), 0);
  Ask(window_, WM_CLOSE, 0, 0);
  EXPECT_EQ(tintwell_->WaitForExit(10000), 0);
  EXPECT_EQ(StandinMessenger::Control(L"subscribed"), 1);
}

// Exact white first loses one step of green (and the preview with it) before
// the messenger is even asked, as seen while the messenger is slow to answer;
// then it is stored and confirmed. The click comes from another program (an
// automation tool), which is answered at once. What comes meanwhile waits
// for the apply: a second click starts no second apply, a log-off is never
// refused, and a close (another posted while "Done !" is open) drops the
// subscription to the messenger's events, which the program took and
// ignored, and ends it.
TEST_P(MessengerTest, ChangeStoresExactWhiteWithGreenAt254AndAllElseWaits) {
  std::vector<DWORD> previewed;
  ASSERT_NE(Start([&](const SeenBox&) {
              previewed = Preview();
              PostMessageW(window_, WM_CLOSE, 0, 0);
              Sleep(200);  // delivered while the box is open
              return IDOK;
            }),
            nullptr);
  EXPECT_EQ(StandinMessenger::Control(L"subscribed"), 0);
  EXPECT_EQ(StandinMessenger::Control(L"fire"), 0);
  for (const int bar : {design::kRed, design::kGreen, design::kBlue}) {
    Drive(bar, {L"End"}, 255);
  }
  EXPECT_EQ(Settled([this] { return Preview(); }, {}), std::vector<DWORD>{});  // white on white
  ASSERT_EQ(StandinMessenger::Control(L"delay:1000"), 0);
  for (int click = 0; click < 2; ++click) {
    Ask(window_, WM_COMMAND, MAKEWPARAM(design::kLabel4, STN_CLICKED),
        reinterpret_cast<LPARAM>(Control(design::kLabel4)));
    Sleep(300);
  }
  EXPECT_EQ(Position(Control(design::kGreen)), 254);
  EXPECT_EQ(Preview(), std::vector<DWORD>{Rgb(255, 254, 255)});
  // Meanwhile another program sets green back to 255, and the user signs in
  // as someone else: still no white is stored, the preview shows what is,
  // and the box names the account written and the one signed in now.
  SendMessageW(Control(design::kGreen), SBM_SETPOS, 255, TRUE);
  const std::wstring other = UniqueName(L"bea@example.com");
  names_.push_back(other);
  EXPECT_EQ(StandinMessenger::Control(L"signin:" + other), 0);
  EXPECT_EQ(Ask(window_, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF), TRUE);
  PostMessageW(window_, WM_CLOSE, 0, 0);
  EXPECT_EQ(tintwell_->WaitForExit(15000), 0);
  const std::wstring switched = L".\n\nThe messenger is now signed in as " + other;
  EXPECT_EQ(Boxes(1),
            std::vector<SeenBox>{Done(account_ + switched + L", whose color was not changed.")});
  EXPECT_EQ(previewed, std::vector<DWORD>{Rgb(255, 254, 255)});
  EXPECT_EQ(StoredColor(), (std::vector<BYTE>{0xFF, 0xFE, 0xFF, 0x00}));
  EXPECT_TRUE(ReadBinaryValue(AccountKey(other), L"IM Color").empty());
  EXPECT_EQ(StandinMessenger::Control(L"subscribed"), 1);
}

// Sign-in names that could steer the write elsewhere: nothing changes under
// the messenger's settings but that very account's "IM Color", and every
// refusal is a clear box.
TEST_P(WindowTest, NamesThatCouldSteerTheWriteElsewhereWriteNowhereElse) {
  ASSERT_NE(Start(), nullptr);
  Drive(design::kRed, {}, 1);
  const std::wstring missing = UniqueName(L"missing@example.com");
  const std::wstring long_name(300, L'x');
  ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, AccountKey(account_ + L"\\inner").c_str(), nullptr,
                            REG_SZ, L"", 2),
            ERROR_SUCCESS);
  const std::pair<std::wstring, SeenBox> cases[] = {
      {L"o'neil+im@example.org", Done(L"o'neil+im@example.org")},
      {L"", Box(L"Incorrect Format:\n\nHKEY_CURRENT_USER\\" + kAccountSettings + L"\\", L"none")},
      {account_ + L"\\inner", Refused(account_ + L"\\inner", L"The sign-in name contains a "
                                      L"backslash, so it cannot name the account's settings.")},
      {missing, Refused(missing, L"This account has no messenger settings on this computer yet. "
                                 L"Sign in once with the messenger, then try again.")},
      {long_name, Refused(long_name, L"The sign-in name is longer than the 255 characters that "
                                     L"can name the account's settings.")},
      // A full-width a, which best fit would make a plain one.
      {L"\xFF41" + account_.substr(1),
       Refused(L"\xFF41" + account_.substr(1),
               L"The sign-in name holds characters that this computer's code page cannot "
               L"represent exactly, so it cannot name the account's settings safely.")},
  };
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    const auto& [name, expected] = cases[i];
    SCOPED_TRACE(testing::Message() << "name of " << name.size() << " characters");
    ASSERT_EQ(StandinMessenger::Control(L"signin:" + name), 0);  // makes a plain name's key
    names_.push_back(name);
    if (name == missing) {
      ASSERT_EQ(RegDeleteKeyW(HKEY_CURRENT_USER, AccountKey(missing).c_str()), ERROR_SUCCESS);
    }
    const std::vector<std::wstring> before = Snapshot(L"Software\\Microsoft\\MSNMessenger");
    ClickChange();
    const std::vector<SeenBox> boxes = Boxes(i + 1);
    ASSERT_EQ(boxes.size(), i + 1);
    std::vector<std::wstring> after = Snapshot(L"Software\\Microsoft\\MSNMessenger");
    SeenBox box = boxes.back();
    if (name == long_name) {
      box.icon = expected.icon;  // a box wider than the screen shows no whole icon to compare
    }
    EXPECT_EQ(box, expected);
    if (box.title == L"Done !") {
      // The record 01 00 00 00, as binary (3), in that account's key alone.
      const std::wstring own = L"\\PerPassportSettings\\" + name + L" [IM Color] 3:";
      EXPECT_EQ(std::erase(after, own + std::wstring{1, 0, 0, 0}), 1u);
    }
    EXPECT_EQ(after, before);
  }
}

// Without a messenger, or with one that does not answer while Tintwell
// starts, no window is ever shown. The one missing is told in the "Error"
// box; the one not answering is waited for in boxes of their own, as there is
// no window yet: Retry waits on, Cancel ends the program as a missing
// messenger does.
TEST_P(MessengerTest, WithoutAnAnsweringMessengerTheWindowIsNeverShown) {
  // A close sent while the messenger is reached waits for the start to end:
  // the window is never shown, and no subscription is left.
  auto close = [this](HWND hidden) { Ask(hidden, WM_CLOSE, 0, 0); };
  ASSERT_EQ(StandinMessenger::Control(L"delay:1500"), 0);
  EXPECT_EQ(Start({}, close), nullptr);
  EXPECT_EQ(tintwell_->WaitForExit(10000), 0);
  EXPECT_EQ(StandinMessenger::Control(L"subscribed"), 1);
  EXPECT_TRUE(Boxes(0).empty());

  ASSERT_EQ(StandinMessenger::Control(L"hang:subscribe"), 0);
  int asked = 0;
  EXPECT_EQ(Start([&](const SeenBox&) { return ++asked == 1 ? IDRETRY : IDCANCEL; }, close),
            nullptr);
  EXPECT_EQ(tintwell_->WaitForExit(20000), 2);
  EXPECT_EQ(Boxes(2), std::vector(2, AskingBox(false, nullptr)));

  // A close that comes while the box is open waits until it has been read.
  RegisterMessenger(false);
  bool read = false;
  EXPECT_EQ(Start([&read](const SeenBox&) {
              PostMessageW(FindWindowW(L"TintwellForm1", nullptr), WM_CLOSE, 0, 0);
              Sleep(300);
              read = FindWindowW(L"#32770", L"Error") != nullptr;
              return IDOK;
            }),
            nullptr);
  EXPECT_TRUE(read) << "the box went before it was read";
  EXPECT_EQ(tintwell_->WaitForExit(10000), 2);
  EXPECT_EQ(Boxes(1), (std::vector{SeenBox{L"Error", L"Please log-in to MSN 6 before using this "
                                                    L"program", L"critical", 1}}));
}

// A DLL that Windows loads by its bare name on the program's behalf (the
// theme library, which the common controls load) is never loaded from the
// program's folder, a downloads folder say, where it may have been planted.
// Wine prefers its own system DLLs, so Tintwell is told to prefer such a file
// (in Wine's settings for the program: its environment reaches no further
// than this process). A copy damaged there (its resources gone, the icon
// with them) fails at its start, as it lays out its new controls: it says so
// and ends with the fatal code.
TEST_P(WindowTest, NoDllIsLoadedFromTheProgramsFolder) {
  wchar_t temp[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, temp);
  const std::wstring folder = temp + UniqueName(L"Downloads");
  const std::wstring planted = folder + L"\\uxtheme.dll";
  tintwell_path_ = folder + L"\\Tintwell.exe";
  ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
  EXPECT_TRUE(CopyFileW(GetParam().tintwell.c_str(), tintwell_path_.c_str(), TRUE));
  EXPECT_TRUE(CopyFileW(GetParam().planted.c_str(), planted.c_str(), TRUE));
  const wchar_t settings[] = L"Software\\Wine\\AppDefaults\\Tintwell.exe";
  ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, (settings + std::wstring{L"\\DllOverrides"}).c_str(),
                            L"uxtheme", REG_SZ, L"native,builtin", 30),
            ERROR_SUCCESS);
  EXPECT_NE(Start(), nullptr);
  EXPECT_EQ(GetFileAttributesW(MarkOf(planted).c_str()), INVALID_FILE_ATTRIBUTES);
  tintwell_.reset();
  EXPECT_TRUE(EndUpdateResourceW(BeginUpdateResourceW(tintwell_path_.c_str(), TRUE), FALSE));
  EXPECT_EQ(Start(), nullptr);
  EXPECT_EQ(tintwell_->WaitForExit(0), kFatalExitCode);
  const std::vector<SeenBox> told = Boxes(2, 500);
  ASSERT_EQ(told.size(), 1u);
  EXPECT_TRUE(told[0].text.starts_with(L"Run-time error 0x")) << told[0].text;
  tintwell_.reset();
  EXPECT_EQ(RegDeleteTreeW(HKEY_CURRENT_USER, settings), ERROR_SUCCESS);
  for (const std::wstring& file : {tintwell_path_, planted, MarkOf(planted)}) {
    DeleteFileW(file.c_str());
  }
  EXPECT_TRUE(RemoveDirectoryW(folder.c_str()));
}

// Trouble with the messenger at "Change". Before the write (nobody signed
// in, gone, not answering) the program ends through its one error box,
// naming the error, and the colour stored by an earlier apply stays; after
// the write, the box says that the new colour is stored. One that does not
// answer is waited for: after five seconds the user is asked, and may wait on
// (Retry) before stopping. One that is busy is asked again: a short spell
// goes unnoticed, a long one is told, and the messenger, free again by the
// time the user chooses Retry, is used.
TEST_P(MessengerTest, TroubleAtChangeIsWaitedForOrEndsTheProgramTruthfully) {
  const std::vector<BYTE> earlier{0, 0, 0, 0};
  const std::vector<BYTE> chosen{1, 0, 0, 0};
  const std::wstring stored = L"\n\nThe color had already been changed for " + account_ + L".";
  const std::wstring not_answered =
      L"The messenger did not answer, and waiting for it was stopped.";
  const struct {
    std::wstring trouble;  // a stand-in command, or "kill"
    std::size_t asked;     // boxes that ask to wait: the last one stops, or the apply is done
    SeenBox last;
    std::vector<BYTE> stored;
  } cases[] = {
      {L"signout", 0, FatalBox(0x80040201, L"Nobody is signed in to the messenger."), earlier},
      {L"kill", 0, FatalBox(0x800706BA), earlier},
      {L"hang", 2, FatalBox(0x80010002, not_answered), earlier},
      {L"die:secondname", 0, FatalBox(0x800706BE, {}, stored), chosen},
      {L"hang:secondname", 1, FatalBox(0x80010002, not_answered, stored), chosen},
      {L"busy:8000", 1, Done(), chosen},
      {L"busy:60000", 1,
       FatalBox(0x8001010A, L"The messenger stayed busy, and waiting for it was stopped."),
       earlier},
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(test.trouble);
    const bool busy = test.trouble.starts_with(L"busy:");
    const bool done = test.last.title == L"Done !";
    std::vector<ULONGLONG> times;  // of the click, then of each box that asks
    RegisterMessenger();
    ASSERT_NE(Start([&](const SeenBox& box) {
                if (box.buttons != 2) {
                  return IDOK;
                }
                times.push_back(GetTickCount64());
                if (done) {
                  Sleep(3500);  // retried once the busy spell is over
                }
                return done || times.size() <= test.asked ? IDRETRY : IDCANCEL;
              }),
              nullptr);
    ClickChange();
    ASSERT_EQ(Boxes(1), std::vector<SeenBox>{Done()});
    Drive(design::kRed, {}, 1);
    if (test.trouble == L"kill") {
      standin_->Kill();
    } else {
      ASSERT_EQ(StandinMessenger::Control(test.trouble), 0);
    }
    times.push_back(GetTickCount64());
    ClickChange();
    EXPECT_EQ(tintwell_->WaitForExit(done ? 0 : 20000), done ? -1 : 1);
    SeenBox last = test.last;
    last.owner = window_;
    std::vector<SeenBox> expected(test.asked, AskingBox(busy, window_));
    expected.insert(expected.begin(), Done());
    expected.push_back(last);
    EXPECT_EQ(Boxes(expected.size(), 20000), expected);
    // Each box that asks came after the patience (from the click, then from
    // the box before); only a program that never asks misses the upper bound.
    EXPECT_EQ(times.size(), test.asked + 1);
    for (std::size_t i = 1; i < times.size(); ++i) {
      EXPECT_GE(times[i] - times[i - 1], 4500u);
      EXPECT_LT(times[i] - times[i - 1], 15000u);
    }
    EXPECT_EQ(StoredColor(), test.stored);
    if (busy) {  // asked again after a pause, never at once
      EXPECT_EQ(StandinMessenger::Control(L"refused:100"), 0);
    }
    if (test.trouble.starts_with(L"die:")) {
      standin_->Kill();  // gone already: COM is told
    }
  }
}

// A messenger that stopped answering does not keep the program from ending,
// nor does it get a word: a close is given the patience, and ends sooner
// when the messenger goes away meanwhile; the session's end waits for nothing.
TEST_P(MessengerTest, ClosingEndsTheProgramWhateverTheMessengerDoes) {
  for (const std::wstring ending : {L"close", L"close, gone", L"session's end"}) {
    SCOPED_TRACE(ending);
    if (ending != L"close") {
      RegisterMessenger();  // the last one was left hung or gone
    }
    ASSERT_NE(Start(), nullptr);
    ASSERT_EQ(StandinMessenger::Control(L"hang"), 0);
    if (ending == L"session's end") {
      // Another program refused the log-off: Tintwell goes on.
      Ask(window_, WM_ENDSESSION, FALSE, ENDSESSION_LOGOFF);
      EXPECT_EQ(tintwell_->WaitForExit(500), -1);
      Ask(window_, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF);
    } else {
      PostMessageW(window_, WM_CLOSE, 0, 0);
    }
    if (ending == L"close, gone") {
      Sleep(1000);
      standin_->Kill();
    }
    EXPECT_EQ(tintwell_->WaitForExit(ending == L"session's end" ? 1000 : 10000), 0);
    EXPECT_TRUE(Boxes(0).empty());
    if (ending != L"close, gone") {
      standin_->Kill();  // hung: told to quit, it would keep the test waiting
    }
  }
}

}  // namespace
