// The insert reverbs: the gate reverb's combs and all-passes and the feedback-network reverbs
// (room, hall, spring).

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "effects/CIFXFdnReverb.h"
#include "effects/CIFXGateReverb.h"
#include "insertEffectDriver.h"

namespace {

using fx_test::Host;
using fx_test::rms;

TEST(GateReverb, LineLengthsArePrimesScaledFromTheBaseLengths) {
  struct Case {
    float rate;
    int combs[6];
    int allpasses[8];
  } const cases[] = {
      {44100.0f, {601, 691, 773, 839, 919, 1061}, {347, 113, 37, 59, 53, 43, 31, 29}},
      {48000.0f, {659, 757, 853, 919, 1009, 1163}, {379, 127, 41, 67, 59, 47, 37, 37}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.rate);
    CIFXGateReverb fx;
    fx.setSampleRate(c.rate);
    for (int k = 0; k < 6; ++k) EXPECT_EQ(fx.getCombLength(k), c.combs[k]) << "comb " << k;
    for (int j = 0; j < 8; ++j) EXPECT_EQ(fx.getAllPassLength(j), c.allpasses[j]) << "all-pass " << j;
  }
}

TEST(GateReverb, TimeSetsTheCombGains) {
  struct Case {
    float time;
    int comb;
    float gain;
  } const cases[] = {
      {0.0f, 0, 0.0f}, {0.0f, 5, 0.0f}, {1.0f, 0, 0.98135f}, {1.0f, 5, 0.96731f},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.time << " comb " << c.comb);
    CIFXGateReverb fx;
    fx.setSampleRate(44100.0f);
    const float params[3] = {c.time, 0.5f, 0.5f};
    fx.setParameters(params);
    EXPECT_NEAR(fx.getCombGain(c.comb), c.gain, 1e-5f);
  }
}

TEST(FdnReverbs, LineLengthsAndPredelaysFollowTheRate) {
  const int at44[12] = {601, 691, 773, 919, 1093, 1187, 1297, 1483, 1693, 2011, 2687, 3313};
  const int at48[12] = {659, 757, 853, 1009, 1193, 1297, 1423, 1619, 1847, 2203, 2927, 3607};
  struct Case {
    int type;
    float rate;
    const int* lengths;
    int predelay;
  } const cases[] = {
      {31, 44100.0f, at44, 662}, {32, 44100.0f, at44, 1764}, {33, 44100.0f, at44, 0},
      {31, 48000.0f, at48, 720}, {32, 48000.0f, at48, 1920}, {33, 48000.0f, at48, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "type " << c.type << " at " << c.rate);
    auto fx = fx_test::buildEffect(c.type);
    fx->setSampleRate(c.rate);
    const auto& reverb = dynamic_cast<const CIFXFdnReverbPr&>(*fx);
    for (int k = 0; k < 12; ++k) EXPECT_EQ(reverb.getLineLength(k), c.lengths[k]) << k;
    EXPECT_EQ(reverb.getPredelayLength(), c.predelay);
  }
}

// The impulse response of a reverb (type) at LEVEL 1, with TIME and TONE given, both channels
// fed a unit impulse on frame 0, from a clear state.
struct Response {
  std::vector<float> left, right;
};

Response impulseResponse(int type, float time, float tone, size_t frames) {
  auto fx = fx_test::buildEffect(type);
  Host host;
  host.params[0] = time;
  host.params[1] = tone;
  host.params[2] = 1.0f;
  fx->setSampleRate(host.rate);
  fx->smoothed[2] = 1.0f;  // LEVEL already there: no glide from mid-range
  fx->setParameters(host.params);
  fx->smoothed[1] = tone;
  Response r{std::vector<float>(frames, 0.0f), std::vector<float>(frames, 0.0f)};
  r.left[0] = r.right[0] = 1.0f;
  host.run(*fx, r.left, r.right);
  return r;
}

TEST(InsertReverbs, FirstEchoComesWhenTheLinesFirstYieldData) {
  // After a clear every line yields 0 for its first length - 1 frames. The feedback reverbs
  // add half the pre-delayed input at once (after their pre-delay); the first line (601 frames)
  // answers 600 frames later. The gate reverb has no direct path: its shortest comb answers on
  // frame 600.
  struct Case {
    int type;
    size_t direct;  // frame of the pre-delayed input, or 0 for none besides the dry impulse
    float directLevel;
    size_t firstEcho;
  } const cases[] = {
      {30, 0, 0.0f, 600}, {31, 662, 0.5f, 662 + 600}, {32, 1764, 0.5f, 1764 + 600},
      {33, 0, 0.5f, 600},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.type);
    const Response r = impulseResponse(c.type, 0.5f, 0.5f, 4000);
    EXPECT_FLOAT_EQ(r.left[0], 1.0f + (c.direct == 0 ? c.directLevel : 0.0f));
    for (size_t i = 1; i < c.firstEcho; ++i) {
      const float expected = (c.direct != 0 && i == c.direct) ? c.directLevel : 0.0f;
      ASSERT_EQ(r.left[i], expected) << i;
      ASSERT_EQ(r.right[i], expected) << i;
    }
    EXPECT_NE(r.left[c.firstEcho], 0.0f);
  }
}

TEST(InsertReverbs, TimeSetsTheDecay) {
  // TIME 1 decays 60 dB in 5 s (the gate reverb) or a little faster where the damping takes
  // the highs away (the network reverbs, damping corner at 21 kHz here): between 0.5-1 s and
  // 2.5-3 s the level falls by about 24 dB. TIME 0 leaves almost nothing after half a second.
  struct Case {
    int type;
    double minDrop, maxDrop;  // dB over the 2 s
  } const cases[] = {{30, 22.5, 25.5}, {31, 24.0, 29.0}, {32, 24.0, 29.0}, {33, 24.0, 29.0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.type);
    const Response slow = impulseResponse(c.type, 1.0f, 1.0f, 3 * 44100);
    const double early = rms(slow.left, 22050, 44100), late = rms(slow.left, 110250, 132300);
    const double drop = 20.0 * std::log10(early / late);
    EXPECT_GT(drop, c.minDrop);
    EXPECT_LT(drop, c.maxDrop);

    const Response fast = impulseResponse(c.type, 0.0f, 1.0f, 44100);
    EXPECT_LT(rms(fast.left, 22050, 44100), early * 1e-3);
  }
}

TEST(InsertReverbs, LeftAndRightTailsDiffer) {
  // The outputs take the lines with different sign patterns (or, in the gate reverb, through
  // different all-passes), so a mono input becomes a stereo tail, neither equal nor opposite
  // on the two sides.
  for (int type : {30, 31, 32, 33}) {
    SCOPED_TRACE(type);
    const Response r = impulseResponse(type, 0.6f, 0.5f, 44100);
    double lr = 0.0, ll = 0.0, rr = 0.0;
    for (size_t i = 8000; i < r.left.size(); ++i) {
      lr += double(r.left[i]) * r.right[i];
      ll += double(r.left[i]) * r.left[i];
      rr += double(r.right[i]) * r.right[i];
    }
    ASSERT_GT(ll, 0.0);
    EXPECT_LT(std::fabs(lr / std::sqrt(ll * rr)), 0.8);
  }
}

TEST(InsertReverbs, ClearRestartsFromSilenceAndARateChangeRebuilds) {
  for (int type : {30, 31, 32, 33}) {
    SCOPED_TRACE(type);
    auto fx = fx_test::buildEffect(type);
    Host host;
    host.params[0] = 1.0f;
    auto left = fx_test::sine(500.0f, host.rate, 20000), right = left;
    host.run(*fx, left, right);
    fx->clear();
    std::vector<float> l(2000, 0.0f), r(2000, 0.0f);
    host.run(*fx, l, r);
    EXPECT_EQ(fx_test::peak(l, 0, l.size()), 0.0f);
    EXPECT_EQ(fx_test::peak(r, 0, r.size()), 0.0f);

    left = fx_test::sine(500.0f, host.rate, 20000);
    right = left;
    host.run(*fx, left, right);
    host.rate = 48000.0f;  // a new rate rebuilds the lines empty
    std::fill(l.begin(), l.end(), 0.0f);
    std::fill(r.begin(), r.end(), 0.0f);
    host.run(*fx, l, r);
    EXPECT_EQ(fx_test::peak(l, 0, l.size()), 0.0f);
  }
}

}  // namespace
