#include <gtest/gtest.h>

#include <cstring>

#include "color/color.h"

namespace {

std::vector<unsigned> Codes(const std::wstring& text) {
  return {text.begin(), text.end()};
}

TEST(WhiteRule, OnlyExactWhiteLosesOneStepOfGreen) {
  EXPECT_EQ(ApplyWhiteRule({255, 255, 255}), (ChannelTriple{255, 254, 255}));
  for (const ChannelTriple near_white : {ChannelTriple{255, 255, 254}, ChannelTriple{254, 255, 255},
                                         ChannelTriple{255, 254, 255}, ChannelTriple{0, 0, 0}}) {
    EXPECT_EQ(ApplyWhiteRule(near_white), near_white);
  }
}

TEST(ColorRecord, HoldsRedGreenBlueThenZero) {
  EXPECT_EQ(Codes(BuildColorRecord({18, 52, 86})), (std::vector<unsigned>{0x12, 0x34, 0x56, 0}));
  EXPECT_EQ(Codes(BuildColorRecord({0, 0, 0})), (std::vector<unsigned>{0, 0, 0, 0}));
  EXPECT_EQ(Codes(BuildColorRecord(ApplyWhiteRule({255, 255, 255}))),
            (std::vector<unsigned>{0xFF, 0xFE, 0xFF, 0}));
  EXPECT_EQ(Codes(BuildColorRecord({255, 255, 254})),
            (std::vector<unsigned>{0xFF, 0xFF, 0xFE, 0}));
}

TEST(PreviewColor, HasTheRecordsBytesFromTheLowestUp) {
  for (const ChannelTriple color : {ChannelTriple{18, 52, 86}, ChannelTriple{255, 0, 0},
                                    ChannelTriple{0, 0, 255}, ChannelTriple{255, 254, 255}}) {
    const std::uint32_t packed = PackPreviewColor(color);
    unsigned char bytes[4];
    std::memcpy(bytes, &packed, sizeof bytes);  // Windows is little-endian
    EXPECT_EQ(Codes(BuildColorRecord(color)),
              (std::vector<unsigned>{bytes[0], bytes[1], bytes[2], bytes[3]}));
  }
  EXPECT_EQ(PackPreviewColor({213, 232, 255}), 0x00FFE8D5u);
}

TEST(AccountKeyPath, AppendsTheSigninNameUnchanged) {
  EXPECT_EQ(BuildAccountKeyPath(L"o'neil+IM@Example.org"),
            L"HKEY_CURRENT_USER\\Software\\Microsoft\\MSNMessenger\\PerPassportSettings\\"
            L"o'neil+IM@Example.org");
  EXPECT_EQ(BuildAccountKeyPath(L""), kAccountKeyPrefix);
}

}  // namespace
