// How the window looks at any scale and theme: its design, caption and
// icons, and what a relayout that fails does.
#include <limits>
#include <sstream>

#include "support/program_test.h"

INSTANTIATE_TEST_SUITE_P(x64, WindowTest, testing::Values(kX64));
INSTANTIATE_TEST_SUITE_P(x86, WindowTest, testing::Values(kX86));

namespace {

// The icons the window gives the system's shell, as Wine hands them to the X
// server: each image's width, height and pixels, the big one first.
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

// The window and its controls where the design puts them, and "Change" in
// bold MS Sans Serif 8.25 pt, at the scale of the session it starts in: run
// in a session at 96 DPI and in one at 144. The caption is the program's
// title and a credit; the version record, what Windows shows for the running
// program, has the project's version.
TEST_P(WindowTest, OpensAtTheScaleOfTheSession) {
  wchar_t session_dpi[8] = L"0";
  GetEnvironmentVariableW(L"TINTWELL_SESSION_DPI", session_dpi, 8);
  const int dpi = _wtoi(session_dpi);
  ASSERT_EQ(GetDpiForSystem(), static_cast<UINT>(dpi)) << "the harness's session DPI";
  ASSERT_NE(Start(), nullptr);
  ExpectDesignAt(dpi);
  wchar_t caption[128] = {};
  GetWindowTextW(window_, caption, 128);
  EXPECT_TRUE(std::wstring{caption}.starts_with(L"Tintwell - ")) << caption;
  EXPECT_GT(std::wstring{caption}.size(), 12u) << "no credit after the title";
  std::vector<BYTE> record(GetFileVersionInfoSizeW(tintwell_path_.c_str(), nullptr));
  ASSERT_TRUE(GetFileVersionInfoW(tintwell_path_.c_str(), 0, static_cast<DWORD>(record.size()),
                                  record.data()));
  VS_FIXEDFILEINFO* numbers = nullptr;
  UINT size = 0;
  ASSERT_TRUE(VerQueryValueW(record.data(), L"\\", reinterpret_cast<void**>(&numbers), &size));
  const DWORD major_minor = MAKELONG(TINTWELL_VERSION_MINOR, TINTWELL_VERSION_MAJOR);
  const DWORD patch_tweak = MAKELONG(TINTWELL_VERSION_TWEAK, TINTWELL_VERSION_PATCH);
  EXPECT_EQ((std::vector<DWORD>{numbers->dwFileVersionMS, numbers->dwFileVersionLS,
                                numbers->dwProductVersionMS, numbers->dwProductVersionLS}),
            (std::vector<DWORD>{major_minor, patch_tweak, major_minor, patch_tweak}))
      << "file and product version, major.minor then patch.tweak";
  for (const auto& [field, text] : {std::pair{L"FileDescription", L"Tintwell"},
                                    {L"ProductName", L"Tintwell"},
                                    {L"FileVersion", L"1.00"}}) {
    wchar_t* value = nullptr;
    const std::wstring path = L"\\StringFileInfo\\040904B0\\" + std::wstring{field};
    ASSERT_TRUE(
        VerQueryValueW(record.data(), path.c_str(), reinterpret_cast<void**>(&value), &size))
        << testing::PrintToString(field);
    EXPECT_STREQ(value, text);
  }
}

// A new scale as Windows 8.1 tells it (the old frame scaled) while the slow
// messenger is asked at the start, before the window has its controls: it
// opens at that scale, fitted to the design. Then one as Windows 10 1703 and
// later tell it: the frame for it asked for first, then suggested, and taken
// as it is. The caption's and the taskbar's icons are then loaded again for
// their sizes at the new scale.
TEST_P(WindowTest, ANewScaleIsTakenAsWindowsTellsItWithItsIcons) {
  Messenger(L"delay:1500");
  auto rescale = [this](HWND) {
    SendWithData(0x02E0 /* WM_DPICHANGED */, MAKEWPARAM(120, 120), RECT{40, 30, 500, 300});
  };
  ASSERT_NE(Start({}, rescale), nullptr);
  ExpectDesignAt(120);
  Messenger(L"delay:0");
  const SIZE frame = SendWithData(0x02E4 /* WM_GETDPISCALEDSIZE */, 144, SIZE{});
  const RECT suggested{40, 30, 40 + frame.cx, 30 + frame.cy};
  SendWithData(0x02E0 /* WM_DPICHANGED */, MAKEWPARAM(144, 144), suggested);
  RECT taken{};
  GetWindowRect(window_, &taken);
  EXPECT_TRUE(EqualRect(&taken, &suggested)) << taken.right << " x " << taken.bottom;
  ExpectDesignAt(144);
  auto sizes = [this] {  // of the big icon, and of the small one after its pixels
    const std::vector<DWORD> icons = IconsGiven(window_);
    return icons.size() > 2 + 48 * 48 ? std::vector<DWORD>{icons[0], icons[2 + 48 * 48]} : icons;
  };
  EXPECT_EQ(Settled(sizes, {48, 24}), (std::vector<DWORD>{48, 24}));
}

// A new theme or new metrics give the frame another size (as a frame style
// does here: Wine keeps metrics per process), and the client area is fitted
// again; while minimized, once the window is restored.
TEST_P(WindowTest, ThemeAndMetricsChangesKeepTheClientArea) {
  ASSERT_NE(Start(), nullptr);
  for (const auto& [change, minimized] :
       {std::pair{WM_THEMECHANGED, false}, {WM_SETTINGCHANGE, false}, {WM_THEMECHANGED, true}}) {
    SCOPED_TRACE(minimized ? "minimized" : change == WM_THEMECHANGED ? "theme" : "metrics");
    ShowWindow(window_, minimized ? SW_MINIMIZE : SW_SHOWNA);
    SetWindowLongPtrW(window_, GWL_EXSTYLE,
                      GetWindowLongPtrW(window_, GWL_EXSTYLE) ^ WS_EX_CLIENTEDGE);
    SetWindowPos(window_, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_FRAMECHANGED);
    Ask(window_, static_cast<UINT>(change), 0, 0);
    ShowWindow(window_, minimized ? SW_RESTORE : SW_SHOWNA);
    ExpectDesignAt(static_cast<int>(GetDpiForSystem()));
  }
}

// A relayout that fails during an apply (a control gone, destroyed by
// another program) ends the program only once the apply is over, and the
// program that sent the new scale is answered before the box is read.
TEST_P(WindowTest, ARelayoutThatFailsDuringAnApplyEndsTheProgramAfterIt) {
  ASSERT_NE(Start([](const SeenBox& box) {
              Sleep(box.title == L"Tintwell" ? 1500 : 0);  // the fatal box, read slowly
              return IDOK;
            }),
            nullptr);
  Messenger(L"delay:1500");
  ClickChange();
  Sleep(300);  // the messenger is being asked
  Ask(Control(design::kLabel1), WM_CLOSE, 0, 0);
  SendWithData(0x02E0 /* WM_DPICHANGED */, MAKEWPARAM(120, 120), RECT{40, 30, 500, 300});
  EXPECT_EQ(tintwell_->WaitForExit(10000), 1);
  EXPECT_EQ(Boxes(2), (std::vector<SeenBox>{FatalBox(0x80070578), Done()}));
  EXPECT_EQ(StoredColor(), (std::vector<BYTE>{0, 0, 0, 0}));
}

}  // namespace
