#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>

#include "effects/CIFXDrive.h"
#include "insertEffectTestKit.h"

namespace {

using namespace insert_test;

struct Member {
  int type;
  const char* name;
  double slope;      // the curve's gain below the knee
  double driveGain;  // DRIVE 1 multiplies the input by 1 + driveGain
  double toneFactor, toneOffset;
  const float* curve;
};

const Member kMembers[] = {
    {9, "overdrive", 1.2418972, 3.0, 0.5, 1009.5, driveCurveOverdrive},
    {10, "distortion", 1.5599775, 7.0, 0.9, 1017.1, driveCurveDistortion},
    {11, "amp distortion", 1.5599775, 7.0, 0.215, 1004.085, driveCurveDistortion},
};

std::unique_ptr<CIFX> make(const Member& m) {
  switch (m.type) {
    case 9: return std::make_unique<CIFXOverdrive>(driveCurveOverdrive);
    case 10: return std::make_unique<CIFXDistortion>(driveCurveDistortion);
    default: return std::make_unique<CIFXAmpDistortion>(driveCurveDistortion);
  }
}

double toneCorner(const Member& m, double tone) {
  return std::exp2(14.286341 * tone) * m.toneFactor + m.toneOffset;
}

// The tone filter: two poles, damping 1.4142, warped cutoff.
double toneGain(const Member& m, double rate, double tone, double frequency) {
  return std::abs(response(lowPassSection(rate, toneCorner(m, tone), 1.4142), frequency, rate));
}

// Output amplitude over input amplitude at one frequency, settled.
double measuredGain(CIFX& fx, Driver& driver, double frequency, float amplitude) {
  driver.settle(fx);
  const size_t half = static_cast<size_t>(driver.rate / 2);
  Stereo audio = sine(2 * half, frequency, driver.rate, amplitude);
  driver.run(fx, audio);
  return amplitudeAt(audio.left, half, half, frequency, driver.rate) / amplitude;
}

TEST(Drive, BelowTheKneeTheGainIsTheCurveSlopeTimesDriveAndLevel) {
  // 0.02 of full scale stays below every knee even at DRIVE 1 (at most 5243 on the 16-bit scale).
  for (const Member& m : kMembers) {
    for (float drive : {0.0f, 0.5f, 1.0f}) {
      for (float level : {1.0f, 0.5f}) {
        SCOPED_TRACE(testing::Message() << m.name << " DRIVE " << drive << " LEVEL " << level);
        auto fx = make(m);
        Driver driver;
        driver.params[0] = drive;
        driver.params[1] = 0.5f;
        driver.params[2] = level;
        const double expected = m.slope * (1.0 + m.driveGain * drive) * level * level *
                                toneGain(m, 44100.0, 0.5, 100.0);
        // Rounding to the curve's integer steps adds noise, not gain: 0.5 % covers it.
        EXPECT_NEAR(measuredGain(*fx, driver, 100.0, 0.02f), expected, expected * 0.005);
      }
    }
  }
}

TEST(Drive, ToneSetsTheLowPassCorner) {
  struct Case {
    float rate, tone;
  } const cases[] = {{44100, 0.0f}, {44100, 1.0f}, {44100, 0.6f}, {48000, 0.3f},
                     // At 22050 Hz the corner is held at 10143 Hz.
                     {22050, 1.0f}};
  for (const Member& m : kMembers) {
    for (const auto& c : cases) {
      const double corner = std::min(toneCorner(m, c.tone), 0.46 * c.rate);
      SCOPED_TRACE(testing::Message() << m.name << " rate " << c.rate << " TONE " << c.tone
                                      << ", corner " << corner);
      Driver driver;
      driver.rate = c.rate;
      driver.params[0] = 0.0f;
      driver.params[1] = c.tone;
      driver.params[2] = 1.0f;
      auto fx = make(m);
      const double atCorner = measuredGain(*fx, driver, corner, 0.02f);
      fx = make(m);
      const double low = measuredGain(*fx, driver, 50.0, 0.02f);
      const double measuredDb = decibels(atCorner / low);
      const double formulaDb = decibels(toneGain(m, c.rate, c.tone, corner) /
                                        toneGain(m, c.rate, c.tone, 50.0));
      EXPECT_NEAR(measuredDb, formulaDb, 0.05);
      // A Butterworth corner: 3 dB down (the warped cutoff and 1.4142 move it a little).
      EXPECT_NEAR(measuredDb, -3.01, 0.3);
    }
  }
}

TEST(Drive, LoudInputSaturatesAtTheCurveEnds) {
  // A constant input of full scale or beyond reads the curve's last entry (the index is held
  // at 65535 even though +1.0 at DRIVE 0 lands on 65536), -1.0 the first; the filter passes
  // DC unchanged. Silence stays silent but for the curve's anti-denormal noise.
  struct Case {
    float input;
    int entry;
  } const cases[] = {{1.0f, 65535}, {-1.0f, 0}, {50.0f, 65535}, {-3e4f, 0}, {0.0f, 32768}};
  for (const Member& m : kMembers) {
    for (float drive : {0.0f, 1.0f}) {
      for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << m.name << " DRIVE " << drive << " input " << c.input);
        auto fx = make(m);
        Driver driver;
        driver.params[0] = drive;
        driver.params[1] = 1.0f;
        driver.params[2] = 1.0f;
        driver.settle(*fx);
        Stereo audio = constant(4000, c.input);
        driver.run(*fx, audio);
        const float expected = m.curve[c.entry] * 3.0517578125e-05f;
        EXPECT_NEAR(audio.left.back(), expected, 1e-5f);
        EXPECT_NEAR(audio.right.back(), expected, 1e-5f);
      }
    }
  }
}

TEST(Drive, ASaturatedSineStaysNearTheKnee) {
  // Past the knee the curve is almost flat: the output peaks near slope x knee / 32768 (0.62
  // for all three), plus the tone filter's overshoot on the squared-off wave.
  for (const Member& m : kMembers) {
    SCOPED_TRACE(m.name);
    auto fx = make(m);
    Driver driver;
    driver.params[0] = 1.0f;
    driver.params[1] = 1.0f;
    driver.params[2] = 1.0f;
    driver.settle(*fx);
    Stereo audio = sine(44100, 110.0, 44100.0f, 1.0f);
    driver.run(*fx, audio);
    float peak = 0.0f;
    for (size_t i = 4410; i < audio.size(); ++i) peak = std::max(peak, std::fabs(audio.left[i]));
    const float ceiling = m.curve[65535] * 3.0517578125e-05f;
    EXPECT_GT(peak, ceiling * 0.95f);
    EXPECT_LT(peak, ceiling * 1.2f);
  }
}

TEST(Drive, ToneMovesOncePerCallEvenForShortCalls) {
  for (const Member& m : kMembers) {
    for (int frames : {0, 4, 16}) {
      SCOPED_TRACE(testing::Message() << m.name << ", calls of " << frames);
      auto fx = make(m);
      Driver driver;
      driver.params[1] = 0.0f;
      float left[16] = {}, right[16] = {};
      for (int call = 0; call < 10; ++call) driver.block(*fx, left, right, frames);
      EXPECT_NEAR(fx->smoothed[1], 0.5f - 10 * 0.0048f, 1e-5f);
      Stereo audio = sine(64, 1000.0, 44100.0f, 0.5f);
      driver.run(*fx, audio);
      for (size_t i = 0; i < audio.size(); ++i) ASSERT_TRUE(std::isfinite(audio.left[i])) << i;
    }
  }
}

TEST(Drive, ClearSilencesTheFilterMemory) {
  for (const Member& m : kMembers) {
    SCOPED_TRACE(m.name);
    auto fx = make(m);
    Driver driver;
    driver.params[0] = 1.0f;
    driver.params[1] = 0.0f;
    driver.params[2] = 1.0f;
    Stereo loud = sine(2000, 300.0, 44100.0f, 1.0f);
    driver.run(*fx, loud);
    fx->clear();
    Stereo silence(16);
    driver.run(*fx, silence);
    for (size_t i = 0; i < silence.size(); ++i) ASSERT_LT(std::fabs(silence.left[i]), 1e-12f);
  }
}

TEST(Drive, DisplayTexts) {
  struct Case {
    int type, index;
    float value;
    const char* text;
  } const cases[] = {
      {9, 0, 0.0f, "100.0 %"},  {9, 0, 1.0f, "400.0 %"},  {9, 0, 0.5f, "250.0 %"},
      {10, 0, 0.0f, "100.0 %"}, {10, 0, 1.0f, "800.0 %"}, {11, 0, 1.0f, "800.0 %"},
      {11, 0, 0.25f, "275.0 %"}, {9, 1, 0.5f, "50.0 %"},  {10, 1, 1.0f, "100.0 %"},
      {11, 1, 0.0f, "0.0 %"},   {9, 2, 1.0f, "0.00 dB"},  {10, 2, 0.5f, "-6.02 dB"},
      {11, 2, 0.0f, "-oo"},     {9, 3, 0.5f, "untouched"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.type << ": " << c.index << " " << c.value);
    auto fx = make(kMembers[c.type - 9]);
    char text[kEffectDisplayTextSize] = "untouched";
    fx->getParameterDisplay(c.index, c.value, text);
    EXPECT_STREQ(text, c.text);
  }
}

}  // namespace
