#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "effects/CIFXAutoWah.h"
#include "insertEffectDriver.h"

namespace {

using fx_test::Host;
using fx_test::rms;

TEST(AutoWah, BandLiesBetweenTheTwoCutoffsAroundTheCentre) {
  struct Case {
    float lfo, width, centre, sampleRate;
    float low, high;  // Hz
  } const cases[] = {
      {0.0f, 0.0f, 0.0f, 44100.0f, 46.6f, 56.1f},
      {0.0f, 0.0f, 0.5f, 44100.0f, 347.0f, 460.4f},
      {0.0f, 0.0f, 1.0f, 44100.0f, 3918.6f, 5267.5f},
      {1.0f, 0.0f, 0.5f, 44100.0f, 347.0f, 460.4f},      // no sweep without WIDTH
      {-1.0f, 1.0f, 0.0f, 44100.0f, 27.0f, 29.77f},       // positions 0.21, 0.24
      {1.0f, 1.0f, 1.0f, 44100.0f, 13465.0f, 18116.0f},  // positions 0.96, 0.99
      {1.0f, 1.0f, 1.0f, 22050.0f, 10143.0f, 10143.0f},  // held to 0.46 x the rate
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.lfo << " " << c.width << " " << c.centre << " "
                                    << c.sampleRate);
    float low, high;
    CIFXAutoWah::bandEdges(c.lfo, c.width, c.centre, c.sampleRate, low, high);
    EXPECT_NEAR(low, c.low, c.low * 0.002f);
    EXPECT_NEAR(high, c.high, c.high * 0.002f);
  }
}

// Output level over input level of a sine through an auto wah standing at CENTR 0.5
// (347..460 Hz) without sweep.
double gainAt(float frequency) {
  CIFXAutoWah fx;
  Host host;
  host.params[1] = 0.0f;
  host.params[2] = 0.5f;
  fx.smoothed[1] = 0.0f;
  fx.clear();
  const auto input = fx_test::sine(frequency, host.rate, 22050);
  auto left = input, right = input;
  host.run(fx, left, right);
  return rms(left, 11025, 22050) / rms(input, 11025, 22050);
}

TEST(AutoWah, PassesItsBandAndDampsTheRest) {
  const double inBand = gainAt(400.0f);
  EXPECT_GT(inBand, 0.3);
  for (float outside : {60.0f, 4000.0f}) EXPECT_LT(gainAt(outside), inBand / 4.0) << outside;
}

TEST(AutoWah, ClearZeroesTheFiltersButKeepsTheLfo) {
  CIFXAutoWah fx;
  Host host;
  fx.clear();
  auto left = fx_test::sine(400.0f, host.rate, 4410), right = left;
  host.run(fx, left, right);
  const LfoPhase before = fx.getLfoPhase(0);
  fx.clear();
  EXPECT_EQ(fx.getLfoPhase(0).step, before.step);
  EXPECT_EQ(fx.getLfoPhase(0).fraction, before.fraction);
  float l[16] = {}, r[16] = {};
  fx.process(l, r, 16);
  for (int i = 0; i < 16; ++i) {
    EXPECT_EQ(l[i], 0.0f);
    EXPECT_EQ(r[i], 0.0f);
  }
}

}  // namespace
