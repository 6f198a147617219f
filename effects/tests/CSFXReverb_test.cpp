#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "effectTestSupport.h"
#include "effects/CSFXReverb.h"

namespace {

using effect_test::run;
using effect_test::Stereo;

// A reverb at a rate, settled on its parameters (LEVEL smoothing done) and cleared.
struct SettledReverb {
  CSFXReverb reverb;
  float params[4];

  SettledReverb(float rate, float predelay, float time, float tone, float level)
      : params{predelay, time, tone, level} {
    reverb.setSampleRate(rate);
    reverb.clear();
    Stereo silence(4000);
    run(reverb, silence, [&](CSFXReverb& r) { r.setParameters(params); });
    reverb.clear();
  }

  void process(Stereo& audio) {
    run(reverb, audio, [&](CSFXReverb& r) { r.setParameters(params); });
  }
};

TEST(CSFXReverb, LineLengthsArePrimesScaledFromTheRate) {
  struct Case {
    float rate;
    int lengths[12];
    int predelayCapacity;
  } const cases[] = {
      {44100.0f, {601, 691, 773, 919, 1093, 1187, 1297, 1483, 1693, 2011, 2687, 3313}, 6615},
      {48000.0f, {659, 757, 853, 1009, 1193, 1297, 1423, 1619, 1847, 2203, 2927, 3607}, 7200},
      {96000.0f, {1319, 1511, 1693, 2003, 2381, 2591, 2833, 3229, 3691, 4391, 5849, 7213}, 14400},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.rate);
    CSFXReverb reverb;
    reverb.setSampleRate(c.rate);
    for (int k = 0; k < 12; ++k) EXPECT_EQ(reverb.getLineLength(k), c.lengths[k]) << "line " << k;
    EXPECT_EQ(reverb.getPredelayCapacity(), c.predelayCapacity);
  }
  // The rule itself at the small end: 0 or an even count moves to the next odd prime.
  EXPECT_EQ(delayLineLength(601, 100.0f), 1);
  EXPECT_EQ(delayLineLength(100, 44100.0f), 101);
  EXPECT_EQ(delayLineLength(114, 44100.0f), 127);
  EXPECT_EQ(delayLineLength(601, 0.0f), 0);
}

TEST(CSFXReverb, PredelayDelaysTheMonoSendAtUnity) {
  // LEVEL 0 leaves only the pre-delayed mono send, (left + right) / 2 on both sides.
  struct Case {
    float predelay;
    size_t frames;
  } const cases[] = {{0.0f, 1}, {1.0f, 6615}, {0.5f, 1654}};  // 0.5 applies a quarter
  for (const auto& c : cases) {
    SCOPED_TRACE(c.predelay);
    SettledReverb settled(44100.0f, c.predelay, 0.5f, 0.5f, 0.0f);
    Stereo audio(7000);
    audio.left[0] = 1.0f;
    audio.right[0] = 0.5f;
    settled.process(audio);
    for (size_t i = 0; i < audio.size(); ++i) {
      const float expected = i == c.frames ? 0.75f : 0.0f;
      ASSERT_EQ(audio.left[i], expected) << "frame " << i;
      ASSERT_EQ(audio.right[i], expected) << "frame " << i;
    }
  }
}

TEST(CSFXReverb, AGrowingPredelayAfterAClearNeverReadsTheOldTail) {
  SettledReverb settled(44100.0f, 0.0f, 0.5f, 0.5f, 0.0f);
  Stereo loud(6615);
  for (size_t i = 0; i < loud.size(); ++i) loud.left[i] = loud.right[i] = 1.0f;
  settled.process(loud);  // the whole pre-delay buffer holds 1.0
  settled.reverb.clear();
  Stereo first(100);  // a short pre-delay reaches written data at once
  settled.process(first);
  settled.params[0] = 1.0f;  // now the read position jumps back into unwritten space
  Stereo rest(6000);
  settled.process(rest);
  for (size_t i = 0; i < rest.size(); ++i) ASSERT_EQ(rest.left[i], 0.0f) << "frame " << i;
}

TEST(CSFXReverb, ClearSilencesTheNetwork) {
  SettledReverb settled(44100.0f, 0.0f, 1.0f, 0.5f, 1.0f);
  Stereo loud(10000);
  effect_test::Noise noise(7);
  for (size_t i = 0; i < loud.size(); ++i) loud.left[i] = loud.right[i] = noise.next();
  settled.process(loud);
  settled.reverb.clear();
  Stereo after(20000);
  settled.process(after);
  for (size_t i = 0; i < after.size(); ++i) ASSERT_EQ(after.left[i], 0.0f) << "frame " << i;
}

// Decay time from the impulse response by backward integration: the energy decay curve falls
// 60 dB in T seconds, measured as twice the fall from -15 to -45 dB. The late part is used
// because the damping removes the highest frequencies within the first passes.
double measuredDecaySeconds(float rate, float time, float tone) {
  SettledReverb settled(rate, 0.0f, time, tone, 1.0f);
  const double seconds = time * 4.9 + 0.1;
  Stereo audio(static_cast<size_t>(rate * (1.5 * seconds + 0.5)));
  audio.left[0] = audio.right[0] = 1.0f;
  settled.process(audio);
  audio.left[1] = 0.0f;  // the direct, pre-delayed send
  std::vector<double> energy(audio.size() + 1, 0.0);
  for (size_t i = audio.size(); i-- > 0;)
    energy[i] = energy[i + 1] + double(audio.left[i]) * audio.left[i];
  auto crossing = [&](double decibels) {
    const double threshold = energy[0] * std::pow(10.0, decibels / 10.0);
    size_t i = 0;
    while (i < audio.size() && energy[i] > threshold) ++i;
    return i / double(rate);
  };
  return 2.0 * (crossing(-45.0) - crossing(-15.0));
}

TEST(CSFXReverb, DecayTimeFollowsTime) {
  // Bright tone, so the damping shortens the decay as little as possible; the tolerance covers
  // the damping that remains and the grain of a twelve-line network.
  constexpr double kTolerance = 0.12;
  struct Case {
    float rate, time;
  } const cases[] = {{44100.0f, 0.2f}, {44100.0f, 0.5f}, {44100.0f, 1.0f}, {96000.0f, 0.5f}};
  for (const auto& c : cases) {
    const double expected = c.time * 4.9 + 0.1;
    SCOPED_TRACE(testing::Message() << c.rate << " Hz, T = " << expected << " s");
    EXPECT_NEAR(measuredDecaySeconds(c.rate, c.time, 1.0f), expected, expected * kTolerance);
  }
  // A dark tone damps the highs on every pass: the decay gets shorter, never longer.
  EXPECT_LT(measuredDecaySeconds(44100.0f, 0.5f, 0.0f), measuredDecaySeconds(44100.0f, 0.5f, 1.0f));
}

// The host's block size is no part of the sound: calls of any length give the tail a call of one
// frame at a time gives, through several trips around every line, also at rates whose lines are
// shorter than the frames the network takes together.
TEST(CSFXReverb, TheTailIsTheSameWhateverTheCallsLength) {
  struct Case {
    float rate;
    int frames;  // per call
  } const cases[] = {{44100.0f, 16}, {44100.0f, 4096}, {44100.0f, 7}, {96000.0f, 100}, {800.0f, 16}, {800.0f, 5}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.rate << " Hz, " << c.frames << " frames a call");
    const size_t length = static_cast<size_t>(c.rate * 0.4f);
    auto render = [&](int frames) {
      SettledReverb settled(c.rate, 0.1f, 0.8f, 0.5f, 1.0f);
      Stereo audio(length);
      effect_test::Noise noise(3);
      for (size_t i = 0; i < length / 8; ++i) {
        audio.left[i] = noise.next();
        audio.right[i] = noise.next();
      }
      for (size_t at = 0; at < length; at += static_cast<size_t>(frames)) {
        const int n = static_cast<int>(std::min<size_t>(static_cast<size_t>(frames), length - at));
        settled.reverb.setParameters(settled.params);
        settled.reverb.process(audio.left.data() + at, audio.right.data() + at, n);
      }
      return audio;
    };
    const Stereo single = render(1), calls = render(c.frames);
    double energy = 0.0;
    for (size_t i = 0; i < length; ++i) {
      ASSERT_NEAR(calls.left[i], single.left[i], 1e-5f) << "frame " << i;
      ASSERT_NEAR(calls.right[i], single.right[i], 1e-5f) << "frame " << i;
      if (i >= length / 2) energy += double(single.left[i]) * single.left[i];
    }
    EXPECT_GT(energy, 1e-6);  // the compared stretch has a tail to compare
  }
}

TEST(CSFXReverb, OutputsCarryTheSignPatternsOfTheTaps) {
  // Left and right taps differ on half of the lines: the two sides are decorrelated but not
  // silent, and the network is energy-preserving enough that LEVEL 1 is not louder than the send.
  SettledReverb settled(44100.0f, 0.0f, 0.5f, 1.0f, 1.0f);
  Stereo audio(44100);
  audio.left[0] = audio.right[0] = 1.0f;
  settled.process(audio);
  double ll = 0, rr = 0, lr = 0;
  for (size_t i = 2; i < audio.size(); ++i) {
    ll += double(audio.left[i]) * audio.left[i];
    rr += double(audio.right[i]) * audio.right[i];
    lr += double(audio.left[i]) * audio.right[i];
  }
  EXPECT_GT(ll, 0.1);
  EXPECT_GT(rr, 0.1);
  EXPECT_LT(std::fabs(lr) / std::sqrt(ll * rr), 0.5);
}

TEST(CSFXReverb, Displays) {
  struct Case {
    int index;
    float value;
    const char* text;
  } const cases[] = {
      {0, 0.5f, "75.0 ms"},  {0, 1.0f, "150.0 ms"}, {1, 0.0f, "0.10 sec"}, {1, 1.0f, "5.00 sec"},
      {2, 0.3f, "30.0 %"},   {3, 1.0f, "0.00 dB"},  {3, 0.0f, "-oo"},
  };
  CSFXReverb reverb;
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.index << " " << c.value);
    char text[kEffectDisplayTextSize] = "";
    reverb.getParameterDisplay(c.index, c.value, text);
    EXPECT_STREQ(text, c.text);
  }
}

TEST(CSFXReverb, WithoutAUsableSampleRateTheSendPassesUntouched) {
  for (float rate : {-1.0f, 0.0f, NAN, 1e12f}) {
    SCOPED_TRACE(rate);
    CSFXReverb reverb;
    if (rate != -1.0f) reverb.setSampleRate(rate);
    reverb.clear();
    const float params[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    reverb.setParameters(params);
    float left[16], right[16];
    for (int i = 0; i < 16; ++i) left[i] = right[i] = 0.1f * i;
    reverb.process(left, right, 16);
    for (int i = 0; i < 16; ++i) ASSERT_EQ(right[i], 0.1f * i);
  }
}

}  // namespace
