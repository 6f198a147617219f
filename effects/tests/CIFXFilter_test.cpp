#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <cstring>
#include <memory>
#include <string>

#include "effects/CIFXFilter.h"
#include "insertEffectTestKit.h"

namespace {

using namespace insert_test;

// The measured response comes from float processing and float coefficients; the expected one
// from the same formulas in double precision.
constexpr double kFormulaToleranceDb = 0.05;
// Near a strong resonance the float coefficients move the peak a little more.
constexpr double kResonantToleranceDb = 0.3;
// Against the ideal Butterworth: the warped cutoff term is not the textbook cotangent and the
// damping is 1.4142 rather than the square root of 2; both move the response by far less.
constexpr double kTextbookToleranceDb = 0.3;

std::unique_ptr<CIFX> makeFilter(int poles) {
  if (poles == 2) return std::make_unique<CIFXSFilter12>();
  return std::make_unique<CIFXSFilter24>();
}

// Gain in dB of a settled effect at one frequency: 0.5 s to reach the steady state, measured
// over the next 0.5 s.
double measuredGainDb(CIFX& fx, Driver& driver, double frequency) {
  driver.settle(fx);
  const size_t half = static_cast<size_t>(driver.rate / 2);
  Stereo audio = sine(2 * half, frequency, driver.rate, 0.01f);
  driver.run(fx, audio);
  const double left = amplitudeAt(audio.left, half, half, frequency, driver.rate);
  const double right = amplitudeAt(audio.right, half, half, frequency, driver.rate);
  EXPECT_NEAR(left, right, 1e-6 * std::max(left, 1e-3));
  return decibels(left / 0.01);
}

// The S'filter's low-pass from the formulas: one section, or two in series.
std::complex<double> sfilterLowPass(int poles, double rate, double cutoff, double res,
                                    double frequency) {
  const double e = 1.0 / (res * 8.0 + 1.0);
  if (poles == 2) return response(lowPassSection(rate, cutoff, e * 1.4142), frequency, rate);
  return response(lowPassSection(rate, cutoff, e * 0.765367), frequency, rate) *
         response(lowPassSection(rate, cutoff, e * 1.847759), frequency, rate);
}

double cutoffHz(double cut) { return std::exp2(14.286341 * cut) + 19.0; }

TEST(SFilter, FrequencyResponseFollowsTheCoefficientFormulas) {
  struct Case {
    int poles;
    float rate, cut, res, mix;
    double frequency;
    double tolerance;
  } const cases[] = {
      {2, 44100, 0.5f, 0.0f, 0.0f, 100.0, kFormulaToleranceDb},
      {2, 44100, 0.5f, 0.0f, 0.0f, 180.0, kFormulaToleranceDb},
      {2, 44100, 0.5f, 0.0f, 0.0f, 2000.0, kFormulaToleranceDb},
      {2, 44100, 0.3f, 1.0f, 0.0f, 60.0, kResonantToleranceDb},
      {2, 44100, 0.7f, 1.0f, 0.0f, 800.0, kResonantToleranceDb},
      {2, 48000, 0.8f, 0.5f, 1.0f, 400.0, kFormulaToleranceDb},
      {2, 48000, 0.8f, 0.5f, 0.25f, 3000.0, kFormulaToleranceDb},
      {3, 44100, 0.5f, 0.0f, 0.0f, 100.0, kFormulaToleranceDb},
      {3, 44100, 0.5f, 0.0f, 0.0f, 180.0, kFormulaToleranceDb},
      {3, 44100, 0.5f, 0.0f, 0.0f, 1000.0, kFormulaToleranceDb},
      {3, 44100, 0.7f, 1.0f, 0.0f, 800.0, kResonantToleranceDb},
      {3, 96000, 0.9f, 0.3f, 1.0f, 500.0, kFormulaToleranceDb},
      // The corner is held at 0.46 x the rate: 14720 Hz at 32000 Hz for CUT 1 (20000 Hz).
      {2, 32000, 1.0f, 0.0f, 0.0f, 14720.0, kFormulaToleranceDb},
      {3, 32000, 1.0f, 0.0f, 0.0f, 9000.0, kFormulaToleranceDb},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.poles << " poles, rate " << c.rate << ", CUT " << c.cut
                                    << ", RES " << c.res << ", MIX " << c.mix << ", "
                                    << c.frequency << " Hz");
    auto fx = makeFilter(c.poles);
    Driver driver;
    driver.rate = c.rate;
    driver.params[0] = c.cut;
    driver.params[1] = c.res;
    driver.params[2] = c.mix;
    const std::complex<double> lp =
        sfilterLowPass(c.poles, c.rate, cutoffHz(c.cut), c.res, c.frequency);
    const double expected = decibels(std::abs(lp + (1.0 - 2.0 * lp) * double(c.mix)));
    EXPECT_NEAR(measuredGainDb(*fx, driver, c.frequency), expected, c.tolerance);
  }
}

TEST(SFilter, WithoutResonanceItIsAButterworthLowPass) {
  // CUT 0.5: corner 2^7.14 + 19 = 160.3 Hz. At the corner both orders are 3 dB down; an octave
  // above, the two-pole filter is 12.3 dB down and the four-pole one 24.1 dB.
  const double corner = cutoffHz(0.5);
  struct Case {
    int poles;
    double frequency, expectedDb;
  } const cases[] = {
      {2, corner, -3.01}, {2, 2 * corner, -12.30}, {2, corner / 4, 0.0},
      {3, corner, -3.01}, {3, 2 * corner, -24.08}, {3, corner / 4, 0.0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.poles << " poles at " << c.frequency << " Hz");
    auto fx = makeFilter(c.poles);
    Driver driver;
    driver.params[0] = 0.5f;
    driver.params[1] = 0.0f;
    driver.params[2] = 0.0f;
    EXPECT_NEAR(measuredGainDb(*fx, driver, c.frequency), c.expectedDb, kTextbookToleranceDb);
  }
}

TEST(SFilter, ResonanceRaisesAPeakAtTheCorner) {
  for (int poles : {2, 3}) {
    SCOPED_TRACE(poles);
    double peak[2];
    for (int i = 0; i < 2; ++i) {
      auto fx = makeFilter(poles);
      Driver driver;
      driver.params[0] = 0.5f;
      driver.params[1] = i == 0 ? 0.0f : 1.0f;
      driver.params[2] = 0.0f;
      peak[i] = measuredGainDb(*fx, driver, cutoffHz(0.5));
    }
    EXPECT_GT(peak[1] - peak[0], 15.0);  // the damping divided by 9
  }
}

TEST(SFilter, MixHalfIsHalfTheInputWhateverTheFilter) {
  for (int poles : {2, 3}) {
    for (float cut : {0.0f, 0.4f, 1.0f}) {
      for (float res : {0.0f, 1.0f}) {
        SCOPED_TRACE(testing::Message() << poles << " " << cut << " " << res);
        auto fx = makeFilter(poles);
        Driver driver;
        driver.params[0] = cut;
        driver.params[1] = res;
        driver.params[2] = 0.5f;
        Noise noise(7);
        Stereo audio(4000);
        for (size_t i = 0; i < audio.size(); ++i) audio.left[i] = audio.right[i] = noise.next();
        const Stereo in = audio;
        driver.run(*fx, audio);
        for (size_t i = 0; i < audio.size(); ++i) {
          ASSERT_NEAR(audio.left[i], 0.5f * in.left[i], 2e-6f) << i;
          ASSERT_NEAR(audio.right[i], 0.5f * in.right[i], 2e-6f) << i;
        }
      }
    }
  }
}

TEST(SFilter, CutAndResMoveOncePerCallEvenForShortCalls) {
  // 0.0048 per call whatever its length, so a call of 0 frames moves them too and divides
  // nothing by its length.
  for (int poles : {2, 3}) {
    for (int frames : {0, 4, 16}) {
      SCOPED_TRACE(testing::Message() << poles << " poles, calls of " << frames);
      auto fx = makeFilter(poles);
      Driver driver;
      driver.params[0] = 1.0f;
      driver.params[1] = 0.0f;
      float left[16] = {}, right[16] = {};
      for (int call = 0; call < 10; ++call) driver.block(*fx, left, right, frames);
      EXPECT_NEAR(fx->smoothed[0], 0.5f + 10 * 0.0048f, 1e-5f);
      EXPECT_NEAR(fx->smoothed[1], 0.5f - 10 * 0.0048f, 1e-5f);
      Stereo audio = sine(64, 1000.0, 44100.0f, 0.5f);
      driver.run(*fx, audio);
      for (size_t i = 0; i < audio.size(); ++i) ASSERT_TRUE(std::isfinite(audio.left[i]));
    }
  }
}

TEST(SFilter, ClearSilencesTheFilterMemory) {
  for (int poles : {2, 3}) {
    SCOPED_TRACE(poles);
    auto fx = makeFilter(poles);
    Driver driver;
    driver.params[1] = 1.0f;
    driver.params[2] = 0.0f;
    Stereo loud = sine(2000, 150.0, 44100.0f, 1.0f);
    driver.run(*fx, loud);
    fx->clear();
    Stereo silence(64);
    driver.run(*fx, silence);
    for (size_t i = 0; i < silence.size(); ++i) ASSERT_EQ(silence.left[i], 0.0f) << i;
  }
}

TEST(SFilter, DisplayTexts) {
  struct Case {
    int index;
    float value;
    const char* text;
  } const cases[] = {
      {0, 0.0f, "20.0 Hz"}, {0, 1.0f, "20000.0 Hz"}, {0, 0.5f, "160.4 Hz"},
      {1, 0.0f, "0.0 %"},   {1, 1.0f, "100.0 %"},    {1, 0.25f, "25.0 %"},
      {2, 0.0f, "L 100.0 %"}, {2, 1.0f, "H 100.0 %"}, {2, 0.5f, "C 0"},
      {2, 0.25f, "L 50.0 %"}, {2, 0.75f, "H 50.0 %"}, {3, 0.5f, "untouched"},
  };
  for (int poles : {2, 3}) {
    auto fx = makeFilter(poles);
    // At 32000 Hz the corner is held at 14720 Hz, but CUT 1 still reads 20000.0 Hz.
    fx->setSampleRate(32000.0f);
    for (const auto& c : cases) {
      SCOPED_TRACE(testing::Message() << poles << " poles, index " << c.index << " " << c.value);
      char text[kEffectDisplayTextSize] = "untouched";
      fx->getParameterDisplay(c.index, c.value, text);
      EXPECT_STREQ(text, c.text);
    }
  }
}

// ---- Three-band equaliser ----------------------------------------------------------------

double bandGain(double x) { return x >= 0.5 ? x * 6.02 - 2.0 : 1.0 / ((1.0 - x) * 6.02 - 2.0); }

// The whole equaliser from the formulas: low = LP80 x, high = x - LP12000 x, mid = the rest.
double equaliserGainDb(double rate, const float g[3], double frequency) {
  const std::complex<double> low = response(lowPassSection(rate, 80.0, 0.765367), frequency, rate);
  const std::complex<double> high =
      1.0 - response(lowPassSection(rate, 12000.0, 0.765367), frequency, rate);
  const std::complex<double> h =
      (1.0 - low - high) * bandGain(g[1]) + low * bandGain(g[0]) + high * bandGain(g[2]);
  return decibels(std::abs(h));
}

TEST(Equaliser, FrequencyResponseFollowsTheCoefficientFormulas) {
  struct Case {
    float rate;
    float gains[3];
    double frequency;
  } const cases[] = {
      {44100, {1.0f, 0.5f, 0.5f}, 30.0},   {44100, {1.0f, 0.5f, 0.5f}, 80.0},
      {44100, {0.0f, 1.0f, 0.0f}, 1000.0}, {44100, {0.0f, 1.0f, 0.0f}, 100.0},
      {44100, {0.2f, 0.7f, 1.0f}, 15000.0}, {44100, {0.5f, 0.5f, 0.0f}, 9000.0},
      {48000, {0.0f, 0.3f, 1.0f}, 12000.0}, {96000, {1.0f, 0.0f, 1.0f}, 300.0},
      // At 22050 Hz the 12000 Hz corner is held at 10143 Hz.
      {22050, {0.5f, 0.5f, 0.0f}, 8000.0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "rate " << c.rate << " gains " << c.gains[0] << " "
                                    << c.gains[1] << " " << c.gains[2] << " at " << c.frequency);
    CIFX3EQ fx;
    Driver driver;
    driver.rate = c.rate;
    std::copy(c.gains, c.gains + 3, driver.params);
    EXPECT_NEAR(measuredGainDb(fx, driver, c.frequency),
                equaliserGainDb(c.rate, c.gains, c.frequency), kFormulaToleranceDb);
  }
}

TEST(Equaliser, EachBandGetsItsGainInsideTheBand) {
  // Inside a band the gain is the band's own. The fixed filters' corners have a Q of 1.31 and
  // overlap the neighbouring band by an octave or two, which matters most where a band is cut:
  // the neighbours' leakage then lifts a -12 dB band by up to 2 dB.
  constexpr double kBandOverlapDb = 2.0;
  struct Case {
    float gains[3];
    double frequency, expectedDb;
  } const cases[] = {
      {{1.0f, 0.5f, 0.5f}, 20.0, 12.08},   {{0.0f, 0.5f, 0.5f}, 20.0, -12.08},
      {{0.5f, 1.0f, 0.5f}, 1000.0, 12.08}, {{0.5f, 0.0f, 0.5f}, 1000.0, -12.08},
      {{0.5f, 0.5f, 1.0f}, 20000.0, 12.08}, {{0.5f, 0.5f, 0.0f}, 20000.0, -12.08},
      {{1.0f, 0.0f, 1.0f}, 1000.0, -12.08},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.frequency);
    CIFX3EQ fx;
    Driver driver;
    std::copy(c.gains, c.gains + 3, driver.params);
    EXPECT_NEAR(measuredGainDb(fx, driver, c.frequency), c.expectedDb, kBandOverlapDb);
  }
}

TEST(Equaliser, AtTheCentreEveryBandIsRaisedByTheSameFactor) {
  // 1.01 on every band: the bands sum back to the input, times 1.01.
  CIFX3EQ fx;
  Driver driver;
  Noise noise(11);
  Stereo audio(8000);
  for (size_t i = 0; i < audio.size(); ++i) {
    audio.left[i] = noise.next();
    audio.right[i] = noise.next();
  }
  const Stereo in = audio;
  driver.run(fx, audio);
  for (size_t i = 0; i < audio.size(); ++i) {
    ASSERT_NEAR(audio.left[i], 1.01f * in.left[i], 1e-5f) << i;
    ASSERT_NEAR(audio.right[i], 1.01f * in.right[i], 1e-5f) << i;
  }
}

TEST(Equaliser, DisplayTexts) {
  struct Case {
    float value;
    const char* text;
  } const cases[] = {
      {1.0f, "12.08 dB"}, {0.0f, "-12.08 dB"}, {0.5f, "0.09 dB"}, {0.75f, "8.01 dB"},
  };
  CIFX3EQ fx;
  for (int index = 0; index < 3; ++index) {
    for (const auto& c : cases) {
      SCOPED_TRACE(testing::Message() << index << " " << c.value);
      char text[kEffectDisplayTextSize] = "";
      fx.getParameterDisplay(index, c.value, text);
      EXPECT_STREQ(text, c.text);
    }
  }
  char text[kEffectDisplayTextSize] = "untouched";
  fx.getParameterDisplay(3, 0.5f, text);
  EXPECT_STREQ(text, "untouched");
}

}  // namespace
