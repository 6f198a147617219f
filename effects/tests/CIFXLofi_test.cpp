#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "effects/CIFXLofi.h"
#include "insertEffectDriver.h"

namespace {

using fx_test::Host;
using fx_test::peak;

// Sets the targets and jumps the smoothed values to them, so a test does not wait for the glide
// from mid-range; then clears, as the engine does before the first process.
void settle(CIFX& fx, Host& host, float p0, float p1, float p2) {
  host.params[0] = p0;
  host.params[1] = p1;
  host.params[2] = p2;
  fx.setSampleRate(host.rate);
  fx.setParameters(host.params);
  for (int i = 0; i < 3; ++i) fx.smoothed[i] = host.params[i];
  fx.clear();
}

TEST(Crusher, QuantisesTruncatingTowardZeroAfterAddingHalfAStep) {
  // Constant inputs captured every frame settle, through the unity-gain low-pass, at the
  // quantised value. BITS 0 is one full-scale step; BITS 1 a step of 1/65536.
  constexpr float kLsb = 1.0f / 65536.0f;
  struct Case {
    float bits, input, expected;
  } const cases[] = {
      {0.0f, 0.5f, 1.0f},          {0.0f, 1.4f, 1.0f},   {0.0f, 0.49f, 0.0f},
      {0.0f, -0.6f, 0.0f},         {0.0f, -1.4f, 0.0f},  {0.0f, -1.6f, -1.0f},
      {1.0f, 1.4f * kLsb, kLsb},   {1.0f, -1.4f * kLsb, 0.0f},
      {1.0f, 0.25f, 0.25f},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "bits " << c.bits << " input " << c.input);
    CIFXCrusher fx;
    Host host;
    settle(fx, host, 1.0f, c.bits, 1.0f);
    std::vector<float> left(4000, c.input), right(4000, c.input);
    host.run(fx, left, right);
    EXPECT_NEAR(left.back(), c.expected, 1e-6f);
    EXPECT_NEAR(right.back(), c.expected, 1e-6f);
  }
}

TEST(Crusher, BitsApplyAtOnceInTheSameSubBlock) {
  CIFXCrusher fx;
  Host host;
  settle(fx, host, 1.0f, 1.0f, 1.0f);
  EXPECT_FLOAT_EQ(fx.getQuantStep(), 0.5f);
  std::vector<float> left(2000, 0.7f), right(2000, 0.7f);
  host.run(fx, left, right);
  ASSERT_NEAR(left.back(), 0.7f, 1e-4f);
  host.params[1] = 0.0f;
  EXPECT_FLOAT_EQ(fx.getQuantStep(), 0.5f);  // nothing changes before the engine's next block
  std::vector<float> l2(2000, 0.7f), r2(2000, 0.7f);
  host.run(fx, l2, r2);
  EXPECT_FLOAT_EQ(fx.getQuantStep(), 32768.0f);
  EXPECT_NEAR(l2.back(), 1.0f, 1e-4f);
}

TEST(Crusher, CapturesOnTheFirstFrameAfterClearThenHoldsFeedingItsOwnOutput) {
  // RATE 0 captures once a second. What is captured on frame 0 after a clear rules the next
  // second, whatever comes in afterwards.
  struct Case {
    float first, later;
    bool positive;
  } const cases[] = {{0.8f, -0.5f, true}, {0.0f, 0.8f, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.first);
    CIFXCrusher fx;
    Host host;
    settle(fx, host, 0.0f, 1.0f, 1.0f);
    std::vector<float> left(40000, c.later), right(40000, c.later);
    left[0] = right[0] = c.first;
    host.run(fx, left, right);
    for (size_t i = 0; i < left.size(); ++i) {
      if (c.positive) {
        ASSERT_GT(left[i], 0.0f) << i;
      } else {
        ASSERT_LT(std::fabs(left[i]), 1e-9f) << i;
      }
    }
  }
}

TEST(Crusher, LowRateWithLowToneLowersTheLevelStrongly) {
  // At 44.1 kHz RATE 0.1 (about 193 Hz capture) with TONE 0.6 (about 400 Hz) passes a 220 Hz
  // tone at about 5 % of its level (mostly as an alias near 27 Hz); RATE 1 with TONE 1 passes
  // it whole.
  struct Case {
    float rate, tone, low, high;
  } const cases[] = {{0.1f, 0.6f, 0.03f, 0.07f}, {1.0f, 1.0f, 0.99f, 1.01f}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.rate << " " << c.tone);
    CIFXCrusher fx;
    Host host;
    settle(fx, host, c.rate, 1.0f, c.tone);
    auto left = fx_test::sine(220.0f, host.rate, 44100);
    auto right = left;
    host.run(fx, left, right);
    const double level = peak(left, 22050, 44100);
    EXPECT_GT(level, c.low);
    EXPECT_LT(level, c.high);
  }
}

// Power of v around `frequency`: the mean of single-bin DFT powers 10 Hz apart over +-100 Hz.
double bandPower(const std::vector<float>& v, float frequency, float sampleRate) {
  double sum = 0.0;
  int bins = 0;
  for (float f = frequency - 100.0f; f <= frequency + 100.0f; f += 10.0f, ++bins) {
    const double a = insert_test::amplitudeAt(v, 0, v.size(), f, sampleRate);
    sum += a * a;
  }
  return sum / bins;
}

TEST(LPNoise, YearSetsTheBandOfTheNoise) {
  // YEAR 0 keeps about 1050..3015 Hz, YEAR 1 about 51..18000 Hz.
  struct Case {
    float year;
    bool lowPasses, highPasses;
  } const cases[] = {{0.0f, false, false}, {1.0f, true, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.year);
    CIFXLPNoise fx;
    Host host;
    settle(fx, host, 0.0f, 1.0f, c.year);
    std::vector<float> left(44100, 0.0f), right(44100, 0.0f);
    host.run(fx, left, right);
    EXPECT_EQ(left, right);  // mono noise
    const double mid = bandPower(left, 2000.0f, host.rate);
    const double low = bandPower(left, 300.0f, host.rate);
    const double high = bandPower(left, 12000.0f, host.rate);
    EXPECT_GT(mid, 0.0);
    EXPECT_EQ(low > 0.2 * mid, c.lowPasses) << low / mid;
    EXPECT_EQ(high > 0.2 * mid, c.highPasses) << high / mid;
    EXPECT_LT(peak(left, 0, left.size()), 0.05f);  // at most about +-0.02 of noise
  }
}

TEST(LPNoise, CrackleFollowsCrcklAndNothingIsAddedWithBothAtZero) {
  struct Case {
    float crackle, dirty;
    float minPeak, maxPeak;
  } const cases[] = {
      {0.0f, 0.0f, 0.0f, 1e-9f},   // practically nothing
      {1.0f, 0.0f, 0.05f, 0.3f},   // clicks only
      {0.0f, 1.0f, 0.001f, 0.05f}, // noise only
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.crackle << " " << c.dirty);
    CIFXLPNoise fx;
    Host host;
    settle(fx, host, c.crackle, c.dirty, 0.5f);
    std::vector<float> left(44100, 0.25f), right(44100, 0.25f);
    host.run(fx, left, right);
    float added = 0.0f;
    int clicks = 0;
    for (size_t i = 0; i < left.size(); ++i) {
      const float d = std::fabs(left[i] - 0.25f);
      ASSERT_EQ(left[i], right[i]) << i;  // the same noise on both
      added = std::max(added, d);
      if (d > 0.03f && (i == 0 || std::fabs(left[i - 1] - 0.25f) <= 0.03f)) ++clicks;
    }
    EXPECT_GE(added, c.minPeak);
    EXPECT_LE(added, c.maxPeak);
    if (c.crackle > 0.0f) {
      EXPECT_GT(clicks, 10);  // about 47 a second at 100 %
      EXPECT_LT(clicks, 100);
    }
  }
}

TEST(LPNoise, IsTheSameEveryRun) {
  // The generator is the effect's own: two instances give the same noise.
  std::vector<float> out[2];
  for (auto& o : out) {
    CIFXLPNoise fx;
    Host host;
    settle(fx, host, 1.0f, 1.0f, 0.5f);
    o.assign(4410, 0.0f);
    std::vector<float> right(4410, 0.0f);
    host.run(fx, o, right);
  }
  EXPECT_EQ(out[0], out[1]);
}

}  // namespace
