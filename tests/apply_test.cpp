#include <gtest/gtest.h>

#include <objbase.h>

#include <algorithm>
#include <functional>
#include <iterator>
#include <string_view>

#include "color/apply.h"
#include "failure/failure.h"
#include "messenger/messenger_link.h"
#include "support/message_boxes.h"
#include "support/processes.h"
#include "standin/control.h"
#include "support/scratch_key.h"

namespace {

// Scroll bars as the apply sequence sees them; a test can make them fail or
// act when green is set.
class TestChannels final : public ChannelControls {
 public:
  explicit TestChannels(ChannelTriple values) : values_(values) {}

  ChannelTriple ReadChannels() override {
    if (fail_) {
      throw FailureFromHresult(E_ACCESSDENIED);
    }
    return values_;
  }
  void SetGreen(std::int16_t green) override {
    values_.green = green;
    ++green_changes_;
    if (on_set_green_) {
      on_set_green_();
    }
  }

  ChannelTriple values_;
  int green_changes_ = 0;
  bool fail_ = false;
  std::function<void()> on_set_green_;
};

std::vector<BYTE> Bytes(ChannelTriple color) {
  return {static_cast<BYTE>(color.red), static_cast<BYTE>(color.green),
          static_cast<BYTE>(color.blue), 0};
}

std::optional<RegistryValue> StoredColor(const std::wstring& account) {
  return ReadValue(HKEY_CURRENT_USER, AccountKey(account), L"IM Color");
}

void ExpectDone(const SeenBox& box, const std::wstring& account) {
  EXPECT_EQ(box.title, L"Done !");
  EXPECT_EQ(box.text, L"Color has been changed for " + account);
  EXPECT_EQ(box.icon, L"information");
  EXPECT_EQ(box.buttons, 1);
}

void ExpectNotChanged(const SeenBox& box, const std::wstring& account, std::wstring_view why) {
  EXPECT_EQ(box.title, L"Tintwell");
  EXPECT_TRUE(box.text.starts_with(L"The color was not changed for " + account + L".\n\n"))
      << box.text;
  EXPECT_NE(box.text.find(why), std::wstring::npos) << box.text;
  EXPECT_EQ(box.icon, L"critical");
}

class ApplyColorTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_HRESULT_SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
    StandinMessenger::StopAll();
    ASSERT_EQ(StandinMessenger::Register(), 0);
    account_ = Account(L"anna@example.com");
    standin_.emplace(L"\"/signin:" + account_ + L"\"");
    ASSERT_TRUE(standin_->started());
    ASSERT_HRESULT_SUCCEEDED(link_.Open());
    before_ = SnapshotKey(HKEY_CURRENT_USER, kAccountSettings);
  }
  void TearDown() override {
    link_.Close();
    standin_.reset();
    StandinMessenger::StopAll();
    StandinMessenger::Unregister();
    for (const std::wstring& account : accounts_) {
      RegDeleteTreeW(HKEY_CURRENT_USER, AccountKey(account).c_str());
      RegDeleteKeyW(HKEY_CURRENT_USER, AccountKey(account).c_str());
    }
    CoUninitialize();
  }

  std::wstring Account(const std::wstring& base) {
    accounts_.push_back(UniqueName(base));
    return accounts_.back();
  }
  void SignIn(const std::wstring& name) { ASSERT_EQ(StandinMessenger::Control(L"signin:" + name), 0); }

  // Runs the apply sequence, pressing OK on every box it shows.
  std::vector<SeenBox> Apply(TestChannels& channels) {
    MessageBoxWatcher watcher;
    ApplyColor(channels, link_, nullptr);
    return watcher.Stop();
  }
  // Applies colour and returns the one box that answered it.
  SeenBox ApplyExpectingOneBox(ChannelTriple colour) {
    TestChannels channels{colour};
    const std::vector<SeenBox> boxes = Apply(channels);
    if (boxes.size() != 1) {
      ADD_FAILURE() << boxes.size() << " boxes instead of one";
      return {};
    }
    return boxes[0];
  }
  std::vector<std::wstring> SettingsChanges() {
    std::vector<std::wstring> after = SnapshotKey(HKEY_CURRENT_USER, kAccountSettings);
    return after == before_ ? std::vector<std::wstring>{} : after;
  }

  std::wstring account_;
  std::vector<std::wstring> accounts_;
  std::optional<StandinMessenger> standin_;
  MessengerLink link_;
  std::vector<std::wstring> before_;
};

TEST_F(ApplyColorTest, StoresTheChosenColorByteExactAndConfirms) {
  for (const ChannelTriple color :
       {ChannelTriple{40, 90, 200}, ChannelTriple{0, 0, 0}, ChannelTriple{18, 52, 86},
        ChannelTriple{255, 255, 254}, ChannelTriple{255, 0, 255}, ChannelTriple{0, 255, 255}}) {
    ExpectDone(ApplyExpectingOneBox(color), account_);
    const auto stored = StoredColor(account_);
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->type, static_cast<DWORD>(REG_BINARY));
    EXPECT_EQ(stored->bytes, Bytes(color));  // so green was not moved either
  }
}

TEST_F(ApplyColorTest, WhiteMovesGreenBeforeTheNameIsAsked) {
  // Setting green signs another account in: the colour lands in that account
  // only if the messenger was asked after green moved.
  const std::wstring other = Account(L"other@example.com");
  TestChannels channels{{255, 255, 255}};
  channels.on_set_green_ = [&] { SignIn(other); };
  const std::vector<SeenBox> boxes = Apply(channels);
  EXPECT_EQ(channels.values_, (ChannelTriple{255, 254, 255}));
  EXPECT_EQ(channels.green_changes_, 1);
  EXPECT_FALSE(StoredColor(account_));
  ASSERT_TRUE(StoredColor(other));
  EXPECT_EQ(StoredColor(other)->bytes, (std::vector<BYTE>{0xFF, 0xFE, 0xFF, 0x00}));
  ASSERT_EQ(boxes.size(), 1u);
  ExpectDone(boxes[0], other);
}

TEST_F(ApplyColorTest, ApplyingTwiceWritesAndConfirmsTwice) {
  ExpectDone(ApplyExpectingOneBox({1, 2, 3}), account_);
  ExpectDone(ApplyExpectingOneBox({1, 2, 3}), account_);
  EXPECT_EQ(StoredColor(account_)->bytes, Bytes({1, 2, 3}));
}

TEST_F(ApplyColorTest, AMissingAccountKeyIsReportedAndNotCreated) {
  ASSERT_EQ(RegDeleteKeyW(HKEY_CURRENT_USER, AccountKey(account_).c_str()),
            ERROR_SUCCESS);
  before_ = SnapshotKey(HKEY_CURRENT_USER, kAccountSettings);
  ExpectNotChanged(ApplyExpectingOneBox({40, 90, 200}), account_,
                   L"Sign in once with the messenger");
  EXPECT_TRUE(SettingsChanges().empty());
}

TEST_F(ApplyColorTest, AnEmptyNameGetsOnlyTheFormatBox) {
  SignIn(L"");
  const SeenBox box = ApplyExpectingOneBox({40, 90, 200});
  EXPECT_EQ(box.title, L"Tintwell");
  EXPECT_EQ(box.text, L"Incorrect Format:\n\nHKEY_CURRENT_USER\\" + AccountKey(L""));
  EXPECT_TRUE(SettingsChanges().empty());
}

TEST_F(ApplyColorTest, ANameWithABackslashIsRefused) {
  const std::wstring inner = account_ + L"\\inner";
  ASSERT_TRUE(CreateKey(HKEY_CURRENT_USER, AccountKey(inner)));
  before_ = SnapshotKey(HKEY_CURRENT_USER, kAccountSettings);
  for (const std::wstring& name : {inner, account_ + L"\\"}) {
    SignIn(name);
    ExpectNotChanged(ApplyExpectingOneBox({40, 90, 200}), name, L"backslash");
  }
  EXPECT_TRUE(SettingsChanges().empty());
}

TEST_F(ApplyColorTest, AFailingControlStopsTheSequence) {
  TestChannels channels{{40, 90, 200}};
  channels.fail_ = true;
  MessageBoxWatcher watcher;
  EXPECT_THROW(ApplyColor(channels, link_, nullptr), Failure);
  EXPECT_TRUE(watcher.Stop().empty());
  EXPECT_TRUE(SettingsChanges().empty());
}

// Sign-in names that could steer a write elsewhere. Whatever the messenger
// reports, the only change anywhere under the messenger's settings may be the
// "IM Color" of the key named exactly by that name; every refusal is a box.
TEST_F(ApplyColorTest, HostileNamesNeverWriteAnywhereElse) {
  const std::wstring settings_root = L"Software\\Microsoft\\MSNMessenger";
  const std::wstring& anna = account_;  // an existing account to imitate
  const std::wstring hostile[] = {
      L"",
      anna + L"\\inner",
      anna + L"\\",
      std::wstring(300, L'x'),
      L"Zo\xEB \x674E\x5A1C@example.net",
      L"\xFF41nna" + anna.substr(4),  // full-width a
      L"\x0101nna" + anna.substr(4),  // a with macron, best-fit to a
      L"\"" + anna + L"\"",
      L" " + anna,
      anna + L" ",
      L"tab\there\x01" + anna,
      L"..\\..\\" + anna,
  };
  for (const std::wstring& name : hostile) {
    SCOPED_TRACE(testing::Message() << "name of " << name.size() << " characters");
    SignIn(name);
    if (!name.empty() && name.find(L'\\') == std::wstring::npos) {
      accounts_.push_back(name);  // the stand-in made its key: removed afterwards
    }
    std::vector<std::wstring> before = SnapshotKey(HKEY_CURRENT_USER, settings_root);
    const SeenBox box = ApplyExpectingOneBox({12, 34, 56});
    std::vector<std::wstring> after = SnapshotKey(HKEY_CURRENT_USER, settings_root);
    std::sort(before.begin(), before.end());
    std::sort(after.begin(), after.end());

    const std::wstring own_value = L"\\PerPassportSettings\\" + name + L" [IM Color] ";
    std::vector<std::wstring> changed;
    std::set_symmetric_difference(before.begin(), before.end(), after.begin(), after.end(),
                                  std::back_inserter(changed));
    for (const std::wstring& line : changed) {
      EXPECT_TRUE(line.starts_with(own_value)) << "changed elsewhere: " << testing::PrintToString(line);
    }
    if (box.title == L"Done !") {
      EXPECT_EQ(box.text, L"Color has been changed for " + name);
      ASSERT_TRUE(StoredColor(name));
      EXPECT_EQ(StoredColor(name)->bytes, Bytes({12, 34, 56}));
    } else {
      EXPECT_EQ(box.title, L"Tintwell");
      EXPECT_TRUE(box.text.starts_with(L"The color was not changed for ") ||
                  box.text.starts_with(L"Incorrect Format:"))
          << "not a clear refusal";
      EXPECT_TRUE(changed.empty());
    }
  }
}

// The fatal path ends the program, so it runs in a child: this same program
// started with "--fatal-child SCENARIO".
class FatalApplyTest : public ApplyColorTest {
 protected:
  std::pair<int, std::vector<SeenBox>> RunChild(const std::wstring& scenario) {
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    PROCESS_INFORMATION child{};
    if (!Launch(self, L"--fatal-child " + scenario, child)) {
      ADD_FAILURE() << "the child did not start";
      return {};
    }
    MessageBoxWatcher watcher{child.dwProcessId};
    const int exit_code = WaitForExitCode(child.hProcess, 20000);
    if (exit_code == -1) {
      TerminateProcess(child.hProcess, 99);
      ADD_FAILURE() << "the child did not end";
    }
    CloseProcess(child);
    return {exit_code, watcher.Stop()};
  }
};

TEST_F(FatalApplyTest, SignedOutEndsTheProgramBeforeAnythingIsWritten) {
  ASSERT_EQ(StandinMessenger::Control(L"signout"), 0);
  const auto [exit_code, boxes] = RunChild(L"apply");
  EXPECT_EQ(exit_code, kFatalExitCode);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].title, L"Tintwell");
  EXPECT_EQ(boxes[0].icon, L"critical");
  EXPECT_NE(boxes[0].text.find(L"0x80040201"), std::wstring::npos) << boxes[0].text;
  EXPECT_NE(boxes[0].text.find(L"Nobody is signed in to the messenger."), std::wstring::npos);
  EXPECT_TRUE(SettingsChanges().empty());
}

TEST_F(FatalApplyTest, AMessengerKilledBeforeTheApplyEndsTheProgram) {
  const auto [exit_code, boxes] = RunChild(L"kill-then-apply");
  EXPECT_EQ(exit_code, kFatalExitCode);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].title, L"Tintwell");
  EXPECT_NE(boxes[0].text.find(L"0x800706BA"), std::wstring::npos) << boxes[0].text;
  EXPECT_FALSE(StoredColor(account_));
  ResetComActivation();
}

// The child's side: open the link, maybe kill the messenger, apply.
int RunFatalChild(std::string_view scenario) {
  if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {
    return 10;
  }
  MessengerLink link;
  if (FAILED(link.Open())) {
    return 11;
  }
  if (scenario == "kill-then-apply") {
    DWORD process_id = 0;
    GetWindowThreadProcessId(FindWindowExW(HWND_MESSAGE, nullptr, kControlWindowClass, nullptr),
                             &process_id);
    const HANDLE standin = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, process_id);
    if (standin == nullptr || !TerminateProcess(standin, 9)) {
      return 12;
    }
    WaitForSingleObject(standin, INFINITE);
    CloseHandle(standin);
  }
  TestChannels channels{{10, 20, 30}};
  const bool finished = RunOrShowFatal(nullptr, [&] { ApplyColor(channels, link, nullptr); });
  link.Close();
  CoUninitialize();
  return finished ? 0 : kFatalExitCode;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::string_view{argv[1]} == "--fatal-child") {
    return RunFatalChild(argv[2]);
  }
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
