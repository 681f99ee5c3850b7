// "Change": what is stored where, what the boxes say, what waits for an
// apply, and how trouble with the messenger is met.
#include <sddl.h>

#include "support/program_test.h"

INSTANTIATE_TEST_SUITE_P(x64, MessengerTest, testing::Values(kX64));
INSTANTIATE_TEST_SUITE_P(x86, MessengerTest, testing::Values(kX86));
// What 64-bit Windows users of the 32-bit messenger may run.
INSTANTIATE_TEST_SUITE_P(x64_beside_32bit_messenger, MessengerTest,
                         testing::Values(Pairing{kX64.tintwell, kX86.standin, kX64.planted}));

namespace {

// Gives the key below HKEY_CURRENT_USER an access list that lets everyone
// read it, change that list and delete it, but not write to it.
void LetNobodyWrite(const std::wstring& key) {
  HKEY opened = nullptr;
  ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, WRITE_DAC, &opened), ERROR_SUCCESS);
  PSECURITY_DESCRIPTOR read_only = nullptr;
  ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(
      L"D:(A;;KRSDWD;;;WD)", SDDL_REVISION_1, &read_only, nullptr));
  EXPECT_EQ(RegSetKeySecurity(opened, DACL_SECURITY_INFORMATION, read_only), ERROR_SUCCESS);
  LocalFree(read_only);
  RegCloseKey(opened);
}

// Exact white loses one step of green, and the preview with it, before the
// slow messenger is even asked. The click, from another program, is answered
// at once; what comes meanwhile waits: a second click starts no second apply,
// a log-off is never refused, and a close (another posted while "Done !" is
// open) drops the subscription to the ignored events and ends the program.
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
  Messenger(L"fire");
  for (const int bar : {design::kRed, design::kGreen, design::kBlue}) {
    Drive(bar, {L"End"}, 255);
  }
  EXPECT_EQ(Settled([this] { return Preview(); }, {}), std::vector<DWORD>{});  // white on white
  Messenger(L"delay:1000");
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
  Messenger(L"signin:" + other);
  EXPECT_EQ(Ask(window_, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF), TRUE);
  PostMessageW(window_, WM_CLOSE, 0, 0);
  EXPECT_EQ(tintwell_->WaitForExit(15000), 0);
  const std::wstring now = L".\n\nThe messenger is now signed in as " + other;
  EXPECT_EQ(Boxes(1),
            std::vector<SeenBox>{Done(account_ + now + L", whose color was not changed.")});
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
  const std::wstring locked = UniqueName(L"locked@example.com");
  const std::wstring long_name(300, L'x');
  auto refused = [this](const std::wstring& name, const std::wstring& reason) {
    return Box(L"The color was not changed for " + name + L".\n\n" + reason);
  };
  ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, AccountKey(account_ + L"\\inner").c_str(), nullptr,
                            REG_SZ, L"", 2),
            ERROR_SUCCESS);
  const std::pair<std::wstring, SeenBox> cases[] = {
      {L"o'neil+im@example.org", Done(L"o'neil+im@example.org")},
      {L"", Box(L"Incorrect Format:\n\nHKEY_CURRENT_USER\\" + AccountKey(L""), L"none")},
      {account_ + L"\\inner", refused(account_ + L"\\inner",
                                      L"The sign-in name contains a "
                                      L"backslash, so it cannot name the account's settings.")},
      {missing, refused(missing,
                        L"This account has no messenger settings on this computer yet. "
                        L"Sign in once with the messenger, then try again.")},
      {locked, refused(locked, L"Its settings could not be opened: " +
                                   SystemDescription(HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED)))},
      {long_name, refused(long_name,
                          L"The sign-in name is longer than the 255 characters that "
                          L"can name the account's settings.")},
      // A full-width a, which best fit would make a plain one.
      {L"\xFF41" + account_.substr(1),
       refused(L"\xFF41" + account_.substr(1),
               L"The sign-in name holds characters that this computer's code page cannot "
               L"represent exactly, so it cannot name the account's settings safely.")},
  };
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    const auto& [name, expected] = cases[i];
    SCOPED_TRACE(testing::Message() << "name of " << name.size() << " characters");
    Messenger(L"signin:" + name);  // makes a plain name's key
    names_.push_back(name);
    if (name == missing) {
      ASSERT_EQ(RegDeleteKeyW(HKEY_CURRENT_USER, AccountKey(missing).c_str()), ERROR_SUCCESS);
    }
    if (name == locked) {
      LetNobodyWrite(AccountKey(locked));
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

// Trouble with the messenger at "Change". Before the write (nobody signed in,
// gone, not answering) the program ends through its error box, naming the
// error, and the colour stored earlier stays; after it, the box says the new
// one is stored. Silence is waited for: after five seconds the user is asked
// and may wait on. A busy messenger is asked again: a short spell goes
// unnoticed, a long one is told, and one free again by Retry is used.
TEST_P(MessengerTest, TroubleAtChangeIsWaitedForOrEndsTheProgramTruthfully) {
  const std::vector<BYTE> earlier{0, 0, 0, 0};
  const std::vector<BYTE> chosen{1, 0, 0, 0};
  const std::wstring stored = L"\n\nThe color had already been changed for " + account_ + L".";
  const std::wstring not_answered =
      L"The messenger did not answer, and waiting for it was stopped.";
  // The trouble (a stand-in command, or "kill"), the boxes that ask to wait
  // (the last one stops, or the apply is done), the last box, what is stored.
  const std::tuple<std::wstring, std::size_t, SeenBox, std::vector<BYTE>> cases[] = {
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
  for (const auto& [trouble, asked, last, stored_then] : cases) {
    SCOPED_TRACE(trouble);
    const bool busy = trouble.starts_with(L"busy:");
    const bool done = last.title == L"Done !";
    std::vector<ULONGLONG> times;  // of the click, then of each box that asks
    RegisterMessenger();
    RegDeleteKeyValueW(HKEY_CURRENT_USER, AccountKey(account_).c_str(), L"IM Color");  // at black
    ASSERT_NE(Start([&](const SeenBox& box) {
                if (box.buttons != 2) {
                  return IDOK;
                }
                times.push_back(GetTickCount64());
                if (done) {
                  Sleep(3500);  // retried once the busy spell is over
                }
                return done || times.size() <= asked ? IDRETRY : IDCANCEL;
              }),
              nullptr);
    ClickChange();
    ASSERT_EQ(Boxes(1), std::vector<SeenBox>{Done()});
    Drive(design::kRed, {}, 1);
    if (trouble == L"kill") {
      standin_->Kill();
    } else {
      Messenger(trouble);
    }
    times.push_back(GetTickCount64());
    ClickChange();
    EXPECT_EQ(tintwell_->WaitForExit(done ? 0 : 20000), done ? -1 : 1);
    std::vector<SeenBox> expected(asked + 2, AskingBox(busy, window_));
    expected.front() = Done();
    expected.back() = last;
    expected.back().owner = window_;
    EXPECT_EQ(Boxes(expected.size(), 20000), expected);
    // Each box that asks came after the patience (from the click, then from
    // the box before); only a program that never asks misses the upper bound.
    EXPECT_EQ(times.size(), asked + 1);
    for (std::size_t i = 1; i < times.size(); ++i) {
      EXPECT_GE(times[i] - times[i - 1], 4500u);
      EXPECT_LT(times[i] - times[i - 1], 15000u);
    }
    EXPECT_EQ(StoredColor(), stored_then);
    if (busy) {  // asked again after a pause, never at once
      Messenger(L"refused:100");
    }
    if (trouble.starts_with(L"die:")) {
      standin_->Kill();  // gone already: COM is told
    }
  }
}

}  // namespace
