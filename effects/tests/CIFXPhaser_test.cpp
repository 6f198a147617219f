#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "effects/CIFXPhaser.h"
#include "insertEffectDriver.h"

namespace {

using fx_test::Host;
using fx_test::rms;

// A phaser with its smoothed WIDTH and FBK already at the given settings. RATE "8/1" at 40 BPM
// makes a 48 s cycle: over a second the corner stands practically still.
void settle(CIFXPhaser& fx, Host& host, float width, float feedback) {
  host.tempo = 40.0;
  host.params[0] = 0.0f;
  host.params[1] = width;
  host.params[2] = feedback;
  fx.setSampleRate(host.rate);
  fx.setParameters(host.params);
  fx.smoothed[1] = width;
  fx.smoothed[2] = feedback;
  fx.clear();
}

TEST(Phaser, StageChainIsAnAllPass) {
  // Without feedback the output is (input + chain) / 2, so the chain's output is
  // 2 x output - input: its level equals the input's at every frequency and corner.
  for (float sampleRate : {44100.0f, 48000.0f}) {
    for (float width : {0.0f, 1.0f}) {
      for (float frequency : {30.0f, 200.0f, 1000.0f, 5000.0f, 15000.0f}) {
        SCOPED_TRACE(testing::Message() << sampleRate << " Hz, width " << width << ", "
                                        << frequency << " Hz");
        CIFXPhaser fx;
        Host host;
        host.rate = sampleRate;
        settle(fx, host, width, 0.0f);
        const size_t n = static_cast<size_t>(sampleRate);
        const auto input = fx_test::sine(frequency, sampleRate, n, 0.5f);
        auto left = input, right = input;
        host.run(fx, left, right);
        std::vector<float> chain(n);
        for (size_t i = 0; i < n; ++i) chain[i] = 2.0f * left[i] - input[i];
        EXPECT_NEAR(rms(chain, n / 2, n) / rms(input, n / 2, n), 1.0, 0.01);
      }
    }
  }
}

TEST(Phaser, SweepCutsNotchesThatMoveWithWidth) {
  // The dry and the shifted signal cancel where the chain turns the phase by half a cycle:
  // somewhere between 50 Hz and 8 kHz for a wide sweep, while a narrow one leaves 2 kHz alone.
  auto levelAt = [](float width, float frequency) {
    CIFXPhaser fx;
    Host host;
    settle(fx, host, width, 0.0f);
    const auto input = fx_test::sine(frequency, host.rate, 22050);
    auto left = input, right = input;
    host.run(fx, left, right);
    return rms(left, 11025, 22050) / rms(input, 11025, 22050);
  };
  double deepest = 1.0;
  for (float f = 500.0f; f < 8000.0f; f *= 1.05f) deepest = std::min(deepest, levelAt(1.0f, f));
  EXPECT_LT(deepest, 0.05);
  EXPECT_GT(levelAt(0.0f, 2000.0f), 0.95);
}

TEST(Phaser, FeedbackActsAtTheEdgesOfTheSpectrum) {
  // Every stage is -1 at DC and +1 at half the rate: the chain passes both unchanged. The
  // feedback takes the last stage's output of the previous frame, so full feedback (0.99)
  // raises DC by (1 + 1 / (1 - 0.99)) / 2 = 50.5, while at half the rate the frame's delay
  // turns it negative: (1 + 1 / (1 + 0.99)) / 2 = 0.7513.
  struct Case {
    float feedback;
    bool nyquist;
    float gain;
  } const cases[] = {
      {0.0f, false, 1.0f}, {0.0f, true, 1.0f}, {1.0f, false, 50.5f}, {1.0f, true, 0.7513f},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "fbk " << c.feedback << (c.nyquist ? " nyquist" : " dc"));
    CIFXPhaser fx;
    Host host;
    settle(fx, host, 1.0f, c.feedback);
    const size_t n = 44100;
    std::vector<float> left(n), right(n);
    for (size_t i = 0; i < n; ++i) left[i] = right[i] = (c.nyquist && (i & 1)) ? -0.01f : 0.01f;
    host.run(fx, left, right);
    EXPECT_NEAR(std::fabs(left.back()) / 0.01f, c.gain, c.gain * 0.01f);
    EXPECT_NEAR(std::fabs(right.back()) / 0.01f, c.gain, c.gain * 0.01f);
  }
}

TEST(Phaser, ClearSilencesTheFeedbackPath) {
  CIFXPhaser fx;
  Host host;
  settle(fx, host, 1.0f, 1.0f);
  auto left = fx_test::sine(300.0f, host.rate, 4410), right = left;
  host.run(fx, left, right);
  fx.clear();
  std::vector<float> silentLeft(64, 0.0f), silentRight(64, 0.0f);
  host.run(fx, silentLeft, silentRight);
  // Only the constant 1.1e-7 offset of the feedback path is left, far below hearing.
  EXPECT_LT(fx_test::peak(silentLeft, 0, 64), 1e-6f);
  EXPECT_LT(fx_test::peak(silentRight, 0, 64), 1e-6f);
}

}  // namespace
