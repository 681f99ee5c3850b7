// The shipped program, used from outside as a person would use it.
#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <set>

#include "resources/resource_ids.h"
#include "support/input.h"
#include "support/message_boxes.h"
#include "support/messenger.h"
#include "support/registry.h"
#include "support/screen.h"
#include "window/design.h"

namespace {

DWORD Rgb(DWORD red, DWORD green, DWORD blue) { return red << 16 | green << 8 | blue; }

// The system's description of a code, as the fatal box gives it.
std::wstring SystemDescription(HRESULT code) {
  wchar_t text[512] = {};
  FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                 static_cast<DWORD>(code), 0, text, 512, nullptr);
  std::wstring description = text;
  while (!description.empty() && std::wstring_view{L"\r\n "}.find(description.back()) !=
                                     std::wstring_view::npos) {
    description.pop_back();
  }
  return description;
}

// Milliseconds from a tick count until the process ended.
ULONGLONG MsSinceExit(HANDLE process, ULONGLONG since_tick) {
  FILETIME created, exited, kernel, user, now;
  GetProcessTimes(process, &created, &exited, &kernel, &user);
  GetSystemTimeAsFileTime(&now);
  auto ms = [](const FILETIME& time) {
    return (static_cast<ULONGLONG>(time.dwHighDateTime) << 32 | time.dwLowDateTime) / 10000;
  };
  return GetTickCount64() - (ms(now) - ms(exited)) - since_tick;
}

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

// The DPI that the next program starts with.
void SetLogPixels(DWORD dpi) {
  ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, L"Control Panel\\Desktop", L"LogPixels", REG_DWORD,
                            &dpi, sizeof dpi),
            ERROR_SUCCESS);
}

// Tintwell and the messenger it runs beside, each a program of its own
// architecture, and a DLL of Tintwell's that leaves a mark when loaded.
struct Pairing {
  std::wstring tintwell;
  std::wstring standin;
  std::wstring planted;
};
void PrintTo(const Pairing& pairing, std::ostream* out) {
  *out << testing::PrintToString(pairing.tintwell) << " beside "
       << testing::PrintToString(pairing.standin);
}

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
    ASSERT_NE(GetFileAttributesW(tintwell_path_.c_str()), INVALID_FILE_ATTRIBUTES)
        << "not built";
  }
  // Members go after this: the program, ended as a crash would end it, then
  // the messenger and its registration.
  void TearDown() override {
    SetLogPixels(96);
    for (const std::wstring& name : names_) {
      RegDeleteTreeW(HKEY_CURRENT_USER, AccountKey(name).c_str());
      RegDeleteKeyW(HKEY_CURRENT_USER, AccountKey(name).c_str());
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
  HWND Start(std::function<int(const SeenBox&)> on_box = {}) {
    tintwell_.emplace(tintwell_path_, L"");
    boxes_.emplace(tintwell_->id(), std::move(on_box));
    for (const ULONGLONG deadline = GetTickCount64() + 20000;
         GetTickCount64() < deadline && tintwell_->WaitForExit(2) == -1;) {
      window_ = FindWindowW(L"TintwellForm1", nullptr);
      if (window_ != nullptr && IsWindowVisible(window_) && Painted()) {
        return window_;
      }
    }
    return nullptr;
  }
  // The window's background shows on the screen: it is there to be clicked.
  bool Painted() const {
    RECT pixel{1, 1, 2, 2};
    MapWindowPoints(window_, nullptr, reinterpret_cast<POINT*>(&pixel), 2);
    return CaptureScreen(pixel) == std::vector<DWORD>{Rgb(213, 232, 255)};
  }
  std::vector<SeenBox> Boxes(std::size_t count) { return boxes_->Seen(count); }
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
  SeenBox Done() const {
    return {L"Done !", L"Color has been changed for " + account_, L"information", 1, window_};
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

// The window and its controls where the design puts them, at any DPI, on the
// design's background (red 213, green 232, blue 255).
TEST_P(WindowTest, ClientAreaAndControlsMatchTheDesign) {
  for (const int dpi : {96, 120, 144}) {
    SCOPED_TRACE(testing::Message() << dpi << " DPI");
    SetLogPixels(dpi);
    ASSERT_NE(Start(), nullptr);
    auto scaled = [dpi](std::vector<int> twips) {
      for (int& length : twips) {
        length = MulDiv(length, dpi, 1440);
      }
      return twips;
    };
    RECT client{};
    GetClientRect(window_, &client);
    EXPECT_EQ(std::vector<int>({client.right, client.bottom}), scaled({4425, 1320}));
    const std::pair<int, std::vector<int>> design[] = {
        {design::kRed, {480, 120, 3855, 255}},   {design::kGreen, {480, 360, 3855, 255}},
        {design::kBlue, {480, 600, 3855, 255}},  {design::kText1, {480, 960, 2895, 285}},
        {design::kLabel1, {120, 120, 255, 255}}, {design::kLabel2, {120, 360, 255, 255}},
        {design::kLabel3, {120, 600, 255, 255}}, {design::kLabel4, {3480, 960, 855, 255}}};
    for (const auto& [id, twips] : design) {
      RECT area{};
      GetWindowRect(Control(id), &area);
      MapWindowPoints(nullptr, window_, reinterpret_cast<POINT*>(&area), 2);
      EXPECT_EQ(
          std::vector<int>({area.left, area.top, area.right - area.left, area.bottom - area.top}),
          scaled(twips))
          << id;
    }
  }
}

// The caption, the version record, the icon in the program and in the
// caption, and "Change" in bold MS Sans Serif 8.25 pt, window text on the
// window colour, exactly as drawn here with that font.
TEST_P(WindowTest, TheProgramCarriesItsTitleVersionIconAndFont) {
  ASSERT_NE(Start(), nullptr);
  wchar_t caption[128] = {};
  GetWindowTextW(window_, caption, 128);
  EXPECT_TRUE(std::wstring{caption}.starts_with(L"Tintwell - ")) << caption;
  EXPECT_GT(std::wstring{caption}.size(), 12u) << "no credit after the title";

  std::vector<BYTE> version(GetFileVersionInfoSizeW(tintwell_path_.c_str(), nullptr));
  ASSERT_TRUE(GetFileVersionInfoW(tintwell_path_.c_str(), 0, static_cast<DWORD>(version.size()),
                                  version.data()));
  auto query = [&](const std::wstring& what) {
    void* value = nullptr;
    UINT length = 0;
    return VerQueryValueW(version.data(), what.c_str(), &value, &length) ? value : nullptr;
  };
  const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(query(L"\\"));
  ASSERT_NE(fixed, nullptr);
  EXPECT_EQ(std::vector({fixed->dwFileVersionMS, fixed->dwFileVersionLS, fixed->dwProductVersionMS,
                         fixed->dwProductVersionLS}),
            std::vector<DWORD>({0x00010000, 0, 0x00010000, 0}));  // 1.0.0.0
  for (const auto& [name, expected] :
       {std::pair{L"FileVersion", L"1.00"}, std::pair{L"ProductVersion", L"1.00"},
        std::pair{L"FileDescription", L"Tintwell"}, std::pair{L"ProductName", L"Tintwell"}}) {
    const auto* text = query(std::wstring{L"\\StringFileInfo\\040904B0\\"} + name);
    EXPECT_STREQ(static_cast<const wchar_t*>(text), expected) << name;
  }

  // The program's icon, shown in the caption: drawing it once more where it
  // is shown changes nothing, while over another icon or the bare caption it would.
  const HMODULE module = LoadLibraryExW(tintwell_path_.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  const auto icon =
      static_cast<HICON>(LoadImageW(module, MAKEINTRESOURCEW(kProgramIcon), IMAGE_ICON, 16, 16, 0));
  ASSERT_NE(icon, nullptr);
  RECT corner{};
  GetWindowRect(window_, &corner);
  corner = {corner.left, corner.top, corner.left + 40, corner.top + 30};
  Canvas canvas{40, 30};
  auto caption_shows_icon = [&] {
    const std::vector<DWORD> shown = CaptureScreen(corner);
    for (int at = 0; at < 24 * 14; ++at) {
      canvas.Show(shown);
      DrawIconEx(canvas.dc(), at % 24, at / 24, icon, 16, 16, 0, nullptr, DI_NORMAL);
      if (canvas.Pixels() == shown) {
        return true;
      }
    }
    return false;
  };
  EXPECT_TRUE(Settled(caption_shows_icon, true));
  DestroyIcon(icon);
  FreeLibrary(module);

  RECT area{};
  GetClientRect(Control(design::kLabel4), &area);
  Canvas label{area.right, area.bottom};
  FillRect(label.dc(), &area, GetSysColorBrush(COLOR_WINDOW));
  const HGDIOBJ previous = SelectObject(
      label.dc(), CreateFontW(-11, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, DEFAULT_CHARSET, 0, 0,
                              DEFAULT_QUALITY, 0, L"MS Sans Serif"));
  SetTextColor(label.dc(), GetSysColor(COLOR_WINDOWTEXT));
  SetBkColor(label.dc(), GetSysColor(COLOR_WINDOW));
  DrawTextW(label.dc(), L"Change", -1, &area, DT_LEFT | DT_EXPANDTABS | DT_WORDBREAK);
  DeleteObject(SelectObject(label.dc(), previous));
  const std::vector<DWORD> expected = label.Pixels();
  EXPECT_EQ(std::set<DWORD>(expected.begin(), expected.end()).size(), 2u);
  MapWindowPoints(Control(design::kLabel4), nullptr, reinterpret_cast<POINT*>(&area), 2);
  EXPECT_EQ(Settled([&] { return CaptureScreen(area); }, expected), expected);
}

// Tab visits the bars and the text but never a label; arrows, trough keys,
// the ends of the bars and a dragged thumb, once released, give exactly the
// chosen colour; a step past either end changes nothing and ends nothing.
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
  EXPECT_TRUE(Boxes(0).empty());
  EXPECT_EQ(tintwell_->WaitForExit(0), -1) << "the program ended";
}

// Each click stores the colour and confirms it; exact white first loses one
// step of green (and the preview with it) before the messenger is even asked,
// as seen while the messenger is slow to answer.
TEST_P(MessengerTest, ChangeStoresTheColourEachTimeAndWhiteWithGreenAt254) {
  ASSERT_NE(Start(), nullptr);
  Drive(design::kRed, {L"End"}, 255);
  Drive(design::kGreen, {L"End"}, 255);
  Drive(design::kBlue, {L"End", L"Left"}, 254);  // two bars at 255: not white
  ClickChange();
  ASSERT_EQ(Boxes(1).size(), 1u);
  EXPECT_EQ(StoredColor(), (std::vector<BYTE>{0xFF, 0xFF, 0xFE, 0x00}));

  Drive(design::kBlue, {}, 255);
  EXPECT_EQ(Settled([this] { return Preview(); }, {}), std::vector<DWORD>{});  // white on white
  ASSERT_EQ(StandinMessenger::Control(L"delay:1000"), 0);
  ClickChange();
  Sleep(300);
  EXPECT_EQ(Position(Control(design::kGreen)), 254);
  EXPECT_EQ(Preview(), std::vector<DWORD>{Rgb(255, 254, 255)});
  EXPECT_EQ(Boxes(2), std::vector<SeenBox>({Done(), Done()}));
  EXPECT_EQ(StoredColor(), (std::vector<BYTE>{0xFF, 0xFE, 0xFF, 0x00}));
}

// Sign-in names that could steer the write elsewhere: nothing changes under
// the messenger's settings but that very account's "IM Color", and every
// refusal is a clear box.
TEST_P(WindowTest, NamesThatCouldSteerTheWriteElsewhereWriteNowhereElse) {
  ASSERT_NE(Start(), nullptr);
  Drive(design::kRed, {}, 1);
  const std::wstring not_changed = L"The color was not changed for ";
  const std::wstring missing = UniqueName(L"missing@example.com");
  ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, AccountKey(account_ + L"\\inner").c_str(), nullptr,
                            REG_SZ, L"", 2),
            ERROR_SUCCESS);
  const std::pair<std::wstring, std::wstring> cases[] = {
      // a name, and its box's text in part
      {L"o'neil+im@example.org", L"Color has been changed for o'neil+im@example.org"},
      {L"\"" + account_ + L"\"", L"Color has been changed for \"" + account_ + L"\""},
      {L"", L"Incorrect Format:\n\nHKEY_CURRENT_USER\\" + AccountKey(L"")},
      {account_ + L"\\inner",
       not_changed + account_ + L"\\inner.\n\nThe sign-in name contains a backslash"},
      {account_ + L"\\", not_changed + account_ + L"\\.\n\nThe sign-in name contains a backslash"},
      {L"..\\..\\" + account_, L"backslash"},
      {missing, not_changed + missing + L".\n\nThis account has no messenger settings"},
      {std::wstring(300, L'x'), not_changed},
      {L"Zo\xEB \x674E\x5A1C@example.net", L"code page"},
      {L"\xFF41" + account_.substr(1), L"code page"},  // a full-width a: best fit makes it anna
      {L"\x0101" + account_.substr(1), L"code page"},  // an a with macron
  };
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    const auto& [name, text] = cases[i];
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
    const SeenBox& box = boxes.back();
    EXPECT_NE(box.text.find(text), std::wstring::npos) << testing::PrintToString(box.text);
    if (box.title == L"Done !") {
      EXPECT_EQ(box.icon, L"information");
      // The record 01 00 00 00, as binary (3), in that account's key alone.
      const std::wstring own = L"\\PerPassportSettings\\" + name + L" [IM Color] 3:";
      EXPECT_EQ(std::erase(after, own + std::wstring{1, 0, 0, 0}), 1u);
    } else if (name.size() < 256) {  // a wider box reaches past the screen, icon and all
      EXPECT_EQ(box.title, L"Tintwell");
      EXPECT_EQ(box.icon, text.starts_with(L"Incorrect") ? L"none" : L"critical");
    }
    EXPECT_EQ(after, before);
  }
}

TEST_P(WindowTest, WithoutTheMessengerTheWindowIsNeverShown) {
  RegisterMessenger(false);
  EXPECT_EQ(Start(), nullptr);
  EXPECT_EQ(tintwell_->WaitForExit(10000), 2);
  const SeenBox error{L"Error", L"Please log-in to MSN 6 before using this program", L"critical",
                      1};
  EXPECT_EQ(Boxes(1), std::vector<SeenBox>{error});
}

// A DLL that Windows loads by its bare name on the program's behalf (the
// theme library, which the common controls load) is never loaded from the
// program's folder, a downloads folder say, where it may have been planted.
// Wine prefers its own system DLLs, so it is told to prefer such a file.
TEST_P(WindowTest, NoDllIsLoadedFromTheProgramsFolder) {
  wchar_t temp[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, temp);
  const std::wstring folder = temp + UniqueName(L"Downloads");
  const std::wstring planted = folder + L"\\uxtheme.dll";
  tintwell_path_ = folder + L"\\Tintwell.exe";
  ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
  EXPECT_TRUE(CopyFileW(GetParam().tintwell.c_str(), tintwell_path_.c_str(), TRUE));
  EXPECT_TRUE(CopyFileW(GetParam().planted.c_str(), planted.c_str(), TRUE));
  wchar_t overrides[256] = {};
  GetEnvironmentVariableW(L"WINEDLLOVERRIDES", overrides, 256);
  SetEnvironmentVariableW(L"WINEDLLOVERRIDES", (overrides + std::wstring{L";uxtheme=n,b"}).c_str());
  EXPECT_NE(Start(), nullptr);
  SetEnvironmentVariableW(L"WINEDLLOVERRIDES", overrides);
  EXPECT_EQ(GetFileAttributesW(MarkOf(planted).c_str()), INVALID_FILE_ATTRIBUTES);
  tintwell_.reset();
  for (const std::wstring& file : {tintwell_path_, planted, MarkOf(planted)}) {
    DeleteFileW(file.c_str());
  }
  EXPECT_TRUE(RemoveDirectoryW(folder.c_str()));
}

// Closing drops the subscription to the messenger's events and ends the
// program; closes asked for by another program while the messenger is slow
// to answer, and again while "Done !" is open, wait for the apply to finish.
TEST_P(MessengerTest, ClosingWaitsForAnApplyThenEndsTheProgramAndItsSubscription) {
  ASSERT_NE(Start([this](const SeenBox&) {
              PostMessageW(window_, WM_CLOSE, 0, 0);
              Sleep(200);  // delivered while the box is open
              return IDOK;
            }),
            nullptr);
  EXPECT_EQ(StandinMessenger::Control(L"subscribed"), 0);
  EXPECT_EQ(StandinMessenger::Control(L"fire"), 0);  // events are taken and ignored
  ASSERT_EQ(StandinMessenger::Control(L"delay:1000"), 0);
  ClickChange();
  Sleep(500);
  PostMessageW(window_, WM_CLOSE, 0, 0);
  EXPECT_EQ(tintwell_->WaitForExit(15000), 0);
  EXPECT_EQ(Boxes(1), std::vector<SeenBox>{Done()});
  EXPECT_EQ(StoredColor(), (std::vector<BYTE>{0, 0, 0, 0}));
  EXPECT_EQ(StandinMessenger::Control(L"subscribed"), 1);
}

// A messenger that gives no name at "Change" (nobody signed in, gone, or not
// answering) ends the program through its one error box, naming the error,
// before anything is written: the colour stored by an earlier apply stays.
// One that does not answer is waited for: after five seconds the user is
// asked, and may wait on (Retry) before stopping.
TEST_P(MessengerTest, AMessengerWithoutANameEndsTheProgramUnwritten) {
  auto fatal = [](HRESULT code, const std::wstring& number, const std::wstring& description) {
    return SeenBox{L"Tintwell",
                   L"Run-time error " + number + L":\n\n" +
                       (description.empty() ? SystemDescription(code) : description) +
                       L"\n\nTintwell will now close.",
                   L"critical", 1};
  };
  for (const auto& [failure, error, busy_boxes] : {
           std::tuple{L"signout",
                      fatal(0x80040201, L"0x80040201", L"Nobody is signed in to the messenger."),
                      0u},
           std::tuple{L"kill", fatal(0x800706BA, L"0x800706BA", L""), 0u},
           std::tuple{L"hang",
                      fatal(0x80010002, L"0x80010002",
                            L"The messenger did not answer, and waiting for it was stopped."),
                      2u}}) {
    SCOPED_TRACE(failure);
    std::vector<ULONGLONG> times;  // of the click, then of each busy box
    RegisterMessenger();
    ASSERT_NE(Start([&](const SeenBox& box) {
                if (box.buttons != 2) {
                  return IDOK;
                }
                times.push_back(GetTickCount64());
                return times.size() == 2 ? IDRETRY : IDCANCEL;  // Retry only the first
              }),
              nullptr);
    ClickChange();
    ASSERT_EQ(Boxes(1), std::vector<SeenBox>{Done()});
    Drive(design::kRed, {}, 1);
    if (std::wstring{failure} == L"kill") {
      standin_->Kill();
    } else {
      ASSERT_EQ(StandinMessenger::Control(failure), 0);
    }
    times.push_back(GetTickCount64());
    ClickChange();
    EXPECT_EQ(tintwell_->WaitForExit(20000), 1);
    std::vector<SeenBox> boxes = Boxes(busy_boxes + 2);
    ASSERT_EQ(boxes.size(), busy_boxes + 2);
    ASSERT_EQ(times.size(), busy_boxes + 1);
    const SeenBox busy{L"Tintwell",
                       L"The messenger is not answering.\n\nChoose Retry to keep waiting for it, "
                       L"or Cancel to stop waiting; Tintwell then closes.",
                       L"warning", 2, window_};
    for (std::size_t i = 0; i < busy_boxes; ++i) {
      EXPECT_EQ(boxes[i + 1], busy);
      EXPECT_GE(times[i + 1] - times[i], 4500u);
      EXPECT_LT(times[i + 1] - times[i], 7000u);
    }
    boxes.back().owner = nullptr;  // the window is gone by now
    EXPECT_EQ(boxes.back(), error);
    EXPECT_EQ(StoredColor(), (std::vector<BYTE>{0, 0, 0, 0}));
  }
}

// A close ends the program without a word when the messenger stopped
// answering (after the patience a close is given), and at once when it goes
// away while the close waits for it.
TEST_P(MessengerTest, ClosingWithAMessengerThatStoppedAnsweringStillEnds) {
  for (const bool goes_away : {false, true}) {
    SCOPED_TRACE(goes_away ? "goes away" : "stays hung");
    RegisterMessenger();
    ASSERT_NE(Start(), nullptr);
    ASSERT_EQ(StandinMessenger::Control(L"hang"), 0);
    const ULONGLONG closed = GetTickCount64();
    PostMessageW(window_, WM_CLOSE, 0, 0);
    if (goes_away) {
      Sleep(1000);
      standin_->Kill();
    }
    EXPECT_EQ(tintwell_->WaitForExit(10000), 0);
    EXPECT_LT(MsSinceExit(tintwell_->handle(), closed), goes_away ? 4500u : 10000u);
    EXPECT_TRUE(Boxes(0).empty());
    if (!goes_away) {
      standin_->Kill();  // hung: told to quit, it would keep the test waiting
    }
  }
}

}  // namespace
