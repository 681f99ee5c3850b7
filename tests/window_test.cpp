#include <gtest/gtest.h>

#include <string_view>

#include "support/processes.h"
#include "support/scratch_key.h"
#include "support/tintwell.h"
#include "window/design.h"

namespace {

constexpr DWORD kWhite = 0x00FFFFFF;

DWORD Rgb(int red, int green, int blue) {
  return static_cast<DWORD>(red << 16 | green << 8 | blue);
}

int Position(HWND bar) { return static_cast<int>(SendMessageW(bar, SBM_GETPOS, 0, 0)); }

// Where to click on a horizontal scroll bar, in screen coordinates.
POINT RightArrowOf(HWND bar) {
  RECT area{};
  GetWindowRect(bar, &area);
  const int arrow = area.bottom - area.top;
  return {area.right - arrow / 2, (area.top + area.bottom) / 2};
}

// The thumb of a bar at 0 lies just right of its left arrow.
POINT ThumbAtZeroOf(HWND bar) {
  RECT area{};
  GetWindowRect(bar, &area);
  const int arrow = area.bottom - area.top;
  return {area.left + arrow + 3, (area.top + area.bottom) / 2};
}

// Reads until read() gives expected or a second has passed; the last reading.
template <typename Read>
auto Settled(Read read, const decltype(read())& expected) {
  auto value = read();
  for (int i = 0; i < 100 && value != expected; ++i) {
    Sleep(10);
    value = read();
  }
  return value;
}

HWND FocusOf(DWORD thread_id) {
  GUITHREADINFO info{};
  info.cbSize = sizeof info;
  GetGUIThreadInfo(thread_id, &info);
  return info.hwndFocus;
}

class WindowTest : public testing::Test {
 protected:
  void SetUp() override {
    StandinMessenger::StopAll();
    ASSERT_EQ(StandinMessenger::Register(), 0);
    account_ = UniqueName(L"window@example.com");
    standin_.emplace(L"\"/signin:" + account_ + L"\"");
    ASSERT_TRUE(standin_->started());
  }
  void TearDown() override {
    tintwell_.reset();
    standin_.reset();
    StandinMessenger::StopAll();
    StandinMessenger::Unregister();
    RegDeleteKeyW(HKEY_CURRENT_USER, AccountKey(account_).c_str());
  }

  HWND Start(std::function<void(SeenBox&)> on_box = {}) {
    tintwell_.emplace(std::move(on_box));
    return tintwell_->WaitForWindow();
  }
  HWND Bar(int id) const { return tintwell_->Control(id); }
  std::vector<DWORD> PreviewColours() const {
    return ColoursShownIn(tintwell_->Control(design::kText1), kWhite);
  }
  void ExpectPosition(int bar, int position) const {
    EXPECT_EQ(Settled([&] { return Position(Bar(bar)); }, position), position) << bar;
  }
  // The sample text shows in exactly this colour, and nothing else does.
  void ExpectPreview(DWORD colour) const {
    const std::vector<DWORD> only{colour};
    EXPECT_EQ(Settled([this] { return PreviewColours(); }, only), only);
  }
  std::optional<RegistryValue> StoredColor() const {
    return ReadValue(HKEY_CURRENT_USER, AccountKey(account_), L"IM Color");
  }

  std::wstring account_;
  std::optional<StandinMessenger> standin_;
  std::optional<TintwellProcess> tintwell_;
};

// The design in pixels at 96 DPI (15 twips to a pixel).
struct DesignRect {
  int id;
  RECT pixels;
};
const DesignRect kDesign[] = {
    {design::kRed, {32, 8, 32 + 257, 8 + 17}},     {design::kGreen, {32, 24, 32 + 257, 24 + 17}},
    {design::kBlue, {32, 40, 32 + 257, 40 + 17}},  {design::kText1, {32, 64, 32 + 193, 64 + 19}},
    {design::kLabel1, {8, 8, 8 + 17, 8 + 17}},     {design::kLabel2, {8, 24, 8 + 17, 24 + 17}},
    {design::kLabel3, {8, 40, 8 + 17, 40 + 17}},   {design::kLabel4, {232, 64, 232 + 57, 64 + 17}},
};

class DpiTest : public WindowTest, public testing::WithParamInterface<int> {
 protected:
  void SetLogPixels(DWORD dpi) {
    ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, L"Control Panel\\Desktop", L"LogPixels",
                              REG_DWORD, &dpi, sizeof dpi),
              ERROR_SUCCESS);
  }
  void TearDown() override {
    SetLogPixels(96);
    WindowTest::TearDown();
  }
};

TEST_P(DpiTest, ClientAreaAndControlsMatchTheDesign) {
  const int dpi = GetParam();
  SetLogPixels(static_cast<DWORD>(dpi));
  const HWND window = Start();
  ASSERT_NE(window, nullptr);
  auto scaled = [dpi](int pixels_at_96) { return MulDiv(pixels_at_96 * 15, dpi, 1440); };
  RECT client{};
  GetClientRect(window, &client);
  EXPECT_EQ(client.right, scaled(295));
  EXPECT_EQ(client.bottom, scaled(88));
  for (const DesignRect& control : kDesign) {
    RECT area{};
    GetWindowRect(tintwell_->Control(control.id), &area);
    MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&area), 2);
    EXPECT_EQ(area.left, scaled(control.pixels.left)) << control.id;
    EXPECT_EQ(area.top, scaled(control.pixels.top)) << control.id;
    EXPECT_EQ(area.right - area.left, scaled(control.pixels.right - control.pixels.left))
        << control.id;
    EXPECT_EQ(area.bottom - area.top, scaled(control.pixels.bottom - control.pixels.top))
        << control.id;
  }
}

INSTANTIATE_TEST_SUITE_P(AtCommonDpis, DpiTest, testing::Values(96, 120, 144));

TEST_F(WindowTest, ThePreviewFollowsClicksAndKeysInExactlyTheChosenColour) {
  ASSERT_NE(Start(), nullptr);
  // Until the first change the text has the edit box's own colour.
  ExpectPreview(Rgb(0, 0, 0));

  ClickAt(RightArrowOf(Bar(design::kRed)));
  ExpectPosition(design::kRed, 1);
  ExpectPreview(Rgb(1, 0, 0));

  PressKeys({L"End"});  // the clicked bar has the focus
  ExpectPosition(design::kRed, 255);
  ExpectPreview(Rgb(255, 0, 0));

  PressKeys({L"Tab", L"Next", L"Next", L"Right", L"Left", L"Left"});  // green: 15, 30, 31, 30, 29
  ExpectPosition(design::kGreen, 29);
  PressKeys({L"Tab", L"End", L"Prior"});  // blue: 255, 240
  ExpectPosition(design::kBlue, 240);
  ExpectPreview(Rgb(255, 29, 240));
  PressKeys({L"Home"});
  ExpectPreview(Rgb(255, 29, 0));
}

TEST_F(WindowTest, ADraggedThumbChangesThePreviewOnlyOnRelease) {
  ASSERT_NE(Start(), nullptr);
  const HWND blue = Bar(design::kBlue);
  const POINT thumb = ThumbAtZeroOf(blue);
  const POINT arrow = RightArrowOf(blue);
  PressAt(thumb);
  MoveTo({(thumb.x + arrow.x) / 2, thumb.y});
  EXPECT_EQ(Position(blue), 0);
  ExpectPreview(Rgb(0, 0, 0));
  Release();
  Settled([&] { return Position(blue) != 0; }, true);  // the release has landed
  const int released_at = Position(blue);
  EXPECT_GT(released_at, 100);
  EXPECT_LT(released_at, 200);
  ExpectPreview(Rgb(0, 0, released_at));
}

TEST_F(WindowTest, TabVisitsTheBarsAndTheTextButNeverALabel) {
  ASSERT_NE(Start(), nullptr);
  // The window starts with the focus on the red bar.
  const DWORD thread = tintwell_->thread_id();
  EXPECT_EQ(Settled([&] { return FocusOf(thread); }, Bar(design::kRed)), Bar(design::kRed));
  const HWND expected[] = {Bar(design::kGreen), Bar(design::kBlue),
                           tintwell_->Control(design::kText1), Bar(design::kRed)};
  for (const HWND control : expected) {
    PressKeys({L"Tab"});
    EXPECT_EQ(Settled([&] { return FocusOf(thread); }, control), control);
  }
}

TEST_F(WindowTest, ChangeStoresTheColourAndConfirmsIt) {
  ASSERT_NE(Start(), nullptr);
  for (int i = 0; i < 3; ++i) {
    ClickAt(RightArrowOf(Bar(design::kGreen)));
  }
  ExpectPosition(design::kGreen, 3);
  ClickAt(CentreOf(tintwell_->Control(design::kLabel4)));
  const std::vector<SeenBox> boxes = tintwell_->Boxes(1);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].title, L"Done !");
  EXPECT_EQ(boxes[0].text, L"Color has been changed for " + account_);
  EXPECT_EQ(boxes[0].icon, L"information");
  EXPECT_EQ(boxes[0].owner, tintwell_->WaitForWindow());
  ASSERT_TRUE(StoredColor());
  EXPECT_EQ(StoredColor()->bytes, (std::vector<BYTE>{0, 3, 0, 0}));
}

TEST_F(WindowTest, WhiteTurnsGreenTo254BeforeTheConfirmation) {
  int green_when_confirmed = -1;
  std::vector<DWORD> preview_when_confirmed;
  ASSERT_NE(Start([&](const SeenBox&) {
              green_when_confirmed = Position(Bar(design::kGreen));
              preview_when_confirmed = PreviewColours();
            }),
            nullptr);
  for (const int id : {design::kRed, design::kGreen, design::kBlue}) {
    ClickAt(RightArrowOf(Bar(id)));
    PressKeys({L"End"});
    ExpectPosition(id, 255);
  }
  // White text on a white box.
  EXPECT_EQ(Settled([this] { return PreviewColours(); }, {}), std::vector<DWORD>{});
  ClickAt(CentreOf(tintwell_->Control(design::kLabel4)));
  ASSERT_EQ(tintwell_->Boxes(1).size(), 1u);
  EXPECT_EQ(green_when_confirmed, 254);
  EXPECT_EQ(preview_when_confirmed, std::vector<DWORD>{Rgb(255, 254, 255)});
  EXPECT_EQ(StoredColor()->bytes, (std::vector<BYTE>{0xFF, 0xFE, 0xFF, 0x00}));
}

TEST_F(WindowTest, WithoutTheMessengerTheWindowIsNeverShown) {
  standin_.reset();
  StandinMessenger::StopAll();
  ASSERT_EQ(StandinMessenger::Unregister(), 0);
  tintwell_.emplace();
  EXPECT_EQ(tintwell_->WaitForWindow(), nullptr);
  EXPECT_EQ(tintwell_->WaitForExit(), 2);
  EXPECT_FALSE(tintwell_->WindowWasVisible());
  const std::vector<SeenBox> boxes = tintwell_->Boxes(1);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].title, L"Error");
  EXPECT_EQ(boxes[0].text, L"Please log-in to MSN 6 before using this program");
  EXPECT_EQ(boxes[0].icon, L"critical");
  EXPECT_EQ(boxes[0].buttons, 1);
}

TEST_F(WindowTest, AMessengerGoneAtChangeEndsTheProgramWithoutWriting) {
  ASSERT_NE(Start(), nullptr);
  standin_->Kill();
  ClickAt(CentreOf(tintwell_->Control(design::kLabel4)));
  EXPECT_EQ(tintwell_->WaitForExit(), 1);
  const std::vector<SeenBox> boxes = tintwell_->Boxes(1);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].title, L"Tintwell");
  EXPECT_EQ(boxes[0].icon, L"critical");
  EXPECT_NE(boxes[0].text.find(L"0x800706BA"), std::wstring::npos) << boxes[0].text;
  EXPECT_FALSE(StoredColor());
  ResetComActivation();
}

TEST_F(WindowTest, ClosingTheWindowEndsTheProgramAndItsSubscription) {
  const HWND window = Start();
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(StandinMessenger::Control(L"subscribed"), 0);
  PostMessageW(window, WM_CLOSE, 0, 0);
  EXPECT_EQ(tintwell_->WaitForExit(), 0);
  EXPECT_EQ(StandinMessenger::Control(L"subscribed"), 1);
}

// Closes asked for by another program while the messenger is slow to answer
// and again while "Done !" is open: the apply finishes, then the program ends.
TEST_F(WindowTest, ACloseDuringAnApplyWaitsForItsEnd) {
  HWND window = nullptr;
  const HWND started = Start([&](SeenBox& box) {
    if (box.title == L"Done !") {
      PostMessageW(window, WM_CLOSE, 0, 0);
      Sleep(200);  // delivered while the box is open
    }
  });
  ASSERT_NE(started, nullptr);
  window = started;
  ASSERT_EQ(StandinMessenger::Control(L"delay:1500"), 0);
  ClickAt(CentreOf(tintwell_->Control(design::kLabel4)));
  Sleep(500);
  PostMessageW(window, WM_CLOSE, 0, 0);
  EXPECT_EQ(tintwell_->WaitForExit(15000), 0);
  const std::vector<SeenBox> boxes = tintwell_->Boxes(1);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].title, L"Done !");
  ASSERT_TRUE(StoredColor());
  EXPECT_EQ(StoredColor()->bytes, (std::vector<BYTE>{0, 0, 0, 0}));
}

// A messenger that stops answering: after five seconds the user is asked,
// may wait on (Retry), and may stop (Cancel), which ends the program unwritten.
TEST_F(WindowTest, AMessengerThatStopsAnsweringLetsTheUserWaitOrStop) {
  std::vector<ULONGLONG> asked_at;
  const HWND window = Start([&](SeenBox& box) {
    if (box.title == L"Tintwell" && box.buttons == 2) {
      asked_at.push_back(GetTickCount64());
      box.press = asked_at.size() == 1 ? IDRETRY : IDCANCEL;
    }
  });
  ASSERT_NE(window, nullptr);
  ASSERT_EQ(StandinMessenger::Control(L"hang"), 0);
  const ULONGLONG clicked = GetTickCount64();
  ClickAt(CentreOf(tintwell_->Control(design::kLabel4)));
  EXPECT_EQ(tintwell_->WaitForExit(20000), 1);
  const std::vector<SeenBox> boxes = tintwell_->Boxes(3);
  ASSERT_EQ(boxes.size(), 3u);
  ASSERT_EQ(asked_at.size(), 2u);
  for (const SeenBox& busy : {boxes[0], boxes[1]}) {
    EXPECT_TRUE(busy.text.starts_with(L"The messenger is not answering.")) << busy.text;
    EXPECT_EQ(busy.icon, L"warning");
    EXPECT_EQ(busy.owner, window);
  }
  EXPECT_GE(asked_at[0] - clicked, 4500u);
  EXPECT_LT(asked_at[0] - clicked, 7000u);
  EXPECT_GE(asked_at[1] - asked_at[0], 4500u);
  EXPECT_EQ(boxes[2].icon, L"critical");
  EXPECT_NE(boxes[2].text.find(L"0x80010002"), std::wstring::npos) << boxes[2].text;
  EXPECT_FALSE(StoredColor());
  standin_->Kill();
  ResetComActivation();
}

TEST_F(WindowTest, ClosingWithAMessengerThatStoppedAnsweringStillEnds) {
  const HWND window = Start();
  ASSERT_NE(window, nullptr);
  ASSERT_EQ(StandinMessenger::Control(L"hang"), 0);
  PostMessageW(window, WM_CLOSE, 0, 0);
  EXPECT_EQ(tintwell_->WaitForExit(10000), 0);
  EXPECT_TRUE(tintwell_->Boxes(0).empty());
  standin_->Kill();
  ResetComActivation();
}

}  // namespace
