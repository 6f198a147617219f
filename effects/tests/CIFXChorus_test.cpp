#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "effects/CIFXChorus.h"
#include "insertEffectTestKit.h"

namespace {

using namespace insert_test;

// The input is a slow ramp x[n] = n x kSlope. Whatever a line returns is then a ramp value too,
// and tells exactly how many frames ago it was written, fractions included.
constexpr float kSlope = 1e-5f;
// The ramp's float resolution near its end (about 0.9) is 6e-8, that is 0.006 frames.
constexpr double kDelayTolerance = 0.05;

struct Measured {
  std::vector<double> left, right;  // delay in frames of each frame, from the ramp
};

// Runs a settled effect over a ramp and returns the delay of every frame. The flanger's output
// is the mean of the input and the delayed sample (FBK must be 0), the chorus's is the delayed
// sample at DEPTH 1.
Measured measureDelays(CIFX& fx, Driver& driver, size_t frames, bool flanger) {
  driver.settle(fx);
  Stereo audio(frames);
  for (size_t i = 0; i < frames; ++i) audio.left[i] = audio.right[i] = i * kSlope;
  Stereo in = audio;
  driver.run(fx, audio);
  Measured m;
  for (size_t i = 0; i < frames; ++i) {
    const double yl = flanger ? 2.0 * audio.left[i] - in.left[i] : audio.left[i];
    const double yr = flanger ? 2.0 * audio.right[i] - in.right[i] : audio.right[i];
    m.left.push_back(double(i) - yl / kSlope);
    m.right.push_back(double(i) - yr / kSlope);
  }
  return m;
}

double minOf(const std::vector<double>& v, size_t from) {
  return *std::min_element(v.begin() + from, v.end());
}
double maxOf(const std::vector<double>& v, size_t from) {
  return *std::max_element(v.begin() + from, v.end());
}

// Frequency of a periodic curve from its upward crossings of the midpoint between its extremes.
double cyclesPerSecond(const std::vector<double>& v, size_t from, float rate) {
  const double mid = (minOf(v, from) + maxOf(v, from)) / 2.0;
  double first = -1.0, last = -1.0;
  int crossings = 0;
  for (size_t i = from + 1; i < v.size(); ++i) {
    if (v[i - 1] < mid && v[i] >= mid) {
      const double t = double(i - 1) + (mid - v[i - 1]) / (v[i] - v[i - 1]);
      if (first < 0.0) first = t;
      last = t;
      ++crossings;
    }
  }
  if (crossings < 2) return 0.0;
  return (crossings - 1) * double(rate) / (last - first);
}

TEST(ChorusAndFlanger, UnmodulatedDelayIsTheRingLessTheReadOffset) {
  struct Case {
    bool flanger;
    float rate;
    double frames;
  } const cases[] = {
      {false, 44100, 662}, {false, 48000, 720}, {false, 96000, 1440},
      {true, 44100, 309},  {true, 48000, 336},  {true, 96000, 672},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << (c.flanger ? "flanger " : "chorus ") << c.rate);
    std::unique_ptr<CIFX> fx;
    if (c.flanger)
      fx = std::make_unique<CIFXFlanger>();
    else
      fx = std::make_unique<CIFXChorus>();
    Driver driver;
    driver.rate = c.rate;
    driver.params[1] = 0.0f;                     // WIDTH 0
    driver.params[2] = c.flanger ? 0.0f : 1.0f;  // no feedback / all delayed
    const Measured m = measureDelays(*fx, driver, 6000, c.flanger);
    for (size_t i = 2000; i < 6000; ++i) {
      ASSERT_NEAR(m.left[i], c.frames, kDelayTolerance) << i;
      ASSERT_NEAR(m.right[i], c.frames, kDelayTolerance) << i;
    }
  }
}

TEST(Chorus, LfoSweepsTheDelayWithTheRightSideAQuarterCycleAhead) {
  struct Case {
    float rateParam;
    double hz;
  } const cases[] = {{1.0f, 20.0}, {0.5f, 0.125 * 19.9 + 0.1}, {0.8f, 0.512 * 19.9 + 0.1}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.rateParam);
    CIFXChorus fx;
    Driver driver;
    driver.params[0] = c.rateParam;
    driver.params[1] = 1.0f;
    driver.params[2] = 1.0f;
    const Measured m = measureDelays(fx, driver, 88200, false);
    // WIDTH 1: the delay swings from 662 frames down by 2 x 7 ms (617.4 frames).
    EXPECT_NEAR(maxOf(m.left, 1000), 662.0, 0.1);
    EXPECT_NEAR(minOf(m.left, 1000), 662.0 - 617.4, 0.1);
    EXPECT_NEAR(cyclesPerSecond(m.left, 1000, 44100.0f), c.hz, c.hz * 0.005);
    const double quarter = 44100.0 / c.hz / 4.0;
    const size_t shift = static_cast<size_t>(std::lround(quarter));
    // The right delay now is the left delay a quarter cycle later; the shift is rounded to whole
    // frames, which costs at most half a frame of the curve's steepest slope.
    const double slope = 617.4 * M_PI * c.hz / 44100.0;
    for (size_t i = 1000; i + shift < m.left.size(); i += 7) {
      ASSERT_NEAR(m.right[i], m.left[i + shift], slope * 0.6 + kDelayTolerance) << i;
    }
  }
}

TEST(Chorus, DepthMixesTheDelayedSignalIntoTheDry) {
  for (float depth : {0.0f, 0.25f, 1.0f}) {
    SCOPED_TRACE(depth);
    CIFXChorus fx;
    Driver driver;
    driver.params[1] = 0.0f;
    driver.params[2] = depth;
    driver.settle(fx);
    Noise noise(5);
    Stereo audio(3000);
    for (size_t i = 0; i < audio.size(); ++i) {
      audio.left[i] = noise.next();
      audio.right[i] = noise.next();
    }
    const Stereo in = audio;
    driver.run(fx, audio);
    for (size_t i = 0; i < audio.size(); ++i) {
      const float delayedL = i >= 662 ? in.left[i - 662] : 0.0f;
      const float delayedR = i >= 662 ? in.right[i - 662] : 0.0f;
      ASSERT_NEAR(audio.left[i], in.left[i] + (delayedL - in.left[i]) * depth, 1e-6f) << i;
      ASSERT_NEAR(audio.right[i], in.right[i] + (delayedR - in.right[i]) * depth, 1e-6f) << i;
    }
  }
}

TEST(ChorusAndFlanger, ClearEmptiesTheLines) {
  for (bool flanger : {false, true}) {
    SCOPED_TRACE(flanger);
    std::unique_ptr<CIFX> fx;
    if (flanger)
      fx = std::make_unique<CIFXFlanger>();
    else
      fx = std::make_unique<CIFXChorus>();
    Driver driver;
    driver.params[1] = 1.0f;
    driver.params[2] = 1.0f;
    Noise noise(9);
    Stereo old(5000);
    for (size_t i = 0; i < old.size(); ++i) old.left[i] = old.right[i] = noise.next();
    driver.run(*fx, old);
    fx->clear();
    Stereo silence(3000);
    driver.run(*fx, silence);
    for (size_t i = 0; i < silence.size(); ++i) {
      ASSERT_EQ(silence.left[i], 0.0f) << i;
      ASSERT_EQ(silence.right[i], 0.0f) << i;
    }
  }
}

// ---- Flanger -----------------------------------------------------------------------------

double lfoParam(int index) { return index / 26.0; }

TEST(Flanger, LfoRunsAtTheNoteLengthOfTheTempo) {
  // The transport stands, so the LFO runs freely at the tempo's rate.
  struct Case {
    double tempo;
    int note;  // index into the LFO note lengths
    double hz;
  } const cases[] = {
      {120, 15, 2.0},        // "1/4"
      {120, 21, 8.0},        // "1/16"
      {40, 21, 8.0 / 3.0},   // "1/16"
      {30, 21, 8.0 / 3.0},   // below 40 the LFO runs as at 40
      {10, 21, 8.0 / 3.0},
      {200, 16, 200.0 / 60.0 / 0.75},  // "1/8D"
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.tempo << " bpm, note " << c.note);
    CIFXFlanger fx;
    Driver driver;
    driver.playing = false;
    driver.tempo = c.tempo;
    driver.params[0] = static_cast<float>(lfoParam(c.note));
    driver.params[1] = 1.0f;
    driver.params[2] = 0.0f;
    const Measured m = measureDelays(fx, driver, 3 * 44100, true);
    EXPECT_NEAR(cyclesPerSecond(m.left, 1000, 44100.0f), c.hz, c.hz * 0.005);
    // WIDTH 1: from 309 frames down by 2 x 3 ms (264.6 frames).
    EXPECT_NEAR(maxOf(m.left, 1000), 309.0, 0.1);
    EXPECT_NEAR(minOf(m.left, 1000), 309.0 - 264.6, 0.1);
  }
}

TEST(Flanger, LfoIsLockedToTheSongPosition) {
  // While the song plays, at the start of each sub-block the left LFO stands at the position's
  // phase within the note and the right LFO half a cycle further.
  for (int note : {9, 15, 18}) {  // "1/1", "1/4", "1/8"
    SCOPED_TRACE(note);
    CIFXFlanger fx;
    Driver driver;
    driver.tempo = 100.0;
    driver.position = 7.3;
    driver.params[0] = static_cast<float>(lfoParam(note));
    driver.params[1] = 1.0f;
    driver.params[2] = 0.0f;
    driver.settle(fx);
    const double beats = lfoSyncNoteLengths[note].beats;
    const double startPosition = driver.position;
    const size_t frames = 44100;
    Stereo audio(frames);
    for (size_t i = 0; i < frames; ++i) audio.left[i] = audio.right[i] = i * kSlope;
    const Stereo in = audio;
    driver.run(fx, audio);
    for (size_t i = 1024; i < frames; i += 16) {
      const double position = startPosition + i * 100.0 / (60.0 * 44100.0);
      const double phase = position / beats - std::floor(position / beats);
      const double expectedL = 309.0 - (std::sin(2 * M_PI * phase) + 1.0) * 132.3;
      const double expectedR = 309.0 - (std::sin(2 * M_PI * (phase + 0.5)) + 1.0) * 132.3;
      const double dl = double(i) - (2.0 * audio.left[i] - in.left[i]) / kSlope;
      const double dr = double(i) - (2.0 * audio.right[i] - in.right[i]) / kSlope;
      ASSERT_NEAR(dl, expectedL, 0.1) << i;
      ASSERT_NEAR(dr, expectedR, 0.1) << i;
    }
  }
  // 2.5 beats into a "1/1" cycle of 4 beats: steps 160 and 288 (taken modulo 256 when used).
  CIFXFlanger fx;
  const float params[3] = {static_cast<float>(lfoParam(9)), 0.5f, 0.5f};
  fx.setParameters(params);
  fx.setSongPosition(2.5);
  EXPECT_EQ(fx.leftLfo.step, 160);
  EXPECT_EQ(fx.rightLfo.step, 288);
}

TEST(Flanger, FeedbackRecirculatesAndDecays) {
  // WIDTH 0, FBK 1: each pass through the 309-frame line returns 0.9 of the last one.
  CIFXFlanger fx;
  Driver driver;
  driver.playing = false;
  driver.params[1] = 0.0f;
  driver.params[2] = 1.0f;
  driver.settle(fx);
  Stereo audio = impulse(309 * 40 + 1);
  driver.run(fx, audio);
  EXPECT_FLOAT_EQ(audio.left[0], 0.5f);
  for (int k = 1; k <= 40; ++k) {
    EXPECT_NEAR(audio.left[309 * k], 0.5 * std::pow(0.9, k - 1), 1e-5) << k;
    EXPECT_NEAR(audio.left[309 * k - 1], 0.0, 1e-7) << k;
  }
}

TEST(ChorusAndFlanger, DisplayTexts) {
  struct Case {
    bool flanger;
    int index;
    float value;
    const char* text;
  } const cases[] = {
      {false, 0, 0.0f, "0.10 Hz"},   {false, 0, 1.0f, "20.00 Hz"}, {false, 0, 0.5f, "2.59 Hz"},
      {false, 1, 0.5f, "50.0 %"},    {false, 2, 1.0f, "100.0 %"},  {false, 2, 0.0f, "0.0 %"},
      {true, 0, 0.0f, "8/1 note"},   {true, 0, 1.0f, "1/32T note"},
      {true, 0, 15 / 26.0f, "1/4 note"}, {true, 0, 0.5f, "1/4D note"},
      {true, 1, 0.123f, "12.3 %"},   {true, 2, 1.0f, "100.0 %"},
      {false, 3, 0.5f, "untouched"}, {true, -1, 0.5f, "untouched"},
  };
  CIFXChorus chorus;
  CIFXFlanger flanger;
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.flanger << " " << c.index << " " << c.value);
    char text[kEffectDisplayTextSize] = "untouched";
    const CIFX& fx = c.flanger ? static_cast<const CIFX&>(flanger) : chorus;
    fx.getParameterDisplay(c.index, c.value, text);
    EXPECT_STREQ(text, c.text);
  }
}

}  // namespace
