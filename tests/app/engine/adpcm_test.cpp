#include "app/engine/mdx/adpcm.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// A decoder as both bank loaders make one: the default predictor width.
AdpcmDecoder MakeDecoder() {
  AdpcmDecoder d;
  d.Init();
  return d;
}

// Packs codes two to a byte, low nibble first.
std::vector<uint8_t> Pack(const std::vector<int>& codes) {
  std::vector<uint8_t> out((codes.size() + 1) / 2, 0);
  for (size_t i = 0; i < codes.size(); ++i) {
    out[i / 2] |= static_cast<uint8_t>((codes[i] & 15) << ((i & 1) ? 4 : 0));
  }
  return out;
}

TEST(AdpcmDecoder, SilentCodesClimbFromMinusTwo) {
  AdpcmDecoder d = MakeDecoder();
  std::vector<uint8_t> in = Pack({0, 0, 0});
  int16_t out[3];
  d.Decode(in.data(), 3, out);
  EXPECT_EQ(out[0], 0);
  EXPECT_EQ(out[1], 32);
  EXPECT_EQ(out[2], 64);
  EXPECT_EQ(d.predictor, 4);
  EXPECT_EQ(d.stepIndex, 0);
}

TEST(AdpcmDecoder, CodeSevenAddsAllMagnitudeBitsAndRaisesTheStep) {
  AdpcmDecoder d = MakeDecoder();
  std::vector<uint8_t> in = Pack({7});
  int16_t out[1];
  d.Decode(in.data(), 1, out);
  EXPECT_EQ(d.predictor, -2 + 30);
  EXPECT_EQ(out[0], 28 * 16);
  EXPECT_EQ(d.stepIndex, 8);
}

TEST(AdpcmDecoder, DifferenceTableFollowsTheStepLadder) {
  AdpcmDecoder d = MakeDecoder();
  struct Case { int index, code, diff; } cases[] = {
      {0, 0, 2},   {0, 8, -2},  {0, 7, 30}, {0, 15, -30},
      {1, 4, 19},  // step 17: 17/8 + 17
      {47, 0, 176},  // step 1411
      {48, 7, 194 + 1552 + 776 + 388}, {48, 15, -(194 + 1552 + 776 + 388)},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(d.diffTable[c.index][c.code], c.diff) << "step index " << c.index << " code " << c.code;
  }
  // The whole ladder, floor(16 x 1.1^n): bit 2 of a code adds one full step.
  const int kSteps[kAdpcmStepCount] = {
      16,  17,  19,  21,  23,  25,  28,  31,  34,  37,  41,  45,  50,  55,  60,  66,  73,
      80,  88,  97,  107, 118, 130, 143, 157, 173, 190, 209, 230, 253, 279, 307, 337, 371,
      408, 449, 494, 544, 598, 658, 724, 796, 876, 963, 1060, 1166, 1282, 1411, 1552};
  for (int n = 0; n < kAdpcmStepCount; ++n) {
    EXPECT_EQ(d.diffTable[n][4] - d.diffTable[n][0], kSteps[n]) << "step index " << n;
    EXPECT_EQ(d.diffTable[n][0], kSteps[n] / 8) << "step index " << n;
  }
}

TEST(AdpcmDecoder, NibblesAreReadLowFirst) {
  AdpcmDecoder d = MakeDecoder();
  uint8_t in[] = {0x70};  // code 0, then code 7
  int16_t out[2];
  d.Decode(in, 2, out);
  EXPECT_EQ(out[0], 0);
  EXPECT_EQ(out[1], (0 + 30) * 16);
}

TEST(AdpcmDecoder, PredictorStopsAtThe12BitEdgeAndComesStraightBack) {
  // The banks are made for the chip's 12-bit decoder: at the edge the
  // predictor stops at -2048..2047, so the first step back lands where the
  // chip puts it instead of thousands of units off centre.
  AdpcmDecoder d = MakeDecoder();
  std::vector<int> codes(40, 7);  // full steps up: the step index reaches 48
  codes.push_back(15);            // one full step down: -(194 + 1552 + 776 + 388)
  std::vector<uint8_t> up = Pack(codes);
  std::vector<int16_t> out(codes.size());
  d.Decode(up.data(), static_cast<uint32_t>(codes.size()), out.data());
  EXPECT_EQ(out[39], 2047 * 16);
  EXPECT_EQ(d.stepIndex, 48);
  EXPECT_EQ(d.predictor, 2047 - 2910);
  EXPECT_EQ(out.back(), (2047 - 2910) * 16);

  std::vector<uint8_t> down(200, 0xFF);
  out.resize(400);
  d.Decode(down.data(), 400, out.data());
  EXPECT_EQ(d.predictor, -2048);
  EXPECT_EQ(out[399], -32768);
  EXPECT_EQ(d.stepIndex, 48);
}

TEST(AdpcmDecoder, EveryCallStartsAfresh) {
  AdpcmDecoder d = MakeDecoder();
  std::vector<uint8_t> in = Pack({7, 7, 3, 12});
  int16_t first[4], second[4];
  d.Decode(in.data(), 4, first);
  d.Decode(in.data(), 4, second);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(first[i], second[i]);
}

TEST(AdpcmStretch, ThousandBytesBecome5653Samples) {
  EXPECT_EQ(AdpcmStretchedLength(2000), 5653u);
  EXPECT_EQ(AdpcmStretchedLength(0), 0u);
  EXPECT_EQ(AdpcmStretchedLength(1), 2u);
}

TEST(AdpcmStretch, RepeatsTheNearestEarlierSample) {
  std::vector<int16_t> in(2000);
  for (size_t i = 0; i < in.size(); ++i) in[i] = static_cast<int16_t>(i);
  std::vector<int16_t> out(AdpcmStretchedLength(2000));
  AdpcmStretch(in.data(), 2000, out.data());
  EXPECT_EQ(out[0], 0);
  EXPECT_EQ(out[1], 0);
  EXPECT_EQ(out[2], 0);
  EXPECT_EQ(out[3], 1);  // 3 / 2.8269 = 1.06
  EXPECT_EQ(out.back(), 1999);
  for (size_t j = 1; j < out.size(); ++j) {
    ASSERT_GE(out[j], out[j - 1]);
    ASSERT_LE(out[j] - out[j - 1], 1);
  }
}

}  // namespace
