// The start: the colour it opens at, without a messenger that answers, the
// DLLs it loads; and the end: closes, log-off and the session's end, whatever
// the messenger does.
#include "failure/failure.h"
#include "support/program_test.h"

namespace {

// Stores value (removes it, for REG_NONE) as the "IM Color" of the account
// named, making its key where need be.
void StoreFor(const std::wstring& name, DWORD type, const std::vector<BYTE>& value) {
  const std::wstring key = AccountKey(name);
  if (type == REG_NONE) {
    RegDeleteKeyValueW(HKEY_CURRENT_USER, key.c_str(), L"IM Color");
    return;
  }
  EXPECT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, key.c_str(), L"IM Color", type, value.data(),
                            static_cast<DWORD>(value.size())),
            ERROR_SUCCESS);
}

// The window opens at the colour the account has now, as the bars and the
// sample show it. Another program's colour stored meanwhile changes nothing
// on the screen, and "Change" stores what the bars show.
TEST_P(WindowTest, OpensAtTheAccountsColourAndChangeStoresWhatTheBarsShow) {
  StoreFor(account_, REG_BINARY, {0x28, 0x5A, 0xC8, 0x00});
  ASSERT_NE(Start(), nullptr);
  for (const auto& [bar, position] :
       {std::pair{design::kRed, 40}, {design::kGreen, 90}, {design::kBlue, 200}}) {
    ExpectPosition(bar, position);
  }
  ExpectPreview(Rgb(40, 90, 200));
  StoreFor(account_, REG_BINARY, {1, 2, 3, 0});
  ClickChange();
  EXPECT_EQ(Boxes(1), std::vector<SeenBox>{Done()});
  EXPECT_EQ(StoredColor(), (std::vector<BYTE>{0x28, 0x5A, 0xC8, 0x00}));
}

// Anything but a record of the program's own in the signed-in account's own
// key opens the window at black, in the sample text's own colour, without a
// word and without a write. Each case has the colour stored where a careless
// reader would find it: in the account's key, and in the key a name with a
// backslash points at.
TEST_P(WindowTest, AnythingButItsOwnRecordOpensAtBlackWithoutAWord) {
  const std::wstring inner = account_ + L"\\inner";
  const std::wstring missing = UniqueName(L"missing@example.com");
  const std::wstring look_alike = L"\xFF41" + account_.substr(1);  // best fit makes it plain
  names_.insert(names_.end(), {missing, look_alike});
  const std::vector<BYTE> colour{40, 90, 200, 0};
  const std::tuple<const char*, std::wstring, DWORD, std::vector<BYTE>> cases[] = {
      {"nobody signed in", L"signout", REG_BINARY, colour},
      {"an empty name", L"signin:", REG_BINARY, colour},
      {"a backslash in the name", L"signin:" + inner, REG_BINARY, colour},
      {"a name the code page lacks", L"signin:" + look_alike, REG_BINARY, colour},
      {"no key", L"signin:" + missing, REG_BINARY, colour},
      {"no value", L"signin:" + account_, REG_NONE, {}},
      {"a number", L"signin:" + account_, REG_DWORD, colour},
      {"three bytes", L"signin:" + account_, REG_BINARY, {40, 90, 200}},
      {"five bytes", L"signin:" + account_, REG_BINARY, {40, 90, 200, 0, 0}},
      {"a fourth byte", L"signin:" + account_, REG_BINARY, {40, 90, 200, 1}},
      {"the messenger gone", L"die:name", REG_BINARY, colour},
  };
  for (const auto& [what, command, type, value] : cases) {
    SCOPED_TRACE(what);
    Messenger(command);
    RegDeleteTreeW(HKEY_CURRENT_USER, AccountKey(missing).c_str());
    for (const std::wstring& name : {account_, inner}) {
      StoreFor(name, type, value);
    }
    const std::vector<std::wstring> before = Snapshot(L"Software\\Microsoft\\MSNMessenger");
    ASSERT_NE(Start(), nullptr);
    for (const int bar : {design::kRed, design::kGreen, design::kBlue}) {
      ExpectPosition(bar, 0);
    }
    ExpectPreview(Rgb(0, 0, 0));
    EXPECT_EQ(Snapshot(L"Software\\Microsoft\\MSNMessenger"), before);
    PostMessageW(window_, WM_CLOSE, 0, 0);
    EXPECT_EQ(tintwell_->WaitForExit(10000), 0);
    EXPECT_TRUE(Boxes(0).empty());
  }
}

// Without a messenger the window is never shown: the "Error" box says why,
// and a close that comes while it is open waits until it has been read.
TEST_P(MessengerTest, WithoutAMessengerOnlyTheErrorBoxIsShown) {
  RegisterMessenger(false);
  for (const bool closed_meanwhile : {false, true}) {
    SCOPED_TRACE(closed_meanwhile ? "closed while the box is open" : "the box read");
    bool read = false;
    EXPECT_EQ(Start([&](const SeenBox&) {
                if (closed_meanwhile) {
                  PostMessageW(FindWindowW(Form1::kWindowClass, nullptr), WM_CLOSE, 0, 0);
                }
                Sleep(300);
                read = FindWindowW(L"#32770", L"Error") != nullptr;
                return IDOK;
              }),
              nullptr);
    EXPECT_TRUE(read) << "the box went before it was read";
    EXPECT_EQ(tintwell_->WaitForExit(10000), 2);
    EXPECT_EQ(Boxes(1), (std::vector{SeenBox{L"Error",
                                             L"Please log-in to MSN 6 before using this "
                                             L"program",
                                             L"critical", 1}}));
  }
}

// A close sent while the messenger is reached is answered at once and waits
// in the window's queue: still there when the start is over, it ends the
// start, the window is never shown, and no subscription is left.
TEST_P(MessengerTest, ACloseDuringTheStartEndsItBeforeTheWindowIsShown) {
  Messenger(L"delay:1500");
  ForegroundKeeper foreground;
  ASSERT_TRUE(foreground.Kept());
  EXPECT_EQ(Start({}, [](HWND hidden) { Ask(hidden, WM_CLOSE, 0, 0); }), nullptr);
  EXPECT_EQ(tintwell_->WaitForExit(10000), 0);
  EXPECT_TRUE(foreground.Kept()) << "the window was shown, if only for a moment";
  EXPECT_EQ(StandinMessenger::Control(L"subscribed"), 1);
  EXPECT_TRUE(Boxes(0).empty());
}

// A messenger that does not answer while Tintwell starts (as it subscribes,
// or as it is asked whose colour to show) is waited for in boxes of their
// own, as there is no window yet: Retry waits on, Cancel ends the program as
// a missing messenger does. A close sent meanwhile is answered at once and
// waits.
TEST_P(MessengerTest, AMessengerSilentAtTheStartIsWaitedForUntilTheUserStops) {
  for (const wchar_t* silent_at : {L"hang:subscribe", L"hang:name"}) {
    SCOPED_TRACE(testing::PrintToString(silent_at));
    RegisterMessenger();  // the last one was left hung
    Messenger(silent_at);
    int asked = 0;
    EXPECT_EQ(Start([&](const SeenBox&) { return ++asked == 1 ? IDRETRY : IDCANCEL; },
                    [](HWND hidden) { Ask(hidden, WM_CLOSE, 0, 0); }),
              nullptr);
    EXPECT_EQ(tintwell_->WaitForExit(20000), 2);
    EXPECT_EQ(Boxes(2), std::vector(2, AskingBox(false, nullptr)));
    standin_->Kill();  // hung: told to quit, it would keep the test waiting
  }
}

// A messenger that stopped answering does not keep the program from ending,
// nor does it get a word: a close, sent by another program as "End task"
// sends it, is answered at once and given the patience, and ends sooner when
// the messenger goes away meanwhile; the session's end waits for nothing.
TEST_P(MessengerTest, ClosingEndsTheProgramWhateverTheMessengerDoes) {
  for (const std::wstring ending : {L"close", L"close, gone", L"session's end"}) {
    SCOPED_TRACE(ending);
    if (ending != L"close") {
      RegisterMessenger();  // the last one was left hung or gone
    }
    ASSERT_NE(Start(), nullptr);
    Messenger(L"hang");
    if (ending == L"session's end") {
      // Another program refused the log-off: Tintwell goes on.
      Ask(window_, WM_ENDSESSION, FALSE, ENDSESSION_LOGOFF);
      EXPECT_EQ(tintwell_->WaitForExit(500), -1);
      Ask(window_, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF);
    } else {
      Ask(window_, WM_CLOSE, 0, 0);
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

// A DLL that Windows loads by its bare name for the program (the theme
// library, which the common controls load) is never loaded from the
// program's folder, where it may have been planted; Wine is told to prefer
// such a file (in its settings for the program). A copy damaged there (its
// resources gone) fails as it lays out its controls: it says so and ends.
TEST_P(WindowTest, NoDllIsLoadedFromTheProgramsFolder) {
  wchar_t temp[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, temp);
  const std::wstring folder = temp + UniqueName(L"Downloads");
  const std::wstring planted = folder + L"\\uxtheme.dll";
  tintwell_path_ = folder + L"\\Tintwell.exe";
  const wchar_t settings[] = L"Software\\Wine\\AppDefaults\\Tintwell.exe";
  const AtEnd removed{[&] {
    tintwell_.reset();
    RegDeleteTreeW(HKEY_CURRENT_USER, settings);
    for (const std::wstring& file : {tintwell_path_, planted, MarkOf(planted)}) {
      DeleteFileW(file.c_str());
    }
    RemoveDirectoryW(folder.c_str());
  }};
  ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
  EXPECT_TRUE(CopyFileW(GetParam().tintwell.c_str(), tintwell_path_.c_str(), TRUE));
  EXPECT_TRUE(CopyFileW(GetParam().planted.c_str(), planted.c_str(), TRUE));
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
}

}  // namespace
