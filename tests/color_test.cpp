// The white rule alone: every other colour rule shows in what the program
// stores and draws, which the apply and window tests read back.
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

}  // namespace
