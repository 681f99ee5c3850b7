// The white rule and the key path: every other colour rule shows in what the
// program stores and draws, which the window tests read back.
#include <gtest/gtest.h>

#include "color/color.h"

namespace {

TEST(WhiteRule, OnlyExactWhiteLosesOneStepOfGreen) {
  EXPECT_EQ(ApplyWhiteRule({255, 255, 255}), (ChannelTriple{255, 254, 255}));
  for (const ChannelTriple near_white : {ChannelTriple{255, 255, 254}, ChannelTriple{254, 255, 255},
                                         ChannelTriple{255, 254, 255}, ChannelTriple{0, 0, 0}}) {
    EXPECT_EQ(ApplyWhiteRule(near_white), near_white);
  }
}

// The key whole: Wine's registry forgives a doubled or a missing backslash
// that Windows may not, so working there proves nothing of the path.
TEST(AccountKeyPath, IsTheSettingsPrefixAndTheNameUnchanged) {
  EXPECT_EQ(BuildAccountKeyPath(L"O'Neil+IM@example.org"),
            L"HKEY_CURRENT_USER\\Software\\Microsoft\\MSNMessenger\\PerPassportSettings\\"
            L"O'Neil+IM@example.org");
}

}  // namespace
