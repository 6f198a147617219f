#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

#include "engine/dsp/voicePrimitives.h"

namespace {

TEST(Crossfade, RunsFromZeroToOneFlatAtBothEnds) {
  EXPECT_EQ(crossfadeCurve(0.0f), 0.0f);
  EXPECT_EQ(crossfadeCurve(0.5f), 0.5f);
  EXPECT_EQ(crossfadeCurve(1.0f), 1.0f);
  EXPECT_LT(crossfadeCurve(0.01f), 1e-5f);
  EXPECT_GT(crossfadeCurve(0.99f), 1.0f - 1e-5f);
  EXPECT_EQ(rampValue(0.0f, 1.0f, 16), 0.0048f);
  EXPECT_EQ(rampValue(0.9999f, 1.0f, 16), 1.0f);
  EXPECT_EQ(rampValue(0.5f, 0.4999f, 1), 0.4999f);
}

TEST(CurveLookup, PassesThroughTheTableAndStaysInsideItsGuards) {
  for (int i : {0, 1, 64, 128, 252, 253, 255}) EXPECT_FLOAT_EQ(curveLookup(i), envelopeCurve[i]) << i;
  EXPECT_EQ(curveLookup(-3.0), 0.0f);
  EXPECT_EQ(curveLookup(300.0), 1.0f);
  EXPECT_EQ(curveLookup(std::nan("")), 0.0f);
  // Rising over the curve's smooth part (it steps to 1.0 at 253).
  float previous = 0.0f;
  for (double level = 0.0; level <= 250.0; level += 0.25) {
    const float v = curveLookup(level);
    ASSERT_GE(v, previous - 1e-6f) << level;
    previous = v;
  }
}

TEST(CubicSample, HitsTheSamplesAndFollowsAStraightLineExactly) {
  // A ramp with its guards: data[0] = data[1], end guards repeat the loop start (1).
  std::vector<int16_t> d = {0, 0, 100, 200, 300, 400, 0, 100};
  for (int i = 1; i <= 4; ++i) EXPECT_FLOAT_EQ(cubicSample(d.data(), i, 0.0f), d[i]);
  EXPECT_FLOAT_EQ(cubicSample(d.data(), 2, 0.25f), 125.0f);
  EXPECT_FLOAT_EQ(cubicSample(d.data(), 3, 0.5f), 250.0f);
  // Backwards: from data[i + 1] toward data[i].
  EXPECT_FLOAT_EQ(cubicSampleReverse(d.data(), 5, 2, 0.0f), 200.0f);
  EXPECT_FLOAT_EQ(cubicSampleReverse(d.data(), 5, 2, 0.5f), 150.0f);
}

TEST(CubicSample, TheFirstReversedStepReadsNoFurtherThanTheLastGuard) {
  // Exactly size + 3 values, as a sample bank holds them: a read past the end trips the
  // sanitizer, and the result must not depend on anything beyond the guards.
  const int32_t size = 4;
  auto d = std::make_unique<int16_t[]>(size + 3);
  const int16_t values[] = {10, 10, 20, 30, 40, 10, 20};
  std::copy(std::begin(values), std::end(values), d.get());
  const float first = cubicSampleReverse(d.get(), size, size + 1, 0.0f);
  EXPECT_FLOAT_EQ(first, d[size + 2]);
  EXPECT_TRUE(std::isfinite(cubicSampleReverse(d.get(), size, size + 1, 0.7f)));
}

TEST(ReadPosition, LoopsWrapByTheLoopLengthAndOneShotsStop) {
  struct Case {
    int32_t index;
    float accumulator;
    int32_t loopStart;
    int32_t wantIndex;
    float wantFraction;
    bool wantStopped;
  };
  // A sample of size 10.
  const Case cases[] = {
      {3, 1.25f, 7, 4, 0.25f, false},    // inside: plain advance
      {10, 1.0f, 7, 7, 0.0f, false},     // one past the end lands on the loop start
      {9, 3.5f, 7, 8, 0.5f, false},      // 12 -> 8
      {10, 9.5f, 7, 7, 0.5f, false},     // a step of more than the 4-value loop stays in it
      {10, 1.0f, 10, 10, 0.0f, false},   // a loop of one value
      {10, 1.0f, 1, 1, 0.0f, false},     // loopStart 1 repeats the whole sample
      {10, 25.0f, 1, 5, 0.0f, false},    // 35 -> 5
      {9, 2.75f, 0, 10, 0.0f, true},     // one-shot: stops on its last value
      {10, 0.0f, 0, 10, 0.0f, false},    // a stopped layer (step 0) stays
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.index << " + " << c.accumulator << " loop " << c.loopStart);
    int32_t index = c.index;
    bool stopped = false;
    const float f = advanceReadPosition(index, c.accumulator, 10, c.loopStart, stopped);
    EXPECT_EQ(index, c.wantIndex);
    EXPECT_FLOAT_EQ(f, c.wantFraction);
    EXPECT_EQ(stopped, c.wantStopped);
  }
}

// Runs an envelope sub-block by sub-block as a render does (step added once per sample) and
// returns the output after each sub-block.
std::vector<float> runAdsr(float attackTime, float sustain, EnvelopeState& e, const EnvelopeRates& r, int blocks,
                           int n = 16) {
  std::vector<float> outputs;
  for (int b = 0; b < blocks; ++b) {
    adsrStep(attackTime, sustain, e, r, n);
    for (int i = 0; i < n; ++i) e.output = std::max(e.output + e.step, 0.0f);
    outputs.push_back(e.output);
  }
  return outputs;
}

TEST(Adsr, AttackDecaySustainReleaseFollowTheirRates) {
  EnvelopeState e{kEnvAttack, 0.0, 0.0f, 0.0f, 0.0f};
  const EnvelopeRates rates{25.5, 12.75, 51.0};  // 10 sub-blocks up, 20 down, 5 out
  const auto up = runAdsr(0.5f, 0.25f, e, rates, 10);
  for (int b = 0; b < 10; ++b) EXPECT_NEAR(up[b], (b + 1) / 10.0f, 1e-5) << b;
  EXPECT_EQ(e.state, kEnvAttack);
  const auto down = runAdsr(0.5f, 0.25f, e, rates, 20);
  EXPECT_EQ(e.state, kEnvDecay);
  // The decay follows the envelope curve from 1 down to the sustain level.
  EXPECT_NEAR(down[9], 0.25f + 0.75f * curveLookup(255.0 - 10 * 12.75), 1e-4);
  EXPECT_NEAR(down[19], 0.25f, 1e-4);
  runAdsr(0.5f, 0.25f, e, rates, 1);
  EXPECT_EQ(e.state, kEnvSustain);
  EXPECT_NEAR(e.output, 0.25f, 1e-5);
  // Release from wherever the output stands.
  e.state = kEnvRelease;
  e.level = 255.0;
  e.releaseFrom = e.output;
  const auto out = runAdsr(0.5f, 0.25f, e, rates, 5);
  EXPECT_NEAR(out[1], 0.25f * curveLookup(255.0 - 2 * 51.0), 1e-5);
  EXPECT_NEAR(out[4], 0.0f, 1e-6);
  EXPECT_EQ(e.level, 0.0);
}

TEST(Adsr, AnInstantAttackStartsAtFullAndDecaysInTheSameSubBlock) {
  EnvelopeState e{kEnvAttack, 0.0, 0.0f, 0.0f, 0.0f};
  adsrStep(0.0f, 0.5f, e, EnvelopeRates{1.0, 25.5, 1.0}, 16);
  EXPECT_EQ(e.state, kEnvDecay);
  EXPECT_EQ(e.output, 1.0f);
  EXPECT_LT(e.step, 0.0f);
  EXPECT_NEAR(e.level, 255.0 - 25.5, 1e-9);
}

TEST(Adsr, ASustainOfZeroEndsTheDecayAtSilence) {
  EnvelopeState e{kEnvAttack, 0.0, 0.0f, 0.0f, 0.0f};
  const auto out = runAdsr(0.0f, 0.0f, e, EnvelopeRates{1.0, 64.0, 1.0}, 8);
  EXPECT_EQ(e.state, kEnvSustain);
  EXPECT_LE(out.back(), 1e-6f);
}

TEST(ArEnvelope, HoldsAtFullWhileHoldIsSetElseFallsAlongTheCurve) {
  for (bool hold : {true, false}) {
    SCOPED_TRACE(hold);
    EnvelopeState e{kEnvAttack, 0.0, 0.0f, 0.0f, 0.0f};
    arStep(hold, 0.0f, e, 10.0, 51.0, 16);
    EXPECT_EQ(e.state, hold ? kEnvHold : kEnvRelease);
    for (int i = 0; i < 16; ++i) e.output += e.step;
    const float want = hold ? 1.0f : curveLookup(255.0 - 51.0);
    EXPECT_NEAR(e.output, want, 1e-5);
  }
}

// Steady-state amplitude of a sine at frequency hz through the sections.
float sineGain(const FilterSection* sections, int count, float hz, float rate) {
  float memory[4] = {};
  float peak = 0.0f;
  const int length = int(rate);  // one second; the last quarter is measured
  for (int i = 0; i < length; ++i) {
    const float x = float(std::sin(2.0 * std::numbers::pi * hz * i / rate));
    const float y = count == 1 ? biquadTwoPole(sections, memory, x) : biquadFourPole(sections, memory, x);
    if (i > length * 3 / 4) peak = std::max(peak, std::fabs(y));
  }
  return peak;
}

TEST(LowPass, CutoffMapsFrom19HzTo20kHzUnderTheRateLimit) {
  EXPECT_NEAR(lowPassCutoffHz(0.0f, 44100.0f), 20.0f, 1e-4);
  EXPECT_NEAR(lowPassCutoffHz(1.0f, 44100.0f), 20000.0f, 2.0f);
  EXPECT_FLOAT_EQ(lowPassCutoffHz(1.0f, 32000.0f), 14720.0f);
}

TEST(LowPass, UnityAtLowFrequenciesThreeDecibelsDownAtTheCutoffAndResonancePeaks) {
  const float rate = 44100.0f;
  const float x = 0.7f;
  const float fc = lowPassCutoffHz(x, rate);
  for (int slope : {1, 2}) {
    SCOPED_TRACE(slope);
    FilterSection s[2];
    const int count = lowPassCoefficients(x, 0.0f, rate, slope, s);
    EXPECT_EQ(count, slope == 1 ? 1 : 2);
    EXPECT_NEAR(sineGain(s, count, 20.0f, rate), 1.0f, 2e-3);
    EXPECT_NEAR(20.0f * std::log10(sineGain(s, count, fc, rate)), -3.01f, 0.1f);
    // An octave above, the 4-pole falls twice as steeply.
    const float octave = 20.0f * std::log10(sineGain(s, count, 2.0f * fc, rate));
    EXPECT_NEAR(octave, slope == 1 ? -12.3f : -24.1f, 1.0f);
    lowPassCoefficients(x, 1.0f, rate, slope, s);
    EXPECT_GT(sineGain(s, count, fc, rate), 2.0f);
  }
}

TEST(Lfo, WavesAtKnownPhases) {
  struct Case {
    int32_t wave;
    int32_t index;
    float fraction;
    float want;
  };
  const Case cases[] = {
      {0, 0, 0.0f, 0.0f},     {0, 64, 0.0f, 1.0f},     {0, 192, 0.0f, -1.0f},   {1, 64, 0.0f, -1.0f},
      {0, 32, 0.5f, float((std::sin(2 * std::numbers::pi * 32 / 256) + std::sin(2 * std::numbers::pi * 33 / 256)) / 2)},
      {2, 0, 0.0f, 0.0f},     {2, 32, 0.0f, 128.0f / 255}, {2, 128, 0.0f, 2.0f - 512.0f / 255},
      {3, 32, 0.0f, -128.0f / 255},
      {4, 0, 0.0f, -1.0f},    {4, 255, 0.0f, 1.0f},    {5, 0, 0.0f, 1.0f},
      {6, 127, 0.9f, 1.0f},   {6, 128, 0.0f, -1.0f},   {7, 0, 0.0f, -1.0f},
      {10, 64, 0.0f, 0.0f},   {-1, 64, 0.0f, 0.0f},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "wave " << c.wave << " at " << c.index + c.fraction);
    LfoState p{c.index, c.fraction, 0, 0.0f, 1};
    EXPECT_NEAR(lfoValue(c.wave, p), c.want, 1e-5);
  }
}

TEST(Lfo, WholeStepsOfTheFractionMoveTheIndexAroundTheCycle) {
  LfoState p{250, 10.25f, 0, 0.0f, 1};
  lfoValue(0, p);
  EXPECT_EQ(p.index, 4);
  EXPECT_FLOAT_EQ(p.fraction, 0.25f);
}

TEST(Lfo, RandomWavesChangeOnlyWhenACycleBegins) {
  for (int wave : {8, 9}) {
    SCOPED_TRACE(wave);
    LfoState p{0, 0.0f, 0, 0.0f, 12345};
    float previous = lfoValue(wave, p);
    int changes = 0;
    for (int cycle = 0; cycle < 200; ++cycle) {
      for (int step = 0; step < 8; ++step) {
        p.fraction += 32.0f;  // 8 calls per cycle
        const float v = lfoValue(wave, p);
        if (step < 7) {
          ASSERT_EQ(v, previous) << "a value changed inside a cycle";
        }
        if (v != previous) {
          ++changes;
          if (wave == 8) {
            ASSERT_LE(std::fabs(v - previous), 0.005f + 1e-6f);
          }
        }
        ASSERT_LE(std::fabs(v), 1.0f);
        previous = v;
      }
    }
    EXPECT_GT(changes, 100);
  }
}

}  // namespace
