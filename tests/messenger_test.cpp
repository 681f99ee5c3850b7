#include <gtest/gtest.h>

#include <objbase.h>

#include "failure/failure.h"
#include "messenger/messenger_link.h"
#include "standin/command_line.h"
#include "standin/server.h"
#include "support/processes.h"
#include "support/scratch_key.h"

namespace {

class MessengerLinkTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_HRESULT_SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
    StandinMessenger::StopAll();
  }
  void TearDown() override {
    link_.Close();
    standin_.reset();
    StandinMessenger::StopAll();
    StandinMessenger::Unregister();
    for (const std::wstring& name : accounts_) {
      RegDeleteKeyW(HKEY_CURRENT_USER, AccountKey(name).c_str());
    }
    CoUninitialize();
  }
  std::wstring Account(const std::wstring& base) {
    accounts_.push_back(UniqueName(base));
    return accounts_.back();
  }
  // Registers the stand-in, starts it with arguments and opens the link to it.
  void Serve(const std::wstring& arguments) {
    ASSERT_EQ(StandinMessenger::Register(), 0);
    standin_.emplace(arguments);
    ASSERT_TRUE(standin_->started());
    ASSERT_HRESULT_SUCCEEDED(link_.Open());
  }

  std::vector<std::wstring> accounts_;
  std::optional<StandinMessenger> standin_;
  MessengerLink link_;
};

Failure SigninFailure(const MessengerLink& link) {
  try {
    link.SigninName();
  } catch (const Failure& failure) {
    return failure;
  }
  ADD_FAILURE() << "the sign-in name was given";
  return {};
}

TEST_F(MessengerLinkTest, OpenFailsCleanlyWhenNoMessengerIsRegistered) {
  ASSERT_EQ(StandinMessenger::Unregister(), 0);
  MessengerLink link;
  EXPECT_EQ(link.Open(), REGDB_E_CLASSNOTREG);
  EXPECT_EQ(SigninFailure(link).code, CO_E_OBJNOTCONNECTED);
}

TEST_F(MessengerLinkTest, AnswersTheSigninNameUnchanged) {
  Serve(L"/signedout");
  for (const std::wstring& name :
       {Account(L"anna@example.com"), Account(L"o'neil+im@example.org"),
        Account(L"Zo\xEB \x674E\x5A1C@example.net")}) {
    ASSERT_EQ(StandinMessenger::Control(L"signin:" + name), 0);
    EXPECT_EQ(link_.SigninName(), name);
  }
  // Signing in made the accounts' settings keys, as the messenger does.
  for (const std::wstring& name : accounts_) {
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, AccountKey(name)));
  }
}

TEST_F(MessengerLinkTest, ComLaunchesTheRegisteredMessenger) {
  const std::wstring name = Account(L"launched@example.com");
  ASSERT_EQ(StandinMessenger::Register(QuoteArgument(L"/signin:" + name)), 0);
  ASSERT_FALSE(StandinMessenger::IsRunning());
  {
    MessengerLink link;
    ASSERT_HRESULT_SUCCEEDED(link.Open());
    EXPECT_TRUE(StandinMessenger::IsRunning());
    EXPECT_EQ(link.SigninName(), name);
  }
  // Launched by COM, it ends with its last client.
  const ULONGLONG deadline = GetTickCount64() + 5000;
  while (StandinMessenger::IsRunning() && GetTickCount64() < deadline) {
    Sleep(20);
  }
  EXPECT_FALSE(StandinMessenger::IsRunning());
}

TEST_F(MessengerLinkTest, SignedOutGivesTheMessengersErrorAndDescription) {
  Serve(L"/signedout");
  const Failure failure = SigninFailure(link_);
  EXPECT_EQ(failure.code, kNotSignedIn);
  EXPECT_EQ(failure.description, kNotSignedInDescription);
}

TEST_F(MessengerLinkTest, EventsAreAcceptedAndIgnored) {
  const std::wstring name = Account(L"events@example.com");
  Serve(QuoteArgument(L"/signin:" + name));
  EXPECT_EQ(StandinMessenger::Control(L"fire"), 0);
  EXPECT_EQ(StandinMessenger::Control(L"fire"), 0);
  EXPECT_EQ(link_.SigninName(), name);
}

TEST_F(MessengerLinkTest, AKilledMessengerFailsTheNextQueryPromptly) {
  const std::wstring name = Account(L"killed@example.com");
  Serve(QuoteArgument(L"/signin:" + name));
  standin_->Kill();
  const ULONGLONG asked = GetTickCount64();
  const Failure failure = SigninFailure(link_);
  EXPECT_LT(GetTickCount64() - asked, 5000u);
  EXPECT_EQ(failure.code, HRESULT_FROM_WIN32(RPC_S_SERVER_UNAVAILABLE));
  EXPECT_FALSE(failure.description.empty());
  link_.Close();
  // A messenger started afresh serves again.
  ResetComActivation();
  Serve(QuoteArgument(L"/signin:" + name));
  EXPECT_EQ(link_.SigninName(), name);
}

TEST_F(MessengerLinkTest, RegistrationIsRemovedWithoutTrace) {
  const std::wstring library = L"Software\\Classes\\TypeLib\\{CF21CFD4-417B-4CFF-8C39-C84F6B3CCDC8}";
  const std::vector<std::wstring> keys{
      L"Software\\Classes\\CLSID\\{B69003B3-C55E-4B48-836C-BC5946FC3B28}",
      L"Software\\Classes\\Interface\\{D50C3186-0F89-48F8-B204-3604629DEE10}",
      L"Software\\Classes\\Interface\\{D50C3386-0F89-48F8-B204-3604629DEE10}",
      L"Software\\Classes\\Interface\\{C9A6A6B6-9BC1-43A5-B06B-E58874EEBC96}", library};
  auto present = [](const std::wstring& key, REGSAM view) {
    return KeyExists(HKEY_LOCAL_MACHINE, key, view);
  };
  ASSERT_EQ(StandinMessenger::Register(), 0);
  for (const std::wstring& key : keys) {
    EXPECT_TRUE(present(key, KEY_WOW64_64KEY)) << key;
  }
  ASSERT_EQ(StandinMessenger::Unregister(), 0);
  for (const std::wstring& key : keys) {
    EXPECT_FALSE(present(key, KEY_WOW64_64KEY)) << key;
    EXPECT_FALSE(present(key, KEY_WOW64_32KEY)) << key;
  }
}

}  // namespace
