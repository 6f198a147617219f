#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <limits>

#include "effects/effectDsp.h"

namespace {

TEST(FormatDecibels, ShowsTwoDecimalsOrMinusInfinity) {
  struct Case {
    float value;
    const char* text;
  } const cases[] = {
      {1.0f, "0.00 dB"}, {0.5f, "-6.02 dB"}, {2.0f, "6.02 dB"},  {0.0f, "-oo"},
      {-0.5f, "-oo"},    {NAN, "-oo"},       {1e-30f, "-600.00 dB"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.value);
    char text[kEffectDisplayTextSize] = "";
    formatDecibels(c.value, text);
    EXPECT_STREQ(text, c.text);
  }
}

// |H(e^jw)| of sections in series, each y = gain (w + 2 w1 + w2), w = x - a1 w1 - a2 w2.
double magnitude(const float* const* sections, int count, double frequency, double rate) {
  const std::complex<double> z1 = std::polar(1.0, -2.0 * M_PI * frequency / rate);
  std::complex<double> h = 1.0;
  for (int i = 0; i < count; ++i) {
    const float* s = sections[i];
    h *= double(s[2]) * (1.0 + 2.0 * z1 + z1 * z1) / (1.0 + double(s[0]) * z1 + double(s[1]) * z1 * z1);
  }
  return std::abs(h);
}

// Poles inside the unit circle: the stability triangle of a second-order section.
bool stable(const float* s) { return std::fabs(s[1]) < 1.0f && std::fabs(s[0]) < 1.0f + s[1]; }

TEST(ButterworthLowPass, UnityAtDcStableAndHeldBelowNyquist) {
  // Single-precision coefficients: at low cutoffs 1 + a1 + a2 is tiny and carries rounding into
  // the gain at DC (about 10 % at 20 Hz and 96 kHz, so DC is checked from 100 Hz up).
  constexpr double kDcTolerance = 0.01;
  for (float rate : {44100.0f, 96000.0f}) {
    for (float cutoff : {20.0f, 100.0f, 1000.0f, 10000.0f, 19000.0f}) {
      for (float resonance : {0.0f, 0.5f, 1.0f}) {
        SCOPED_TRACE(testing::Message() << rate << " Hz, cutoff " << cutoff << ", res " << resonance);
        float two[3], first[3], second[3];
        butterworthLowPass2(rate, cutoff, resonance, two);
        butterworthLowPass4(rate, cutoff, resonance, first, second);
        const float* twoPole[] = {two};
        const float* fourPole[] = {first, second};
        if (cutoff >= 100.0f) {
          EXPECT_NEAR(magnitude(twoPole, 1, 0.0, rate), 1.0, kDcTolerance);
          EXPECT_NEAR(magnitude(fourPole, 2, 0.0, rate), 1.0, kDcTolerance);
        }
        EXPECT_TRUE(stable(two));
        EXPECT_TRUE(stable(first));
        EXPECT_TRUE(stable(second));
        // Well above the cutoff the low-pass has cut deep.
        if (cutoff * 4.0f < 0.46f * rate) {
          EXPECT_LT(magnitude(fourPole, 2, cutoff * 4.0, rate), 0.05);
        }
      }
    }
    // A cutoff above 0.46 fs gives the coefficients of 0.46 fs.
    float atLimit[3], above[3];
    butterworthLowPass2(rate, 0.46f * rate, 0.3f, atLimit);
    butterworthLowPass2(rate, 0.49f * rate, 0.3f, above);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(atLimit[i], above[i]);
  }
}

TEST(ButterworthLowPass, ResonanceRaisesTheResponseAtTheCutoff) {
  float flat[3], resonant[3];
  butterworthLowPass2(44100.0f, 2000.0f, 0.0f, flat);
  butterworthLowPass2(44100.0f, 2000.0f, 1.0f, resonant);
  const float* a[] = {flat};
  const float* b[] = {resonant};
  EXPECT_GT(magnitude(b, 1, 2000.0, 44100.0), 3.0 * magnitude(a, 1, 2000.0, 44100.0));
}

TEST(ButterworthLowPass, UnusableInputsGiveAFiniteUnityGainSection) {
  const float inf = std::numeric_limits<float>::infinity();
  struct Case {
    float rate, cutoff, resonance;
  } const cases[] = {{0.0f, 1000.0f, 0.5f}, {NAN, 1000.0f, 0.5f}, {44100.0f, NAN, 0.5f},
                     {44100.0f, 1000.0f, NAN}, {44100.0f, -5.0f, 0.5f}, {inf, 1000.0f, 0.5f}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.rate << " " << c.cutoff << " " << c.resonance);
    float s[3];
    butterworthLowPass2(c.rate, c.cutoff, c.resonance, s);
    for (float v : s) EXPECT_TRUE(std::isfinite(v));
    const float* section[] = {s};
    EXPECT_NEAR(magnitude(section, 1, 0.0, 44100.0), 1.0, 1e-3);
  }
}

TEST(EffectLfo, TakesWholeStepsOutOfTheFractionAndWraps) {
  struct Case {
    int step;
    float fraction;
    int expectedStep;
    float expectedFraction;
  } const cases[] = {
      {10, 2.5f, 12, 0.5f},    {255, 1.0f, 0, 0.0f},  {250, 10.25f, 4, 0.25f},
      {3, -0.25f, 3, -0.25f},  {0, -1.5f, 255, -0.5f}, {300, 0.0f, 44, 0.0f},
      {-1, 0.0f, 255, 0.0f},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.step << " + " << c.fraction);
    LfoPhase phase{c.step, c.fraction};
    effectLfo(0, phase);
    EXPECT_EQ(phase.step, c.expectedStep);
    EXPECT_FLOAT_EQ(phase.fraction, c.expectedFraction);
  }
}

TEST(EffectLfo, WaveShapes) {
  struct Case {
    int wave, step;
    float fraction, value;
  } const cases[] = {
      {0, 0, 0.0f, 0.0f},    {0, 64, 0.0f, 1.0f},    {0, 192, 0.0f, -1.0f},
      {1, 0, 0.0f, 0.0f},    {1, 32, 0.0f, 0.5f},    {1, 64, 0.0f, 1.0f},
      {1, 128, 0.0f, 0.0f},  {1, 192, 0.0f, -1.0f},  {1, 255, 0.5f, -0.0078125f},
      {2, 0, 0.0f, 0.0f},    {2, 64, 0.0f, 0.5f},    {2, 127, 0.5f, 0.99609375f},
      {2, 128, 0.0f, -1.0f}, {2, 192, 0.0f, -0.5f},
      {3, 0, 0.0f, -1.0f},   {3, 127, 0.9f, -1.0f},  {3, 128, 0.0f, 1.0f},
      {4, 64, 0.0f, 0.0f},   {-1, 64, 0.0f, 0.0f},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "wave " << c.wave << " at " << c.step + c.fraction);
    LfoPhase phase{c.step, c.fraction};
    EXPECT_FLOAT_EQ(effectLfo(c.wave, phase), c.value);
  }
  // The sine interpolates between neighbouring steps, across the wrap too.
  LfoPhase phase{255, 0.5f};
  EXPECT_FLOAT_EQ(effectLfo(0, phase), 0.5f * (lfoSineTable[255] + lfoSineTable[0]));
}

TEST(EffectLfo, AFractionThatCannotBeCountedRestartsThePhase) {
  const float inf = std::numeric_limits<float>::infinity();
  for (float fraction : {NAN, inf, -inf, 3e9f, -3e9f}) {
    SCOPED_TRACE(fraction);
    LfoPhase phase{77, fraction};
    EXPECT_EQ(effectLfo(0, phase), 0.0f);
    EXPECT_EQ(phase.step, 0);
    EXPECT_EQ(phase.fraction, 0.0f);
  }
}

TEST(EffectLfo, NoIncrementWithoutAUsableRate) {
  EXPECT_FLOAT_EQ(lfoIncrementFor(1.0f, 256.0f), 1.0f);
  for (float rate : {0.0f, -1.0f, NAN, std::numeric_limits<float>::infinity()})
    EXPECT_EQ(lfoIncrementFor(5.0f, rate), 0.0f) << rate;
}

}  // namespace
