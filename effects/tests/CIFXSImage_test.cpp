#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "effects/CIFXSImage.h"
#include "insertEffectTestKit.h"

// A namespace of its own: this file is compiled in one unit with other test files, whose
// helpers may share its helpers' names.
namespace cifx_s_image_test {

namespace {

using namespace insert_test;

constexpr size_t kNone = static_cast<size_t>(-1);

size_t onset(const std::vector<float>& v) {
  for (size_t i = 0; i < v.size(); ++i)
    if (v[i] != 0.0f) return i;
  return kNone;
}

TEST(StereoImage, CentredSettingsPassTheSignalUnchanged) {
  CIFXSImage fx;
  Driver driver;
  driver.settle(fx);
  Noise noise(17);
  Stereo audio(5000);
  for (size_t i = 0; i < audio.size(); ++i) {
    audio.left[i] = noise.next();
    audio.right[i] = noise.next();
  }
  const Stereo in = audio;
  driver.run(fx, audio);
  for (size_t i = 0; i < audio.size(); ++i) {
    ASSERT_EQ(audio.left[i], in.left[i]) << i;
    ASSERT_EQ(audio.right[i], in.right[i]) << i;
  }
}

TEST(StereoImage, TimeDelaysOneSide) {
  struct Case {
    float rate, time;
    bool rightDelayed;
    size_t frames;
  } const cases[] = {
      {44100, 0.0f, true, 441},   {44100, 1.0f, false, 441}, {44100, 0.25f, true, 221},
      {48000, 0.75f, false, 240}, {96000, 0.0f, true, 960},  {44100, 0.5f, false, 0},
      {22050, 0.499f, true, 0},  // 0.44 frames round to none
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.rate << " Hz, TIME " << c.time);
    CIFXSImage fx;
    Driver driver;
    driver.rate = c.rate;
    driver.params[0] = c.time;
    driver.settle(fx);
    Stereo audio = impulse(2000);
    driver.run(fx, audio);
    const std::vector<float>& delayed = c.rightDelayed ? audio.right : audio.left;
    const std::vector<float>& direct = c.rightDelayed ? audio.left : audio.right;
    EXPECT_EQ(onset(direct), 0u);
    EXPECT_EQ(onset(delayed), c.frames);
    EXPECT_EQ(delayed[c.frames], 1.0f);
  }
}

TEST(StereoImage, ARestartedDelayCarriesSilenceUntilItHasBeenFilled) {
  // After a change of TIME or a clear, whatever the buffer held from before is never heard: the
  // delayed side is silent for exactly the delay, then carries the new input.
  for (bool byClear : {false, true}) {
    SCOPED_TRACE(byClear ? "clear" : "TIME change");
    CIFXSImage fx;
    Driver driver;
    driver.params[0] = 0.0f;
    Noise noise(21);
    Stereo old(3000);
    for (size_t i = 0; i < old.size(); ++i) old.left[i] = old.right[i] = noise.next();
    driver.run(fx, old);
    const size_t frames = byClear ? 441 : 353;  // TIME 0.1: 0.8 x 441 = 352.8 frames
    if (byClear)
      fx.clear();
    else
      driver.params[0] = 0.1f;
    Stereo audio = constant(1000, 0.25f);
    driver.run(fx, audio);
    EXPECT_EQ(onset(audio.right), frames);
    EXPECT_EQ(audio.right[frames], 0.25f);
  }
}

TEST(StereoImage, BalanceAndWidthMixTheSides) {
  // Input left 1, right 0.5; no delay.
  struct Case {
    float balance, width;
    float left, right;
  } const cases[] = {
      {0.5f, 0.5f, 1.0f, 0.5f},          // unchanged
      {0.5f, 0.0f, 0.75f, 0.75f},        // mono: half the sum on both sides
      {0.5f, 1.0f, 0.7975f, -0.58f},     // widest (held at 0.95): 1.45 x (a - 0.9 b)
      {0.5f, 0.95f, 0.7975f, -0.58f},
      {0.0f, 0.5f, 1.5f, 0.25f},         // left path x 1.5, right path x 0.5
      {1.0f, 0.5f, 0.5f, 0.75f},         // the reverse
      {0.25f, 0.75f, 1.328125f, -0.3125f},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "BAL " << c.balance << " WIDE " << c.width);
    CIFXSImage fx;
    Driver driver;
    driver.params[1] = c.balance;
    driver.params[2] = c.width;
    driver.settle(fx);
    Stereo audio(16);
    for (size_t i = 0; i < audio.size(); ++i) {
      audio.left[i] = 1.0f;
      audio.right[i] = 0.5f;
    }
    driver.run(fx, audio);
    EXPECT_NEAR(audio.left.back(), c.left, 1e-6f);
    EXPECT_NEAR(audio.right.back(), c.right, 1e-6f);
  }
}

TEST(StereoImage, TheDelayNeverOutgrowsItsBuffer) {
  // Out-of-range or broken TIME values and changes of rate in any order: the delay stays within
  // the 10 ms buffer of the current rate (and the sanitizer sees every write).
  const float inf = std::numeric_limits<float>::infinity();
  struct Case {
    float time;
    bool rightDelayed;
  } const times[] = {{-3.0f, true}, {4.0f, false}, {NAN, true}, {inf, false}, {-inf, true}};
  const float rates[] = {96000, 44100, 22050, 192000, 8000};
  for (const auto& t : times) {
    CIFXSImage fx;
    Driver driver;
    driver.params[0] = t.time;
    for (float rate : rates) {
      SCOPED_TRACE(testing::Message() << "TIME " << t.time << " at " << rate);
      driver.rate = rate;
      Stereo audio = impulse(2500);
      driver.run(fx, audio);  // the first sub-block brings the new rate
      const size_t buffer = static_cast<size_t>(rate * 0.01f + 0.5f);
      EXPECT_EQ(onset(t.rightDelayed ? audio.right : audio.left), buffer);
    }
  }
  // A TIME set before any rate is known takes effect with the first rate.
  CIFXSImage fx;
  const float params[3] = {0.0f, 0.5f, 0.5f};
  fx.setParameters(params);
  Driver driver;
  driver.params[0] = 0.0f;
  Stereo audio = impulse(1000);
  driver.run(fx, audio);
  EXPECT_EQ(onset(audio.right), 441u);
}

TEST(StereoImage, DisplayTexts) {
  struct Case {
    int index;
    float value;
    const char* text;
  } const cases[] = {
      {0, 0.0f, "R 10.0 ms"}, {0, 1.0f, "L 10.0 ms"}, {0, 0.5f, "0 ms"},
      {0, 0.25f, "R 5.0 ms"}, {0, 0.6f, "L 2.0 ms"},  {1, 0.0f, "L 100.0 %"},
      {1, 1.0f, "R 100.0 %"}, {1, 0.5f, "C 0"},       {1, 0.4f, "L 20.0 %"},
      {2, 1.0f, "200.0 %"},   {2, 0.5f, "100.0 %"},   {2, 0.0f, "0.0 %"},
      {3, 0.5f, "untouched"}, {-1, 0.5f, "untouched"},
  };
  CIFXSImage fx;
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.index << " " << c.value);
    char text[kEffectDisplayTextSize] = "untouched";
    fx.getParameterDisplay(c.index, c.value, text);
    EXPECT_STREQ(text, c.text);
  }
}

}  // namespace

} // namespace cifx_s_image_test
