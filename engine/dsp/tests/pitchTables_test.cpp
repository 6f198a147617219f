#include <gtest/gtest.h>

#include <cmath>

#include "engine/dsp/pitchTables.h"

namespace {

TEST(PitchTables, EqualTemperamentAroundA440) {
  EXPECT_FLOAT_EQ(noteFrequency[69], 440.0f);
  EXPECT_NEAR(noteFrequency[60], 261.6256f, 1e-4);
  EXPECT_NEAR(noteFrequency[0], 8.1758f, 1e-4);
  EXPECT_NEAR(noteFrequency[127], 12543.854f, 1e-2);
  EXPECT_FLOAT_EQ(semitoneRatio[12], 2.0f);
  EXPECT_FLOAT_EQ(semitoneRatio[0], 1.0f);
  EXPECT_EQ(fineRatio[0], 1.0f);
  // The fine table stops one unit short of a semitone.
  EXPECT_LT(fineRatio[8191], semitoneRatio[1]);
  EXPECT_NEAR(fineRatio[8191] * std::exp2(1.0 / 98304.0), semitoneRatio[1], 1e-6);
  EXPECT_NEAR(centRatio[99], std::exp2(99.0 / 1200.0), 1e-6);
}

TEST(PitchTables, SignedOffsetsAndPitchesOutsideTheKeyboardStayInTheTables) {
  EXPECT_FLOAT_EQ(semitoneOffsetRatio(-12), 0.5f);
  EXPECT_FLOAT_EQ(semitoneOffsetRatio(1000), semitoneRatio[255]);
  EXPECT_FLOAT_EQ(centOffsetRatio(-150), 1.0f / centRatio[99]);
  EXPECT_FLOAT_EQ(centOffsetRatio(250), centRatio[99]);
  EXPECT_FLOAT_EQ(pitchFrequency(69 * 8192), 440.0f);
  EXPECT_FLOAT_EQ(pitchFrequency(69 * 8192 + 4096), 440.0f * fineRatio[4096]);
  EXPECT_FLOAT_EQ(pitchFrequency(-5), noteFrequency[0]);
  // Above the last key the fraction is kept on key 127.
  EXPECT_FLOAT_EQ(pitchFrequency(130 * 8192 + 100), noteFrequency[127] * fineRatio[100]);
}

TEST(VelocityCurves, EveryCurveRisesFromZeroToFullAndTheThirdIsTheIdentity) {
  for (int c = 0; c < kVelocityCurveCount; ++c) {
    SCOPED_TRACE(c);
    EXPECT_EQ(velocityCurves[c][0], 0.0f);
    EXPECT_EQ(velocityCurves[c][127], 127.0f);
    for (int v = 1; v < 128; ++v) ASSERT_GE(velocityCurves[c][v], velocityCurves[c][v - 1]) << v;
  }
  for (int v = 0; v < 128; ++v) ASSERT_EQ(velocityCurves[3][v], float(v));
  // Soft and hard curves mirror each other about the diagonal.
  for (int v = 1; v < 127; ++v) {
    EXPECT_NEAR(velocityCurves[2][v], 127.0f - velocityCurves[4][127 - v], 1e-4);
    EXPECT_NEAR(velocityCurves[1][v], 127.0f - velocityCurves[5][127 - v], 1e-4);
  }
  EXPECT_NEAR(velocityCurves[5][64], 127.0 * std::pow(64.0 / 127.0, 2.718281828459045), 1e-4);
  EXPECT_FLOAT_EQ(velocityCurves[0][64], 63.5f);
}

TEST(VelocityCurves, OutOfRangeVelocitiesAndCurvesReadInsideTheTable) {
  EXPECT_EQ(velocityLevel(3, 200), 127.0f);
  EXPECT_EQ(velocityLevel(5, 255), 127.0f);
  EXPECT_EQ(velocityLevel(5, -4), 0.0f);
  EXPECT_EQ(velocityLevel(9, 50), 50.0f);
  EXPECT_EQ(velocityLevel(-1, 50), 50.0f);
}

}  // namespace
