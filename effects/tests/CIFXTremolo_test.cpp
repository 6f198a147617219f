#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <vector>

#include "effects/CIFXTremolo.h"
#include "insertEffectDriver.h"

namespace {

using fx_test::Host;

TEST(TremoloAndAutoPan, GlideFromTheMiddleAfterClear) {
  // DEPTH 0: the tremolo settles at gain 1 in about 1667 frames, the auto pan stays at the
  // middle and halves both channels.
  CIFXTremolo tremolo;
  CIFXAutoPan pan;
  Host host;
  host.params[2] = 0.0f;
  tremolo.clear();
  pan.clear();
  std::vector<float> tl(2000, 1.0f), tr(2000, 1.0f), pl(2000, 1.0f), pr(2000, 1.0f);
  host.run(tremolo, tl, tr);
  host.position = 0.0;
  host.run(pan, pl, pr);
  EXPECT_FLOAT_EQ(tl[0], 0.5003f);
  EXPECT_LT(tl[1600], 1.0f);
  EXPECT_FLOAT_EQ(tl[1667], 1.0f);
  EXPECT_EQ(tl, tr);
  for (size_t i = 0; i < pl.size(); ++i) {
    ASSERT_FLOAT_EQ(pl[i], 0.5f) << i;
    ASSERT_FLOAT_EQ(pr[i], 0.5f) << i;
  }
}

// LFO shapes in one cycle position p (0..1).
float sineAt(float p) { return static_cast<float>(std::sin(2.0 * fx_test::kPi * p)); }
float triangleAt(float p) { return p < 0.25f ? 4.0f * p : (p < 0.75f ? 2.0f - 4.0f * p : 4.0f * p - 4.0f); }

TEST(TremoloAndAutoPan, FollowTheWaveInTimeWithTheSong) {
  // With a DC input the tremolo's output is its gain and the auto pan's right output its
  // position. At 120 BPM and "1/4" the LFO runs at 2 Hz; the value glides toward each block's
  // LFO value, so it lags by at most a block or so.
  struct Case {
    const char* name;
    bool pan;
    float wave;  // normalised WAVE
    std::function<float(float)> shape;
    float depth;
  } const cases[] = {
      {"tremolo sine", false, 0.0f, sineAt, 1.0f},
      {"tremolo triangle", false, 1.0f / 3.0f, triangleAt, 0.6f},
      {"pan sine", true, 0.0f, sineAt, 0.8f},
      {"pan triangle", true, 1.0f / 3.0f, triangleAt, 1.0f},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::unique_ptr<CIFX> fx = c.pan ? std::unique_ptr<CIFX>(new CIFXAutoPan)
                                     : std::unique_ptr<CIFX>(new CIFXTremolo);
    Host host;
    host.params[0] = c.wave;
    host.params[1] = 15.0f / 26.0f;  // "1/4"
    host.params[2] = c.depth;
    host.position = 0.3;
    fx->clear();
    float lo = 1.0f, hi = 0.0f;
    for (int block = 0; block < 44100 / 16; ++block) {
      const double start = host.position;
      float left[16], right[16];
      std::fill(left, left + 16, 1.0f);
      std::fill(right, right + 16, 1.0f);
      host.block(*fx, left, right, 16);
      const float lfo = c.shape(static_cast<float>(start - std::floor(start)));
      const float expected = c.pan ? lfo * 0.5f * c.depth + 0.5f
                                   : (lfo * 0.5f - 0.5f) * c.depth + 1.0f;
      const float value = right[15];
      if (c.pan) {
        EXPECT_NEAR(left[15], 1.0f - value, 1e-6f);
      }
      if (block > 200) {
        ASSERT_NEAR(value, expected, 0.02f) << "block " << block;
        lo = std::min(lo, value);
        hi = std::max(hi, value);
      }
    }
    EXPECT_NEAR(hi - lo, c.depth, 0.02f);
  }
}

TEST(TremoloAndAutoPan, JumpsOfTheSquareAndSawAreSlewLimited) {
  // DEPTH 1 with the square wave asks for jumps between 0 and 1, the saw for a jump from 1 to
  // 0; the gain moves at most 0.0003 a frame, so a full swing takes 3334 frames and never
  // clicks. (After the saw's jump the target rises again while the gain falls, so the gain
  // turns a little above 0.)
  struct Case {
    float wave, lowest;
  } const cases[] = {{2.0f / 3.0f, 0.05f}, {1.0f, 0.001f}};
  for (const auto& [wave, lowest] : cases) {
    SCOPED_TRACE(wave);
    CIFXTremolo fx;
    Host host;
    host.params[0] = wave;
    host.params[1] = 9.0f / 26.0f;  // "1/1": 2 s at 120 BPM
    host.params[2] = 1.0f;
    fx.clear();
    std::vector<float> left(4 * 44100, 1.0f), right = left;
    host.run(fx, left, right);
    float lo = 1.0f, hi = 0.0f, steepest = 0.0f;
    for (size_t i = 1; i < left.size(); ++i) {
      steepest = std::max(steepest, std::fabs(left[i] - left[i - 1]));
      lo = std::min(lo, left[i]);
      hi = std::max(hi, left[i]);
    }
    EXPECT_LE(steepest, 0.0003f + 1e-6f);
    EXPECT_LT(lo, lowest);
    EXPECT_GT(hi, 0.99f);
  }
}

}  // namespace
