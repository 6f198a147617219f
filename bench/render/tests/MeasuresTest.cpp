#include "bench/render/Measures.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

namespace {

using qbench::Stereo;

constexpr double rate = 44100.0;

std::vector<float> sine(double hz, double amplitude, size_t n, double phase = 0.3)
{
  std::vector<float> x(n);
  for (size_t i = 0; i < n; ++i) x[i] = float(amplitude * std::sin(2 * M_PI * hz * double(i) / rate + phase));
  return x;
}

Stereo stereo(std::vector<float> left, std::vector<float> right)
{
  Stereo s;
  s.rate = rate;
  s.left = std::move(left);
  s.right = std::move(right);
  return s;
}

TEST(MeasuresTest, FundamentalOfPeriodicSignalsWithinACent)
{
  struct Case {
    double hz;
    int harmonics; // 1: a sine; more: a sawtooth-like tone whose upper partials are strong
  };
  for (const Case c : {Case{65.406, 1}, Case{110.0, 8}, Case{261.63, 1}, Case{440.0, 5}, Case{1046.5, 3},
                       Case{2093.0, 1}, Case{2093.0, 4}, Case{3000.0, 1}}) {
    std::vector<float> x(8192, 0.0f);
    for (int h = 1; h <= c.harmonics; ++h) {
      if (c.hz * h > rate / 2) break;
      const std::vector<float> partial = sine(c.hz * h, 0.5 / h, x.size(), 0.7 * h);
      for (size_t i = 0; i < x.size(); ++i) x[i] += partial[i];
    }
    const qbench::Pitch p = qbench::estimateF0(x.data(), x.size(), rate, c.hz / 2.5, c.hz * 2.5);
    EXPECT_TRUE(p.periodic) << c.hz << " Hz, " << c.harmonics << " partials";
    EXPECT_NEAR(qbench::cents(p.hz, c.hz), 0.0, 1.0) << c.hz << " Hz, " << c.harmonics << " partials";
  }
}

TEST(MeasuresTest, NoiseIsNotPeriodic)
{
  std::mt19937 random(7);
  std::normal_distribution<float> noise(0.0f, 0.3f);
  std::vector<float> x(8192);
  for (float &v : x) v = noise(random);
  EXPECT_FALSE(qbench::estimateF0(x.data(), x.size(), rate, 100.0, 1000.0).periodic);
}

// Sounds whose pitch cannot be told to a few cents (a fundamental far under its octave, a pitch
// that moves within the span) are not periodic; with the doubt taken away they are.
TEST(MeasuresTest, DoubtfulPitchesAreNotPeriodic)
{
  struct Case {
    const char *name;
    double fundamental;     // amplitude of the partial at hz (the octave above has 0.5)
    double vibratoCents;    // depth of a 5 Hz vibrato
    bool periodic;
  };
  const double hz = 130.81;
  for (const Case c : {Case{"weak fundamental", 0.02, 0.0, false}, Case{"fundamental", 0.5, 0.0, true},
                       Case{"vibrato", 0.5, 25.0, false}, Case{"slight vibrato", 0.5, 2.0, true}}) {
    const size_t n = 8379; // 190 ms, the span the bench measures
    std::vector<float> x(n);
    double phase = 0.0;
    for (size_t i = 0; i < n; ++i) {
      const double t = double(i) / rate;
      const double f = hz * std::exp2(c.vibratoCents / 1200.0 * std::sin(2 * M_PI * 5.0 * t + 1.0));
      phase += 2 * M_PI * f / rate;
      x[i] = float(c.fundamental * std::sin(phase) + 0.5 * std::sin(2 * phase + 0.3) + 0.2 * std::sin(3 * phase));
    }
    const qbench::Pitch p = qbench::estimateF0(x.data(), x.size(), rate, hz / 2.5, hz * 2.5);
    EXPECT_EQ(p.periodic, c.periodic) << c.name << " at " << p.hz << " Hz";
    if (c.periodic) {
      EXPECT_NEAR(qbench::cents(p.hz, hz), 0.0, 3.0) << c.name;
    }
  }
}

// A held note's pitch over the 590 ms the bench measures: two layers detuned 8 cents either
// way (one 2 dB under the other, as a chorus or a pan leaves them) beat with their weakest
// point inside the span, where short windows read a pitch several cents off the rest; that is
// no one pitch. One layer alone, steady or decaying, is.
TEST(MeasuresTest, HeldPitchOfDetunedLayersIsNotPeriodic)
{
  struct Case {
    const char *name;
    double detuneCents; // the second layer's tuning against the first; 0: no second layer
    double decayDbPerSecond;
    bool periodic;
  };
  const double hz = 130.81;
  for (const Case c : {Case{"one layer", 0.0, 0.0, true}, Case{"one layer decaying", 0.0, 40.0, true},
                       Case{"layers 8 cents apart", 16.0, 0.0, false},
                       Case{"layers 8 cents apart decaying", 16.0, 6.0, false}}) {
    std::vector<float> x(size_t(0.59 * rate));
    for (size_t i = 0; i < x.size(); ++i) {
      const double t = double(i) / rate;
      double v = 0;
      for (int layer = 0; layer < (c.detuneCents > 0 ? 2 : 1); ++layer) {
        const double f = hz * std::exp2((layer ? 0.5 : -0.5) * c.detuneCents / 1200.0);
        for (int h = 1; h <= 9; h += 2) v += (layer ? 0.8 : 1.0) * std::sin(2 * M_PI * f * h * t) / h; // a square wave
      }
      x[i] = float(0.3 * v * std::pow(10.0, -c.decayDbPerSecond * t / 20.0));
    }
    const qbench::Pitch p = qbench::heldPitch(x.data(), x.size(), rate, hz / 2.5, hz * 2.5, size_t(0.19 * rate));
    EXPECT_EQ(p.periodic, c.periodic) << c.name << " at " << qbench::cents(p.hz, hz) << " cents";
    if (c.periodic) {
      EXPECT_NEAR(qbench::cents(p.hz, hz), 0.0, 1.0) << c.name;
    }
    // Any one window of it looks steady.
    EXPECT_TRUE(qbench::estimateF0(x.data(), size_t(0.19 * rate), rate, hz / 2.5, hz * 2.5).periodic) << c.name;
  }
}

TEST(MeasuresTest, LevelBalanceAndWidth)
{
  const size_t n = 44100;
  const std::vector<float> loud = sine(1000, 1.0, n), half = sine(1000, 0.5, n), tenth = sine(1000, 0.1, n);
  std::vector<float> inverted(loud);
  for (float &v : inverted) v = -v;
  std::mt19937 random(3);
  std::normal_distribution<float> noise(0.0f, 0.1f);
  std::vector<float> noiseA(n), noiseB(n);
  for (size_t i = 0; i < n; ++i) noiseA[i] = noise(random), noiseB[i] = noise(random);

  // The mean power of a sine is half its squared amplitude.
  EXPECT_NEAR(qbench::levelDb(stereo(loud, loud), 0, n), -3.010, 0.01);
  EXPECT_NEAR(qbench::levelDb(stereo(tenth, tenth), 0, n), -23.010, 0.01);
  EXPECT_NEAR(qbench::levelDb(stereo(loud, std::vector<float>(n, 0.0f)), 0, n), -6.021, 0.01);
  EXPECT_TRUE(std::isinf(qbench::levelDb(stereo(std::vector<float>(n, 0.0f), std::vector<float>(n, 0.0f)), 0, n)));
  // Only the span asked for counts.
  std::vector<float> tail(loud);
  std::fill(tail.begin(), tail.begin() + n / 2, 0.0f);
  EXPECT_NEAR(qbench::levelDb(stereo(tail, tail), n / 2, n), -3.010, 0.01);

  EXPECT_NEAR(qbench::balanceDb(stereo(loud, half), 0, n), 6.021, 0.01);
  EXPECT_NEAR(qbench::balanceDb(stereo(half, loud), 0, n), -6.021, 0.01);
  EXPECT_NEAR(qbench::balanceDb(stereo(loud, loud), 0, n), 0.0, 0.001);

  EXPECT_TRUE(std::isinf(qbench::sideMidDb(stereo(loud, loud))) && qbench::sideMidDb(stereo(loud, loud)) < 0);
  EXPECT_TRUE(std::isinf(qbench::sideMidDb(stereo(loud, inverted))) && qbench::sideMidDb(stereo(loud, inverted)) > 0);
  EXPECT_NEAR(qbench::sideMidDb(stereo(noiseA, noiseB)), 0.0, 0.2);
  // Left at full and right at half: side 0.25, mid 0.75 in amplitude.
  EXPECT_NEAR(qbench::sideMidDb(stereo(loud, half)), 20 * std::log10(0.25 / 0.75), 0.01);
}

TEST(MeasuresTest, PeaksCountSamplesAboveFullScale)
{
  std::vector<float> left(1000, 0.5f), right(1000, -0.25f);
  left[10] = 1.0f;   // full scale itself is not above it
  left[20] = 1.5f;
  right[30] = -2.0f;
  right[31] = -1.01f;
  const qbench::Peaks p = qbench::peaks(stereo(left, right));
  EXPECT_DOUBLE_EQ(p.peak, 2.0);
  EXPECT_EQ(p.overFullScale, 3);
}

TEST(MeasuresTest, IntegratedLoudnessOfAReferenceSine)
{
  // A 1 kHz stereo sine with peaks at -23 dBFS reads -23 LUFS; each 10 dB of level is 10 LU.
  for (double peakDb : {-23.0, -13.0, -33.0}) {
    const std::vector<float> x = sine(1000, std::pow(10.0, peakDb / 20), size_t(rate * 10));
    EXPECT_NEAR(qbench::integratedLoudness(stereo(x, x)), peakDb, 0.1) << peakDb;
  }
  const std::vector<float> silence(size_t(rate * 5), 0.0f);
  EXPECT_TRUE(std::isinf(qbench::integratedLoudness(stereo(silence, silence))));
}

TEST(MeasuresTest, RingTimeOfAnExponentialDecay)
{
  // 40 dB of fall in `seconds`, after a short rise to the peak; then silence.
  for (double seconds : {0.2, 1.0, 2.5}) {
    const size_t n = size_t(rate * 4);
    std::vector<float> x = sine(440, 1.0, n);
    const double perSample = std::pow(10.0, -40.0 / 20 / (seconds * rate));
    double gain = 1.0;
    for (size_t i = 0; i < n; ++i) {
      const double rise = std::min(1.0, double(i) / (0.005 * rate));
      x[i] = float(x[i] * gain * rise);
      gain *= perSample;
    }
    EXPECT_NEAR(qbench::ringSeconds(stereo(x, x), 0, n), seconds, 0.03) << seconds;
  }
  // Held for a second at a level that rises 3 dB to its loudest just before the release, then
  // 40 dB of fall in half a second: timed from the onset.
  const size_t n = size_t(rate * 3);
  std::vector<float> x = sine(440, 1.0, n);
  for (size_t i = 0; i < n; ++i) {
    const double t = double(i) / rate;
    const double held = std::pow(10.0, (-3.0 + 3.0 * std::min(t, 1.0)) / 20);
    x[i] = float(x[i] * held * (t < 1.0 ? 1.0 : std::pow(10.0, -40.0 / 20 * (t - 1.0) / 0.5)));
  }
  EXPECT_NEAR(qbench::ringSeconds(stereo(x, x), 0, n), 1.5, 0.03);
}

TEST(MeasuresTest, MedianOfOddAndEvenCounts)
{
  EXPECT_DOUBLE_EQ(qbench::median({3, 1, 2}), 2.0);
  EXPECT_DOUBLE_EQ(qbench::median({4, 1, 3, 2}), 2.5);
  EXPECT_TRUE(std::isnan(qbench::median({})));
}

} // namespace
