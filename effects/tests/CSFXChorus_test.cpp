#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "effectTestSupport.h"
#include "effects/CSFXChorus.h"

namespace {

using effect_test::Noise;
using effect_test::run;
using effect_test::Stereo;

// A chorus at a rate, with its smoothed values settled on the given parameters and its lines
// empty: ready for an impulse.
struct SettledChorus {
  CSFXChorus chorus;
  float params[4];

  SettledChorus(float rate, float rateParam, float width, float spread, float level)
      : params{rateParam, width, spread, level} {
    chorus.setSampleRate(rate);
    chorus.clear();
    Stereo silence(4000);  // smoothing needs 1/0.0003 frames for the whole range
    run(chorus, silence, [&](CSFXChorus& c) { c.setParameters(params); });
    chorus.clear();
  }

  Stereo impulseResponse(size_t frames, float leftAmplitude = 1.0f, float rightAmplitude = 1.0f) {
    Stereo audio(frames);
    audio.left[0] = leftAmplitude;
    audio.right[0] = rightAmplitude;
    run(chorus, audio, [&](CSFXChorus& c) { c.setParameters(params); });
    return audio;
  }
};

// Where the energy of a response sits, in frames.
double centroid(const std::vector<float>& y) {
  double weighted = 0.0, total = 0.0;
  for (size_t i = 0; i < y.size(); ++i) {
    weighted += i * std::fabs(y[i]);
    total += std::fabs(y[i]);
  }
  return total > 0.0 ? weighted / total : -1.0;
}

TEST(CSFXChorus, LinesAndReadWindowFollowTheSampleRate) {
  struct Case {
    float rate;
    int lineLength, readOffset;
  } const cases[] = {{44100.0f, 1988, 1323}, {48000.0f, 2163, 1440}, {96000.0f, 4323, 2880}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.rate);
    CSFXChorus chorus;
    chorus.setSampleRate(c.rate);
    EXPECT_EQ(chorus.getLineLength(), c.lineLength);
    EXPECT_EQ(chorus.getReadBaseOffset(), c.readOffset);
    EXPECT_TRUE(chorus.cleared);
  }
}

TEST(CSFXChorus, UnmodulatedImpulseComesBackAfterTheBaseDelayScaledByLevel) {
  // At 44.1 kHz the read window starts 1323 positions ahead in a ring of 1985: 662 frames.
  struct Case {
    float level, gain;
  } const cases[] = {{1.0f, 1.0f}, {0.5f, 0.25f}, {0.0f, 0.0f}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.level);
    SettledChorus settled(44100.0f, 0.3f, 0.0f, 0.0f, c.level);
    const Stereo out = settled.impulseResponse(2000, 1.0f, -0.5f);
    for (size_t i = 0; i < out.size(); ++i) {
      const float expected = i == 662 ? c.gain : 0.0f;
      ASSERT_FLOAT_EQ(out.left[i], expected) << "frame " << i;
      ASSERT_FLOAT_EQ(out.right[i], -0.5f * expected) << "frame " << i;
    }
  }
}

TEST(CSFXChorus, WidthShortensTheDelayAndSpreadSetsTheSidesApart) {
  // At full width the LFO moves the read position by (lfo + 1) x 308.7 frames (7 ms) toward the
  // write position. With a right LFO half a cycle ahead the two sides move oppositely, so their
  // delays always add up to 2 x (662 - 308.7).
  const float slowest = 0.0f;  // 0.1 Hz: the LFO barely moves while the impulse passes
  {
    SettledChorus settled(44100.0f, slowest, 1.0f, 1.0f, 1.0f);
    const Stereo out = settled.impulseResponse(2000);
    const double l = centroid(out.left), r = centroid(out.right);
    EXPECT_NEAR(l + r, 2.0 * (662.0 - 308.7), 1.0);
    EXPECT_GT(std::fabs(l - r), 1.0);  // the LFO is off its zero crossing by now
  }
  {
    SettledChorus settled(44100.0f, slowest, 1.0f, 0.0f, 1.0f);
    const Stereo out = settled.impulseResponse(2000);
    // Equal but for the right LFO's rounding: it interpolates on the neighbouring segment.
    EXPECT_NEAR(centroid(out.left), centroid(out.right), 0.05);
    EXPECT_LT(centroid(out.left), 662.0 - 300.0);
  }
}

TEST(CSFXChorus, RateSetsTheLfoIncrement) {
  struct Case {
    float x, hz;
  } const cases[] = {{0.0f, 0.1f}, {1.0f, 20.0f}, {0.5f, 0.125f * 19.9f + 0.1f}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.x);
    CSFXChorus chorus;
    chorus.setSampleRate(44100.0f);
    const float params[4] = {c.x, 0.5f, 0.5f, 0.5f};
    chorus.setParameters(params);
    EXPECT_NEAR(chorus.getLfoIncrement(), 256.0f * c.hz / 44100.0f, 1e-6);
  }
}

TEST(CSFXChorus, Displays) {
  struct Case {
    int index;
    float value;
    const char* text;
  } const cases[] = {
      {0, 0.0f, "0.10 Hz"}, {0, 1.0f, "20.00 Hz"}, {1, 0.25f, "25.0 %"},
      {2, 1.0f, "100.0 %"}, {3, 0.5f, "-6.02 dB"}, {3, 0.0f, "-oo"},
  };
  CSFXChorus chorus;
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.index << " " << c.value);
    char text[kEffectDisplayTextSize] = "";
    chorus.getParameterDisplay(c.index, c.value, text);
    EXPECT_STREQ(text, c.text);
  }
}

TEST(CSFXChorus, ClearSilencesTheLinesWithoutRestartingAnything) {
  SettledChorus settled(44100.0f, 0.3f, 0.0f, 0.0f, 1.0f);
  Stereo loud(600);
  for (size_t i = 0; i < loud.size(); ++i) loud.left[i] = loud.right[i] = 1.0f;
  run(settled.chorus, loud, [&](CSFXChorus& c) { c.setParameters(settled.params); });
  settled.chorus.clear();
  Stereo after(2000);
  run(settled.chorus, after, [&](CSFXChorus& c) { c.setParameters(settled.params); });
  for (size_t i = 0; i < after.size(); ++i) ASSERT_EQ(after.left[i], 0.0f) << i;
}

TEST(CSFXChorus, WithoutAUsableSampleRateTheSendPassesUntouched) {
  for (float rate : {-1.0f, 0.0f, NAN, 1e12f}) {
    SCOPED_TRACE(rate);
    CSFXChorus chorus;
    if (rate != -1.0f) chorus.setSampleRate(rate);
    chorus.clear();
    const float params[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    chorus.setParameters(params);
    EXPECT_EQ(chorus.getLfoIncrement(), 0.0f);
    float left[16], right[16];
    for (int i = 0; i < 16; ++i) left[i] = right[i] = 0.1f * i;
    chorus.process(left, right, 16);
    for (int i = 0; i < 16; ++i) ASSERT_EQ(left[i], 0.1f * i);
    EXPECT_TRUE(chorus.cleared);  // an early return leaves the flag alone
  }
}

TEST(CSFXChorus, ARateChangeEmptiesTheLines) {
  SettledChorus settled(44100.0f, 0.3f, 0.0f, 0.0f, 1.0f);
  Stereo loud(600);
  for (size_t i = 0; i < loud.size(); ++i) loud.left[i] = 1.0f;
  run(settled.chorus, loud, [&](CSFXChorus& c) { c.setParameters(settled.params); });
  settled.chorus.setSampleRate(48000.0f);
  EXPECT_EQ(settled.chorus.getLineLength(), 2163);
  Stereo after(3000);
  run(settled.chorus, after, [&](CSFXChorus& c) { c.setParameters(settled.params); });
  for (size_t i = 0; i < after.size(); ++i) ASSERT_EQ(after.left[i], 0.0f) << i;
}

}  // namespace
