#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>

#include "effects/CIFXCompressor.h"
#include "insertEffectTestKit.h"

namespace {

using namespace insert_test;

std::unique_ptr<CIFXDynamicPr> make(bool rms) {
  if (rms) return std::make_unique<CIFXRMSCompressor>();
  return std::make_unique<CIFXPeakCompressor>();
}

double thresholdOf(double x) { return x * 0.99 + 0.01; }
double floorOf(double threshold, double ratio) {
  return (1.0 - threshold) / (ratio * 19.0 + 1.0) + threshold;
}

// A loud constant (0.9 of full scale, above every threshold) for `loud` frames, then a quiet
// one (0.001, below every threshold) for `quiet` frames.
Stereo loudThenQuiet(size_t loud, size_t quiet) {
  Stereo audio = constant(loud + quiet, 0.001f);
  for (size_t i = 0; i < loud; ++i) audio.left[i] = audio.right[i] = 0.9f;
  return audio;
}

// The gain applied at each frame, make-up removed.
std::vector<double> gains(const Stereo& in, const Stereo& out, double threshold) {
  std::vector<double> g;
  for (size_t i = 0; i < in.size(); ++i) g.push_back(out.left[i] * threshold / in.left[i]);
  return g;
}

TEST(Compressor, AttackReachesTheFloorWithinOneMillisecond) {
  struct Case {
    bool rms;
    float rate, threshold, ratio;
  } const cases[] = {
      {false, 44100, 0.5f, 1.0f}, {false, 44100, 0.0f, 0.3f}, {false, 48000, 0.2f, 0.6f},
      {false, 96000, 0.8f, 1.0f}, {true, 44100, 0.0f, 1.0f},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << (c.rms ? "rms " : "peak ") << c.rate << " THRSH "
                                    << c.threshold << " RATIO " << c.ratio);
    auto fx = make(c.rms);
    Driver driver;
    driver.rate = c.rate;
    driver.params[0] = c.threshold;
    driver.params[1] = c.ratio;
    driver.params[2] = 0.5f;
    driver.settle(*fx);
    const Stereo in = loudThenQuiet(2000, 0);
    Stereo out = in;
    driver.run(*fx, out);
    const double t = thresholdOf(c.threshold), m = floorOf(t, c.ratio);
    const std::vector<double> g = gains(in, out, t);
    // The detector's first frame above the threshold (the RMS envelope needs a few frames at
    // THRSH 0), then a straight fall of (1 - floor) per millisecond down to the floor.
    size_t start = 0;
    while (start < g.size() && g[start] > 1.0 - 1e-6) ++start;
    ASSERT_LT(start, c.rms ? 10u : 1u);
    const double perFrame = (1.0 - m) * 1000.0 / c.rate;
    const size_t framesToFloor = static_cast<size_t>(std::ceil((1.0 - m) / perFrame - 1e-9));
    for (size_t k = 0; k < framesToFloor - 1; ++k)
      ASSERT_NEAR(g[start + k], 1.0 - (k + 1) * perFrame, 1e-5) << k;
    for (size_t i = start + framesToFloor; i < g.size(); ++i) ASSERT_NEAR(g[i], m, 1e-6) << i;
    // Full reduction: a level above the threshold leaves at 1 + (1 / t - 1) / ratio of itself.
    EXPECT_NEAR(out.left.back() / in.left.back(), 1.0 + (1.0 / t - 1.0) / (c.ratio * 19 + 1),
                1e-4);
  }
}

TEST(Compressor, ReleaseClimbsBackWithinTheReleaseTime) {
  struct Case {
    bool rms;
    float rate, release;
    double ms;
  } const cases[] = {
      {false, 44100, 0.0f, 10},  {false, 44100, 0.3f, 145}, {false, 48000, 0.5f, 634},
      {true, 44100, 0.3f, 145},  {false, 44100, 0.1f, 15},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << (c.rms ? "rms " : "peak ") << c.rate << " REL "
                                    << c.release);
    auto fx = make(c.rms);
    Driver driver;
    driver.rate = c.rate;
    driver.params[0] = 0.5f;
    driver.params[1] = 1.0f;
    driver.params[2] = c.release;
    driver.settle(*fx);
    const size_t releaseFrames = static_cast<size_t>(c.ms * c.rate / 1000.0);
    const Stereo in = loudThenQuiet(1000, releaseFrames + 1000);
    Stereo out = in;
    driver.run(*fx, out);
    const std::vector<double> g = gains(in, out, thresholdOf(0.5));
    // The RMS envelope takes a while to fall under the threshold after the loud part.
    size_t start = 1000;
    while (start < g.size() && g[start] <= g[999] + 1e-9) ++start;
    if (!c.rms) {
      EXPECT_EQ(start, 1000u);
    }
    size_t back = start;
    while (back < g.size() && g[back] < 1.0 - 1e-6) ++back;
    // The climb adds a tiny step to a float gain thousands of times; its rounding stretches long
    // releases by up to 0.2 %.
    EXPECT_NEAR(double(back - start), double(releaseFrames), 2.0 + releaseFrames * 0.002);
  }
}

TEST(Compressor, TheRmsDetectorFollowsTheLevelSlowly) {
  // A single loud frame moves the RMS envelope by sampleRate x 3.3333302e-7 of the jump
  // (1.47 % at 44100 Hz, far below the -19 dB threshold): the peak compressor reacts, the RMS
  // one does not.
  for (bool rms : {false, true}) {
    SCOPED_TRACE(rms);
    auto fx = make(rms);
    Driver driver;
    driver.params[0] = 0.1f;
    driver.params[1] = 1.0f;
    driver.settle(*fx);
    Stereo in = constant(64, 0.001f);
    in.left[10] = in.right[10] = 1.0f;
    Stereo out = in;
    driver.run(*fx, out);
    const double gainAfter = out.left[11] * thresholdOf(0.1) / in.left[11];
    if (rms) {
      EXPECT_NEAR(gainAfter, 1.0, 1e-6);
    } else {
      EXPECT_LT(gainAfter, 0.99);
    }
  }
  // A constant level of 0.9 reaches the threshold 0.505 when 0.9 x (1 - (1 - c)^n) does.
  for (float rate : {44100.0f, 48000.0f, 22050.0f}) {
    SCOPED_TRACE(rate);
    auto fx = make(true);
    Driver driver;
    driver.rate = rate;
    driver.params[0] = 0.5f;
    driver.params[1] = 1.0f;
    driver.settle(*fx);
    const Stereo in = loudThenQuiet(1000, 0);
    Stereo out = in;
    driver.run(*fx, out);
    const std::vector<double> g = gains(in, out, thresholdOf(0.5));
    size_t first = 0;
    while (first < g.size() && g[first] > 1.0 - 1e-6) ++first;
    const double c = rate * 3.3333302e-7;
    const double n = std::log(1.0 - thresholdOf(0.5) * 32767.5 / (0.9 * 32768.0)) /
                     std::log(1.0 - c);  // frames counted from 1
    EXPECT_NEAR(double(first), std::ceil(n) - 1.0, 1.0);
  }
}

TEST(Compressor, NeutralSettingsPassAndAQuietSignalGetsTheMakeUpGain) {
  struct Case {
    float threshold, ratio;
    double gain;
  } const cases[] = {
      {1.0f, 0.0f, 1.0},    // 0 dB threshold, 1:1: nothing changes, loud or quiet
      {1.0f, 1.0f, 1.0},    // nothing reaches a 0 dB threshold
      {0.0f, 0.5f, 100.0},  // below a -40 dB threshold the signal is raised by 1 / 0.01
  };
  for (bool rms : {false, true}) {
    for (const auto& c : cases) {
      SCOPED_TRACE(testing::Message() << rms << " THRSH " << c.threshold << " RATIO " << c.ratio);
      auto fx = make(rms);
      Driver driver;
      driver.params[0] = c.threshold;
      driver.params[1] = c.ratio;
      driver.settle(*fx);
      Noise noise(13);
      Stereo in(3000);
      const float scale = c.gain > 1.0 ? 0.002f : 1.0f;  // the quiet case stays under -40 dB
      for (size_t i = 0; i < in.size(); ++i) {
        in.left[i] = noise.next() * scale;
        in.right[i] = noise.next() * scale;
      }
      Stereo out = in;
      driver.run(*fx, out);
      for (size_t i = 0; i < in.size(); ++i) {
        ASSERT_NEAR(out.left[i], in.left[i] * c.gain, std::fabs(in.left[i]) * 1e-5) << i;
        ASSERT_NEAR(out.right[i], in.right[i] * c.gain, std::fabs(in.right[i]) * 1e-5) << i;
      }
    }
  }
}

TEST(Compressor, WithoutASampleRateTheAudioPassesUntouched) {
  for (bool rms : {false, true}) {
    auto fx = make(rms);
    fx->clear();
    const float params[3] = {0.0f, 1.0f, 0.0f};
    fx->setParameters(params);
    float left[16], right[16];
    for (int i = 0; i < 16; ++i) left[i] = right[i] = 0.9f;
    fx->process(left, right, 16);
    for (int i = 0; i < 16; ++i) {
      ASSERT_EQ(left[i], 0.9f);
      ASSERT_EQ(right[i], 0.9f);
    }
  }
}

TEST(Compressor, DisplayTexts) {
  struct Case {
    int index;
    float value;
    const char* text;
  } const cases[] = {
      {0, 0.0f, "-40.00 dB"}, {0, 1.0f, "0.00 dB"},   {0, 0.5f, "-5.93 dB"},
      {1, 0.0f, "1.0 : 1"},   {1, 1.0f, "20.0 : 1"},  {1, 0.5f, "10.5 : 1"},
      {2, 0.0f, "10 ms"},     {2, 1.0f, "5000 ms"},   {2, 0.5f, "634 ms"},
      {2, 0.3f, "145 ms"},    {3, 0.5f, "untouched"},
  };
  for (bool rms : {false, true}) {
    auto fx = make(rms);
    for (const auto& c : cases) {
      SCOPED_TRACE(testing::Message() << rms << ": " << c.index << " " << c.value);
      char text[kEffectDisplayTextSize] = "untouched";
      fx->getParameterDisplay(c.index, c.value, text);
      EXPECT_STREQ(text, c.text);
    }
  }
}

}  // namespace
