#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include "engine/dsp/dspTables.h"
#include "engine/dsp/noteLengths.h"

namespace {

TEST(DspTables, LfoSineHasOneCycleAndWrapGuards) {
  EXPECT_EQ(lfoSineTable[0], 0.0f);
  EXPECT_EQ(lfoSineTable[64], 1.0f);
  EXPECT_EQ(lfoSineTable[192], -1.0f);
  EXPECT_NEAR(lfoSineTable[128], 0.0f, 1e-7);
  EXPECT_NEAR(lfoSineTable[32], std::sqrt(0.5), 1e-7);
  EXPECT_EQ(lfoSineTable[-1], lfoSineTable[255]);
  EXPECT_EQ(lfoSineTable[256], lfoSineTable[0]);
  EXPECT_EQ(lfoSineTable[257], lfoSineTable[1]);
}

TEST(DspTables, DenormalNoiseIsTinyNormalAndOfBothSigns) {
  int negative = 0;
  for (float v : denormalNoise) {
    ASSERT_EQ(std::fpclassify(v), FP_NORMAL);
    ASSERT_GE(std::fabs(v), 6.7e-17f);
    ASSERT_LE(std::fabs(v), 1.4e-16f);
    negative += v < 0.0f;
  }
  // A pseudo-random sign: neither side may be rare.
  EXPECT_GT(negative, 400);
  EXPECT_LT(negative, 624);
  // The first entry follows from the seed: x = 1 * 1234567 + 890123 = 2124690.
  uint32_t bits = (2124690u & 0x807F0000u) | 0x1E000000u;
  float first;
  std::memcpy(&first, &bits, sizeof first);
  EXPECT_EQ(denormalNoise[0], first * 10000.0f);
}

TEST(DspTables, EnvelopeCurveRisesFromZeroToOneWithGuards) {
  EXPECT_EQ(envelopeCurve[-1], 0.0f);
  EXPECT_EQ(envelopeCurve[0], 0.0f);
  EXPECT_NEAR(envelopeCurve[128], std::pow(0.5, M_E), 1e-7);
  for (int i = 253; i <= 257; ++i) EXPECT_EQ(envelopeCurve[i], 1.0f) << i;
  for (int i = 0; i <= 257; ++i) ASSERT_GE(envelopeCurve[i], envelopeCurve[i - 1]) << i;
  // The same data seen from its first entry, as the envelope display reads it.
  EXPECT_EQ(&envelopeCurveTable[1], &envelopeCurve[0]);
  EXPECT_EQ(envelopeCurveTable[0], 0.0f);
  EXPECT_EQ(envelopeCurveTable[1], 0.0f);
  EXPECT_EQ(envelopeCurveTable[256], 1.0f);
  EXPECT_EQ(envelopeCurveTable[257], 1.0f);
}

struct DriveCurveCase {
  const char* name;
  const float* curve;
  double knee, exponent, gain;
};

TEST(DspTables, DriveCurvesAreLinearToTheKneeThenAlmostFlat) {
  const DriveCurveCase cases[] = {
      {"overdrive", driveCurveOverdrive, 16384.630859375, 0.07, 1.2418972},
      {"distortion", driveCurveDistortion, 13004.7900390625, 0.05, 1.5599775},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    // Input 0 gives the noise alone.
    EXPECT_LE(std::fabs(c.curve[32768]), 1.4e-16f);
    // Slope G inside the knee.
    EXPECT_NEAR(c.curve[32768 + 10000], c.gain * 10000, 1e-2);
    EXPECT_NEAR(c.curve[32768 - 10000], -c.gain * 10000, 1e-2);
    // The extremes: the knee plus at most about two units, times the gain.
    const double top = c.gain * (c.knee + std::pow(32767 - c.knee, c.exponent));
    const double bottom = -c.gain * (c.knee + std::pow(32768 - c.knee, c.exponent));
    EXPECT_NEAR(c.curve[65535], top, top * 1e-6);
    EXPECT_NEAR(c.curve[0], bottom, -bottom * 1e-6);
    EXPECT_LT(c.curve[65535] / c.gain - c.knee, 2.0);
    for (int i = 1; i < kDriveCurveSize; ++i) ASSERT_GE(c.curve[i], c.curve[i - 1]) << i;
  }
}

TEST(DspTables, BuildingAgainChangesNothing) {
  const float before = driveCurveOverdrive[40000];
  buildDspTables();
  EXPECT_EQ(driveCurveOverdrive[40000], before);
}

// Every length follows from its name "a/b[D|T]": 4a/b beats, times 3/2 dotted or 2/3 triplet,
// exactly (the thirds are exact double quotients, not rounded decimals). Lengths fall strictly.
void checkNoteLengthTable(const NoteLength* table, int count) {
  for (int i = 0; i < count; ++i) {
    SCOPED_TRACE(table[i].name);
    int numerator = 0, denominator = 0;
    char kind = 0;
    ASSERT_GE(std::sscanf(table[i].name, "%d/%d%c", &numerator, &denominator, &kind), 2);
    double expected = 4.0 * numerator / denominator;
    if (kind == 'D') expected = expected * 1.5;
    if (kind == 'T') expected = expected * 2.0 / 3.0;
    EXPECT_EQ(table[i].beats, expected);
    if (i > 0) {
      EXPECT_LT(table[i].beats, table[i - 1].beats);
    }
  }
}

TEST(NoteLengths, TripletsAndDottedLengthsAreExact) {
  checkNoteLengthTable(lfoSyncNoteLengths, kLfoSyncNoteLengthCount);
  checkNoteLengthTable(delaySyncNoteLengths, kDelaySyncNoteLengthCount);
  EXPECT_EQ(lfoSyncNoteLengths[2].beats, 64.0 / 3.0);
}

TEST(NoteLengths, NormalisedValuesPickEntriesByRounding) {
  struct Case {
    float x;
    const char* lfo;
    const char* delay;
  } const cases[] = {
      {0.0f, "8/1", "1/1"},        {1.0f, "1/32T", "1/64T"},
      {0.5f, "1/4D", "1/16D"},      {1.0f / 26.0f * 0.49f, "8/1", "1/1"},
      {1.0f / 26.0f * 0.51f, "4/1D", "1/1"},
      {-3.0f, "8/1", "1/1"},       {7.0f, "1/32T", "1/64T"},
      {NAN, "8/1", "1/1"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.x);
    EXPECT_STREQ(lfoSyncNoteLength(c.x).name, c.lfo);
    EXPECT_STREQ(delaySyncNoteLength(c.x).name, c.delay);
  }
}

}  // namespace
