#include <gtest/gtest.h>

#include "registry/reg.h"
#include "support/message_boxes.h"
#include "support/registry.h"

namespace {

using reg::WriteStatus;

const std::vector<BYTE> kWhiteRecord{0xFF, 0xFE, 0xFF, 0x00};
const std::wstring kWhiteRecordText{L'\xFF', L'\xFE', L'\xFF', L'\0'};

void ExpectFormatBox(const std::vector<SeenBox>& boxes, const std::wstring& path) {
  ASSERT_EQ(boxes.size(), 1u) << testing::PrintToString(path);
  EXPECT_EQ(boxes[0].title, L"Tintwell");
  EXPECT_EQ(boxes[0].text, L"Incorrect Format:\n\n" + path);
  EXPECT_EQ(boxes[0].icon, L"none");
  EXPECT_EQ(boxes[0].buttons, 1);
}

TEST(SplitRegistryPath, CutsAtTheFirstBackslashOrRejectsWithTheFormatBox) {
  const struct {
    std::wstring path;
    HKEY root;  // null: no root of that exact name
    std::wstring rest;
  } cuts[] = {
      {L"HKEY_CURRENT_USER\\Software\\Microsoft\\MSNMessenger\\PerPassportSettings\\a@b.c",
       HKEY_CURRENT_USER, L"Software\\Microsoft\\MSNMessenger\\PerPassportSettings\\a@b.c"},
      {L"HKEY_CLASSES_ROOT\\x", HKEY_CLASSES_ROOT, L"x"},
      {L"HKEY_LOCAL_MACHINE\\x", HKEY_LOCAL_MACHINE, L"x"},
      {L"HKEY_USERS", HKEY_USERS, L""},
      {L"HKEY_PERFORMANCE_DATA\\x", HKEY_PERFORMANCE_DATA, L"x"},
      {L"HKEY_CURRENT_CONFIG\\x", HKEY_CURRENT_CONFIG, L"x"},
      {L"HKEY_DYN_DATA\\x", HKEY_DYN_DATA, L"x"},
      {L"HKEY_current_user\\x", nullptr, L"x"},
      {L"HKEY_CURRENT_USER \\x", nullptr, L"x"},
      {L"HKEY_", nullptr, L""},
  };
  for (const auto& c : cuts) {
    MessageBoxWatcher boxes;
    std::wstring path = c.path;
    HKEY root = HKEY_CLASSES_ROOT;
    EXPECT_TRUE(reg::SplitRegistryPath(path, root, nullptr)) << c.path;
    EXPECT_EQ(root, c.root) << c.path;
    EXPECT_EQ(path, c.rest) << c.path;
    EXPECT_TRUE(boxes.Seen().empty()) << c.path;
  }
  for (const std::wstring malformed :
       {L"HKEY_CURRENT_USER\\Software\\Microsoft\\MSNMessenger\\PerPassportSettings\\",
        L"HKEY_CURRENT_USER\\", L"hkey_current_user\\Software", L"HKEY", L"", L"HKCU\\x"}) {
    MessageBoxWatcher boxes;
    std::wstring path = malformed;
    HKEY root = HKEY_CLASSES_ROOT;
    EXPECT_FALSE(reg::SplitRegistryPath(path, root, nullptr));
    EXPECT_EQ(root, nullptr);
    EXPECT_EQ(path, malformed);
    ExpectFormatBox(boxes.Seen(1), malformed);
  }
}

// Writes below a key of its own under HKEY_CURRENT_USER, removed afterwards.
class WriteBinaryValueTest : public testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(CreateKey(key_)); }
  void TearDown() override {
    RegDeleteTreeW(HKEY_CURRENT_USER, key_.c_str());
    RegDeleteKeyW(HKEY_CURRENT_USER, key_.c_str());
    RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\TintwellTests");
  }

  WriteStatus Write(const std::wstring& path, const std::wstring& data,
                    const std::wstring& name = L"IM Color") {
    MessageBoxWatcher watcher;
    const reg::WriteOutcome outcome = reg::WriteBinaryValue(path, name, data, nullptr);
    boxes_ = watcher.Seen();
    error_ = outcome.error;
    return outcome.status;
  }
  std::wstring Path(const std::wstring& relative = L"") const {
    return L"HKEY_CURRENT_USER\\" + key_ + (relative.empty() ? L"" : L"\\" + relative);
  }

  const std::wstring key_ = L"Software\\TintwellTests\\" + UniqueName(L"key");
  std::vector<SeenBox> boxes_;
  LSTATUS error_ = 0;
};

TEST_F(WriteBinaryValueTest, StoresEachCharacterCodeAsOneByteInPlaceOfAnyValue) {
  ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, key_.c_str(), L"IM Color", REG_SZ, L"red", 8),
            ERROR_SUCCESS);
  EXPECT_EQ(Write(Path(), kWhiteRecordText), WriteStatus::kWritten);
  EXPECT_TRUE(boxes_.empty());
  const auto value = ReadValue(key_, L"IM Color");
  ASSERT_TRUE(value);
  EXPECT_EQ(value->type, static_cast<DWORD>(REG_BINARY));
  EXPECT_EQ(value->bytes, kWhiteRecord);

  // A code that does not fit in a byte writes nothing at all.
  EXPECT_EQ(Write(Path(), L"\xFF\x100"), WriteStatus::kDataOutOfRange);
  EXPECT_EQ(ReadValue(key_, L"IM Color")->bytes, kWhiteRecord);

  // A path without a backslash names the root key itself.
  const std::wstring name = UniqueName(L"TintwellTest");
  EXPECT_EQ(Write(L"HKEY_CURRENT_USER", kWhiteRecordText, name), WriteStatus::kWritten);
  const auto at_root = ReadValue(L"", name);
  RegDeleteValueW(HKEY_CURRENT_USER, name.c_str());
  ASSERT_TRUE(at_root);
  EXPECT_EQ(at_root->bytes, kWhiteRecord);
}

TEST_F(WriteBinaryValueTest, PathsToNoExistingKeyWriteNothingAndCreateNothing) {
  const std::vector<std::wstring> before = Snapshot(key_);
  EXPECT_EQ(Write(Path(L"missing\\account"), kWhiteRecordText), WriteStatus::kKeyNotOpened);
  EXPECT_EQ(error_, ERROR_FILE_NOT_FOUND);
  EXPECT_TRUE(boxes_.empty());
  for (const std::wstring& malformed : {Path() + L"\\", std::wstring{}}) {
    EXPECT_EQ(Write(malformed, kWhiteRecordText), WriteStatus::kPathRejected);
    ExpectFormatBox(boxes_, malformed);
  }
  for (const std::wstring& unknown : {L"HKEY_CURRENT_USERS\\" + key_, std::wstring{L"HKEY_"}}) {
    EXPECT_EQ(Write(unknown, kWhiteRecordText), WriteStatus::kUnknownRoot);
    EXPECT_TRUE(boxes_.empty());
  }
  EXPECT_EQ(Snapshot(key_), before);
}

TEST_F(WriteBinaryValueTest, NamesWithoutAnExactAnsiFormAddressNoKey) {
  // Each of these would be turned into "Anna" by a best-fit conversion, or cut
  // short at the NUL, and so reach the key of another account.
  ASSERT_TRUE(CreateKey(key_ + L"\\Anna"));
  const std::vector<std::wstring> before = Snapshot(key_);
  for (const std::wstring& look_alike :
       {std::wstring{L"\xFF21nna"}, std::wstring{L"\x0100nna"}, std::wstring{L"Anna\0x", 6}}) {
    EXPECT_EQ(Write(Path(look_alike), kWhiteRecordText), WriteStatus::kNotRepresentable);
  }
  EXPECT_EQ(Write(Path(L"Anna"), kWhiteRecordText, L"IM\x2003" L"Color"),
            WriteStatus::kNotRepresentable);
  EXPECT_EQ(Snapshot(key_), before);
  // What the code page does hold passes unchanged (U+00E9 is in 1252).
  if (GetACP() == 1252) {
    EXPECT_EQ(reg::ToAnsiExactly(L"o'neil+caf\xE9"), "o'neil+caf\xE9");
  }
}

}  // namespace
