#include <gtest/gtest.h>

#include "registry/reg.h"
#include "standin/driver.h"
#include "support/message_boxes.h"
#include "support/registry.h"

namespace {

using reg::WriteStatus;

// A path cut at its first backslash: the root of that exact name (null when
// none has it) and the rest; a path that cannot name a key shows the format
// box. The one root the program needs stands for the table of them all.
TEST(SplitRegistryPath, CutsAtTheFirstBackslashOrShowsTheFormatBox) {
  const std::pair<std::wstring, HKEY> roots[] = {{L"HKEY_CURRENT_USER", HKEY_CURRENT_USER},
                                                 {L"HKEY_current_user", nullptr},
                                                 {L"HKEY_CURRENT_USER ", nullptr},
                                                 {L"HKEY_", nullptr}};
  const std::wstring malformed[] = {L"HKEY_CURRENT_USER\\Software\\",
                                    L"HKEY_CURRENT_USER\\",
                                    L"hkey_current_user\\Software",
                                    L"HKEY",
                                    L"",
                                    L"HKCU\\x"};
  MessageBoxWatcher boxes;
  for (const auto& [name, root] : roots) {
    for (const std::wstring rest : {L"", L"Software\\a@b.c"}) {
      std::wstring path = rest.empty() ? name : name + L"\\" + rest;
      HKEY cut = HKEY_CLASSES_ROOT;
      EXPECT_TRUE(reg::SplitRegistryPath(path, cut, nullptr));
      EXPECT_EQ(cut, root) << testing::PrintToString(name);
      EXPECT_EQ(path, rest) << testing::PrintToString(name);
    }
  }
  for (const std::wstring& text : malformed) {
    std::wstring path = text;
    HKEY cut = HKEY_CLASSES_ROOT;
    EXPECT_FALSE(reg::SplitRegistryPath(path, cut, nullptr));
    EXPECT_EQ(cut, nullptr);
    EXPECT_EQ(path, text);
  }
  const std::vector<SeenBox> seen = boxes.Seen(std::size(malformed));
  ASSERT_EQ(seen.size(), std::size(malformed));
  for (std::size_t i = 0; i < seen.size(); ++i) {
    EXPECT_EQ(seen[i], (SeenBox{L"Tintwell", L"Incorrect Format:\n\n" + malformed[i], L"none", 1}));
  }
}

// In a key of its own below HKEY_CURRENT_USER, removed at the end.
TEST(WriteBinaryValue, StoresOneByteACharacterInAKeyThatExistsAndNowhereElse) {
  const std::wstring key = L"Software\\TintwellTests\\" + UniqueName(L"key");
  const std::wstring path_prefix = L"HKEY_CURRENT_USER\\" + key + L"\\";
  const AtEnd removed{[&key] {
    RegDeleteTreeW(HKEY_CURRENT_USER, key.c_str());
    RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\TintwellTests");
  }};
  MessageBoxWatcher boxes;
  ASSERT_EQ(
      RegSetKeyValueW(HKEY_CURRENT_USER, (key + L"\\Anna").c_str(), L"IM Color", REG_SZ, L"red", 8),
      ERROR_SUCCESS);
  const std::wstring white{L'\xFF', L'\xFE', L'\xFF', L'\0'};
  EXPECT_EQ(reg::WriteBinaryValue(path_prefix + L"Anna", L"IM Color", white, nullptr).status,
            WriteStatus::kWritten);
  EXPECT_EQ(ReadBinaryValue(key + L"\\Anna", L"IM Color"),
            (std::vector<BYTE>{0xFF, 0xFE, 0xFF, 0x00}));

  // Nothing is written for what cannot name that very key and value exactly:
  // a NUL would cut the name short, and a look-alike space would become a space.
  const std::vector<std::wstring> before = Snapshot(key);
  const std::tuple<std::wstring, const wchar_t*, std::wstring, WriteStatus> refused[] = {
      {path_prefix + L"Anna", L"IM Color", L"\xFF\x100", WriteStatus::kDataOutOfRange},
      {L"HKEY_", L"IM Color", white, WriteStatus::kUnknownRoot},
      {path_prefix + std::wstring{L"Anna\0x", 6}, L"IM Color", white,
       WriteStatus::kNotRepresentable},
      {path_prefix + L"Anna", L"IM\u2003Color", white, WriteStatus::kNotRepresentable},
  };
  for (const auto& [path, name, data, status] : refused) {
    EXPECT_EQ(reg::WriteBinaryValue(path, name, data, nullptr).status, status)
        << testing::PrintToString(path);
  }
  EXPECT_EQ(Snapshot(key), before);
  EXPECT_TRUE(boxes.Seen().empty());
  // What the code page does hold passes unchanged (U+00E9 is in 1252).
  if (GetACP() == 1252) {
    EXPECT_EQ(reg::ToAnsiExactly(L"o'neil+caf\xE9"), "o'neil+caf\xE9");
  }
}

}  // namespace
