// The start without a messenger that answers, the DLLs the start loads, and
// the end: closes, log-off and the session's end, whatever the messenger does.
#include "failure/failure.h"
#include "support/program_test.h"

namespace {

// Without a messenger the window is never shown: the "Error" box says why,
// and a close that comes while it is open waits until it has been read.
TEST_P(MessengerTest, WithoutAMessengerOnlyTheErrorBoxIsShown) {
  RegisterMessenger(false);
  bool read = false;
  EXPECT_EQ(Start([&read](const SeenBox&) {
              PostMessageW(FindWindowW(Form1::kWindowClass, nullptr), WM_CLOSE, 0, 0);
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

// A close sent while the messenger is reached waits for the start to end:
// the window is never shown, and no subscription is left.
TEST_P(MessengerTest, ACloseDuringTheStartEndsItBeforeTheWindowIsShown) {
  Messenger(L"delay:1500");
  EXPECT_EQ(Start({}, [](HWND hidden) { Ask(hidden, WM_CLOSE, 0, 0); }), nullptr);
  EXPECT_EQ(tintwell_->WaitForExit(10000), 0);
  EXPECT_EQ(StandinMessenger::Control(L"subscribed"), 1);
  EXPECT_TRUE(Boxes(0).empty());
}

// A messenger that does not answer while Tintwell starts is waited for in
// boxes of their own, as there is no window yet: Retry waits on, Cancel ends
// the program as a missing messenger does. A close sent meanwhile is answered
// at once and waits.
TEST_P(MessengerTest, AMessengerSilentAtTheStartIsWaitedForUntilTheUserStops) {
  Messenger(L"hang:subscribe");
  int asked = 0;
  EXPECT_EQ(Start([&](const SeenBox&) { return ++asked == 1 ? IDRETRY : IDCANCEL; },
                  [](HWND hidden) { Ask(hidden, WM_CLOSE, 0, 0); }),
            nullptr);
  EXPECT_EQ(tintwell_->WaitForExit(20000), 2);
  EXPECT_EQ(Boxes(2), std::vector(2, AskingBox(false, nullptr)));
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

}  // namespace
