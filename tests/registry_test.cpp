#include <gtest/gtest.h>

#include "registry/reg.h"
#include "support/message_boxes.h"
#include "support/scratch_key.h"

namespace {

using reg::WriteStatus;

const std::vector<BYTE> kWhiteRecord{0xFF, 0xFE, 0xFF, 0x00};
const std::wstring kWhiteRecordText{L'\xFF', L'\xFE', L'\xFF', L'\0'};

SeenBox IncorrectFormatBox(const std::wstring& path) {
  return {L"Tintwell", L"Incorrect Format:\n\n" + path, L"none", 1, nullptr};
}

void ExpectBoxes(const std::vector<SeenBox>& seen, const std::vector<SeenBox>& expected) {
  ASSERT_EQ(seen.size(), expected.size());
  for (std::size_t i = 0; i < seen.size(); ++i) {
    EXPECT_EQ(seen[i].title, expected[i].title);
    EXPECT_EQ(seen[i].text, expected[i].text);
    EXPECT_EQ(seen[i].icon, expected[i].icon);
    EXPECT_EQ(seen[i].buttons, expected[i].buttons);
  }
}

TEST(RootKeyFromName, KnowsExactlyThePredefinedRootNames) {
  EXPECT_EQ(reg::RootKeyFromName(L"HKEY_CLASSES_ROOT"), HKEY_CLASSES_ROOT);
  EXPECT_EQ(reg::RootKeyFromName(L"HKEY_CURRENT_USER"), HKEY_CURRENT_USER);
  EXPECT_EQ(reg::RootKeyFromName(L"HKEY_LOCAL_MACHINE"), HKEY_LOCAL_MACHINE);
  EXPECT_EQ(reg::RootKeyFromName(L"HKEY_USERS"), HKEY_USERS);
  EXPECT_EQ(reg::RootKeyFromName(L"HKEY_PERFORMANCE_DATA"), HKEY_PERFORMANCE_DATA);
  EXPECT_EQ(reg::RootKeyFromName(L"HKEY_CURRENT_CONFIG"), HKEY_CURRENT_CONFIG);
  EXPECT_EQ(reg::RootKeyFromName(L"HKEY_DYN_DATA"), HKEY_DYN_DATA);
  // The handles are the sign-extended predefined values on 64-bit Windows too.
  EXPECT_EQ(reinterpret_cast<INT_PTR>(reg::RootKeyFromName(L"HKEY_USERS")),
            static_cast<INT_PTR>(static_cast<LONG>(0x80000003)));
  for (const wchar_t* other : {L"HKEY_current_user", L"HKEY_", L"", L"HKEY_CURRENT_USER ",
                               L"HKCU", L"HKEY_CURRENT_USER\\Software"}) {
    EXPECT_EQ(reg::RootKeyFromName(other), nullptr) << other;
  }
}

TEST(SplitRegistryPath, CutsAtTheFirstBackslash) {
  const struct {
    std::wstring path;
    HKEY root;
    std::wstring rest;
  } cases[] = {
      {L"HKEY_CURRENT_USER\\Software\\Microsoft\\MSNMessenger\\PerPassportSettings\\a@b.c",
       HKEY_CURRENT_USER, L"Software\\Microsoft\\MSNMessenger\\PerPassportSettings\\a@b.c"},
      {L"HKEY_USERS", HKEY_USERS, L""},
      {L"HKEY_", nullptr, L""},
      {L"HKEY_NOWHERE\\Software", nullptr, L"Software"},
  };
  for (const auto& c : cases) {
    MessageBoxWatcher boxes;
    std::wstring path = c.path;
    HKEY root = HKEY_CLASSES_ROOT;
    EXPECT_TRUE(reg::SplitRegistryPath(path, root, nullptr)) << c.path;
    EXPECT_EQ(root, c.root) << c.path;
    EXPECT_EQ(path, c.rest) << c.path;
    EXPECT_TRUE(boxes.Stop().empty()) << c.path;
  }
}

TEST(SplitRegistryPath, RejectsMalformedPathsWithTheFormatBox) {
  for (const std::wstring malformed :
       {L"HKEY_CURRENT_USER\\Software\\Microsoft\\MSNMessenger\\PerPassportSettings\\",
        L"HKEY_CURRENT_USER\\", L"hkey_current_user\\Software", L"HKEY", L"", L"Software\\x"}) {
    MessageBoxWatcher boxes;
    std::wstring path = malformed;
    HKEY root = HKEY_CLASSES_ROOT;
    EXPECT_FALSE(reg::SplitRegistryPath(path, root, nullptr));
    EXPECT_EQ(root, nullptr);
    EXPECT_EQ(path, malformed);
    ExpectBoxes(boxes.Stop(), {IncorrectFormatBox(malformed)});
  }
}

class WriteBinaryValueTest : public testing::Test {
 protected:
  reg::WriteOutcome Write(const std::wstring& path, const std::wstring& name,
                          const std::wstring& data) {
    MessageBoxWatcher watcher;
    const reg::WriteOutcome outcome = reg::WriteBinaryValue(path, name, data, nullptr);
    boxes_ = watcher.Stop();
    return outcome;
  }

  ScratchKey key_;
  std::vector<SeenBox> boxes_;
};

TEST_F(WriteBinaryValueTest, StoresEachCharacterCodeAsOneByte) {
  key_.CreateChild(L"account");
  EXPECT_EQ(Write(key_.path() + L"\\account", L"IM Color", kWhiteRecordText).status,
            WriteStatus::kWritten);
  const auto value = key_.Value(L"account", L"IM Color");
  ASSERT_TRUE(value);
  EXPECT_EQ(value->type, static_cast<DWORD>(REG_BINARY));
  EXPECT_EQ(value->bytes, kWhiteRecord);
  EXPECT_TRUE(boxes_.empty());

  EXPECT_EQ(Write(key_.path() + L"\\account", L"IM Color", L"").status, WriteStatus::kWritten);
  EXPECT_EQ(key_.Value(L"account", L"IM Color")->bytes, std::vector<BYTE>{});
}

TEST_F(WriteBinaryValueTest, ReplacesAValueOfAnotherType) {
  key_.SetValue(L"", L"IM Color", REG_SZ, {'r', 0, 'e', 0, 'd', 0, 0, 0});
  EXPECT_EQ(Write(key_.path(), L"IM Color", kWhiteRecordText).status, WriteStatus::kWritten);
  const auto value = key_.Value(L"", L"IM Color");
  ASSERT_TRUE(value);
  EXPECT_EQ(value->type, static_cast<DWORD>(REG_BINARY));
  EXPECT_EQ(value->bytes, kWhiteRecord);
}

TEST_F(WriteBinaryValueTest, NeverCreatesAMissingKey) {
  const auto before = key_.Snapshot();
  const reg::WriteOutcome outcome =
      Write(key_.path() + L"\\missing\\account", L"IM Color", kWhiteRecordText);
  EXPECT_EQ(outcome.status, WriteStatus::kKeyNotOpened);
  EXPECT_EQ(outcome.error, ERROR_FILE_NOT_FOUND);
  EXPECT_FALSE(key_.HasChild(L"missing"));
  EXPECT_EQ(key_.Snapshot(), before);
  EXPECT_TRUE(boxes_.empty());
}

TEST_F(WriteBinaryValueTest, APathWithoutBackslashWritesUnderTheRootItself) {
  const std::wstring name = L"TintwellTest " + std::to_wstring(GetCurrentProcessId());
  EXPECT_EQ(Write(L"HKEY_CURRENT_USER", name, kWhiteRecordText).status, WriteStatus::kWritten);
  const auto value = ReadValue(HKEY_CURRENT_USER, L"", name);
  RegDeleteValueW(HKEY_CURRENT_USER, name.c_str());
  ASSERT_TRUE(value);
  EXPECT_EQ(value->bytes, kWhiteRecord);
}

TEST_F(WriteBinaryValueTest, MalformedAndUnknownPathsWriteNothing) {
  const auto before = key_.Snapshot();
  const std::wstring trailing = key_.path() + L"\\";
  EXPECT_EQ(Write(trailing, L"IM Color", kWhiteRecordText).status, WriteStatus::kPathRejected);
  ExpectBoxes(boxes_, {IncorrectFormatBox(trailing)});

  EXPECT_EQ(Write(L"", L"IM Color", kWhiteRecordText).status, WriteStatus::kPathRejected);
  ExpectBoxes(boxes_, {IncorrectFormatBox(L"")});

  EXPECT_EQ(Write(L"HKEY_CURRENT_USERS\\" + key_.sub_key(), L"IM Color", kWhiteRecordText).status,
            WriteStatus::kUnknownRoot);
  EXPECT_EQ(Write(L"HKEY_", L"IM Color", kWhiteRecordText).status, WriteStatus::kUnknownRoot);
  EXPECT_TRUE(boxes_.empty());
  EXPECT_EQ(key_.Snapshot(), before);
}

TEST_F(WriteBinaryValueTest, NamesWithoutAnExactAnsiFormAddressNoKey) {
  // Each of these would be turned into "Anna" by a best-fit conversion, or cut
  // short at the NUL, and so reach the key of another account.
  key_.CreateChild(L"Anna");
  const auto before = key_.Snapshot();
  for (const std::wstring& look_alike :
       {std::wstring{L"\xFF21nna"}, std::wstring{L"\x0100nna"}, std::wstring{L"Anna\0x", 6}}) {
    const reg::WriteOutcome outcome =
        Write(key_.path() + L"\\" + look_alike, L"IM Color", kWhiteRecordText);
    EXPECT_EQ(outcome.status, WriteStatus::kNotRepresentable);
  }
  EXPECT_EQ(Write(key_.path() + L"\\Anna", L"IM\x2003" L"Color", kWhiteRecordText).status,
            WriteStatus::kNotRepresentable);
  EXPECT_EQ(key_.Snapshot(), before);
}

TEST_F(WriteBinaryValueTest, DataCodesAboveOneByteAreRefused) {
  key_.SetValue(L"", L"IM Color", REG_BINARY, kWhiteRecord);
  EXPECT_EQ(Write(key_.path(), L"IM Color", L"\xFF\x100").status, WriteStatus::kDataOutOfRange);
  EXPECT_EQ(key_.Value(L"", L"IM Color")->bytes, kWhiteRecord);
}

TEST(ToAnsiExactly, KeepsWhatTheCodePageHolds) {
  EXPECT_EQ(reg::ToAnsiExactly(L"o'neil+im@example.org"), "o'neil+im@example.org");
  EXPECT_EQ(reg::ToAnsiExactly(L""), "");
  // U+00E9 exists in the Western code page (1252) and not in the Cyrillic one.
  const auto accented = reg::ToAnsiExactly(L"caf\xE9");
  if (GetACP() == 1252) {
    EXPECT_EQ(accented, "caf\xE9");
  } else if (GetACP() == 1251) {
    EXPECT_FALSE(accented);
  }
}

}  // namespace
