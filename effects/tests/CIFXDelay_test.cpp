#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>

#include "effects/CIFXDelay.h"
#include "insertEffectTestKit.h"

namespace {

using namespace insert_test;

constexpr size_t kNone = static_cast<size_t>(-1);

// First frame at or after `from` that is not silent.
size_t onset(const std::vector<float>& v, size_t from) {
  for (size_t i = from; i < v.size(); ++i)
    if (std::fabs(v[i]) > 1e-9f) return i;
  return kNone;
}

double area(const std::vector<float>& v, size_t from, size_t to) {
  double sum = 0.0;
  for (size_t i = from; i < to && i < v.size(); ++i) sum += v[i];
  return sum;
}

std::unique_ptr<CIFXDelayPr> makeDelay(int type) {
  switch (type) {
    case 27: return std::make_unique<CIFXStereoDelay>();
    case 28: return std::make_unique<CIFXPPDelay>();
    default: return std::make_unique<CIFXDelay>();
  }
}

// The damping low-pass's first output for a click of 1 at 44100 Hz: w / (2 fs + w).
constexpr float kDampFirst = 32169.91f / (88200.0f + 32169.91f);

TEST(Delay, EchoTimeIsTheNoteLengthAtTheTempo) {
  struct Case {
    float rate;
    double tempo;
    float time;
    size_t frames;
  } const cases[] = {
      {44100, 120, 0.3f, 22050},   // "1/4"
      {44100, 120, 0.0f, 88200},   // "1/1"
      {44100, 40, 0.0f, 264600},   // "1/1" at 40 bpm fills the six seconds exactly
      {44100, 30, 0.0f, 264600},   // slower host tempos count as 40
      {44100, 12.5, 0.3f, 66150},  // "1/4" at 40
      {48000, 90, 0.45f, 16000},   // "1/8"
      {96000, 240, 1.0f, 1000},    // "1/64T"
      {44100, 133, 0.65f, 3730},   // "1/32D": 3730.26 frames, rounded
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.rate << " Hz, " << c.tempo << " bpm, TIME " << c.time);
    CIFXDelay fx;
    Driver driver;
    driver.rate = c.rate;
    driver.tempo = c.tempo;
    driver.params[0] = c.time;
    driver.params[1] = 0.0f;
    driver.params[2] = 1.0f;
    driver.settle(fx);
    Stereo audio = impulse(c.frames + 100);
    driver.run(fx, audio);
    EXPECT_EQ(onset(audio.left, 1), c.frames);
    EXPECT_EQ(onset(audio.right, 1), c.frames);
  }
}

// Mono click, FBK 0, LEVEL 1, 120 bpm "1/4" (22050 frames) at 44100 Hz: where each type's first
// echoes land and how loud their first frame is.
TEST(Delay, EachTypeRoutesItsEchoes) {
  struct Echo {
    bool right;
    size_t at;
    float first;
  };
  struct Case {
    int type;
    Echo echoes[3];
  } const cases[] = {
      {26, {{false, 22050, kDampFirst}, {true, 22050, kDampFirst}, {false, kNone, 0}}},
      // The left echo is lowered; the right one comes 7 ms (309 frames) later.
      {27, {{false, 22050, kDampFirst * 0.775f}, {true, 22359, kDampFirst}, {false, kNone, 0}}},
      // Half the time on the right (undamped), then the full time on the left, then one and a
      // half times on the right.
      {28, {{true, 11025, 1.0f}, {false, 22050, kDampFirst}, {true, 33075, kDampFirst}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.type);
    Stereo out[2];
    for (bool wet : {false, true}) {
      auto fx = makeDelay(c.type);
      fx->setWetOnly(wet);
      Driver driver;
      driver.params[0] = 0.3f;
      driver.params[1] = 0.0f;
      driver.params[2] = 1.0f;
      driver.settle(*fx);
      out[wet] = impulse(40000);
      driver.run(*fx, out[wet]);
    }
    const Stereo& audio = out[0];
    EXPECT_EQ(audio.left[0], 1.0f);
    EXPECT_EQ(audio.right[0], 1.0f);
    size_t nextLeft = 1, nextRight = 1;
    for (const Echo& e : c.echoes) {
      if (e.at == kNone) continue;
      SCOPED_TRACE(testing::Message() << (e.right ? "right " : "left ") << e.at);
      const std::vector<float>& side = e.right ? audio.right : audio.left;
      size_t& next = e.right ? nextRight : nextLeft;
      EXPECT_EQ(onset(side, next), e.at);
      EXPECT_FLOAT_EQ(side[e.at], e.first);
      next = e.at + 200;  // the damped echo has died away by then
    }
    // With wet-only output the same echoes come without the dry signal.
    for (size_t i = 0; i < audio.size(); ++i) {
      const float dry = i == 0 ? 1.0f : 0.0f;
      ASSERT_EQ(out[1].left[i], audio.left[i] - dry) << i;
      ASSERT_EQ(out[1].right[i], audio.right[i] - dry) << i;
    }
  }
}

TEST(Delay, FeedbackAndLevelScaleTheEchoes) {
  // The damping keeps the area of a click's echo, so echo k of a click has the area
  // LEVEL^2 x (FBK x 0.95)^(k - 1).
  struct Case {
    float fbk, level;
  } const cases[] = {{1.0f, 1.0f}, {0.5f, 0.5f}, {0.0f, 0.8f}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "FBK " << c.fbk << " LEVEL " << c.level);
    CIFXDelay fx;
    Driver driver;
    driver.params[0] = 0.3f;
    driver.params[1] = c.fbk;
    driver.params[2] = c.level;
    driver.settle(fx);
    Stereo audio = impulse(4 * 22050);
    driver.run(fx, audio);
    for (int k = 1; k <= 3; ++k) {
      const double expected = c.level * c.level * std::pow(c.fbk * 0.95, k - 1);
      EXPECT_NEAR(area(audio.left, k * 22050, (k + 1) * 22050), expected, 1e-4) << "echo " << k;
    }
  }
}

TEST(Delay, ChangingTimeOrTempoRestartsTheEcho) {
  // Echoes of a click sound every 22050 frames; at frame 30000 the setting changes. Nothing
  // sounds after that until one full new delay after the next click (frame 40000).
  struct Case {
    const char* change;
    float time;
    double tempo;
    size_t newDelay;
  } const cases[] = {
      {"TIME to 1/1", 0.0f, 120.0, 88200},
      {"tempo to 121", 0.3f, 121.0, 21868},  // 44100 x 60 / 121 = 21867.77
      {"tempo to 30", 0.3f, 30.0, 66150},    // counts as 40
  };
  for (int type : {26, 27, 28}) {
    for (const auto& c : cases) {
      SCOPED_TRACE(testing::Message() << "type " << type << ", " << c.change);
      auto fx = makeDelay(type);
      Driver driver;
      driver.params[0] = 0.3f;
      driver.params[1] = 1.0f;
      driver.params[2] = 1.0f;
      driver.settle(*fx);
      Stereo audio(40000 + c.newDelay + 2000);
      audio.left[0] = audio.right[0] = 1.0f;
      audio.left[40000] = audio.right[40000] = 1.0f;
      driver.run(*fx, audio.left.data(), audio.right.data(), 30000);
      ASSERT_NE(onset(audio.left, 22050), kNone);  // the echoes were sounding
      driver.params[0] = c.time;
      driver.tempo = c.tempo;
      driver.run(*fx, audio.left.data() + 30000, audio.right.data() + 30000,
                 audio.size() - 30000);
      // The ping-pong delay's first new echo is the half-time one on the right.
      const size_t first = 40000 + (type == 28 ? (c.newDelay + 1) / 2 : c.newDelay);
      EXPECT_EQ(onset(audio.left, 30000), 40000u);
      EXPECT_EQ(onset(audio.left, 40001), 40000 + c.newDelay);
      EXPECT_EQ(onset(audio.right, 40001), type == 27 ? first + 309 : first);
    }
  }
}

TEST(Delay, ASteadyHostTempoBelowFortyLetsTheEchoSound) {
  // The engine passes its tempo every sub-block; a tempo below 40 is stored as 40 but is not a
  // change as long as the host keeps it.
  for (int type : {26, 27, 28}) {
    for (double tempo : {39.0, 20.0, 1.0}) {
      SCOPED_TRACE(testing::Message() << type << " at " << tempo);
      auto fx = makeDelay(type);
      Driver driver;
      driver.tempo = tempo;
      driver.params[0] = 0.45f;  // "1/8": 33075 frames at 40 bpm
      driver.params[1] = 0.0f;
      driver.params[2] = 1.0f;
      driver.settle(*fx);
      Stereo audio = impulse(34000);
      driver.run(*fx, audio);
      EXPECT_EQ(onset(audio.left, 1), 33075u);
    }
  }
}

TEST(Delay, ClearForgetsTheEchoAndTheDampingMemory) {
  // After clear, an effect that has been playing answers a click exactly as a fresh one does:
  // nothing of the old echoes, no click from the damping filters' old state.
  for (int type : {26, 27, 28}) {
    SCOPED_TRACE(type);
    Driver driver;
    driver.params[0] = 0.85f;  // "1/64D", 827 frames: the lines are full of old echoes
    driver.params[1] = 0.9f;
    driver.params[2] = 0.7f;
    auto used = makeDelay(type);
    auto fresh = makeDelay(type);
    driver.settle(*fresh);
    Noise noise(3);
    Stereo old(20000);
    for (size_t i = 0; i < old.size(); ++i) {
      old.left[i] = noise.next();
      old.right[i] = noise.next();
    }
    driver.run(*used, old);
    used->clear();
    Stereo a = impulse(5000, 0.5f, -0.25f), b = a;
    driver.run(*used, a);
    driver.run(*fresh, b);
    for (size_t i = 0; i < a.size(); ++i) {
      ASSERT_EQ(a.left[i], b.left[i]) << i;
      ASSERT_EQ(a.right[i], b.right[i]) << i;
    }
    EXPECT_NE(onset(a.left, 1), kNone);
  }
}

TEST(Delay, DisplayTexts) {
  struct Case {
    int index;
    float value;
    const char* text;
  } const cases[] = {
      {0, 0.0f, "1/1 note"},  {0, 1.0f, "1/64T note"}, {0, 0.3f, "1/4 note"},
      {0, 0.45f, "1/8 note"}, {0, 0.02f, "1/1 note"},  {0, 0.03f, "1/2D note"},
      {1, 0.0f, "0.0 %"},     {1, 1.0f, "100.0 %"},    {1, 0.5f, "50.0 %"},
      {2, 1.0f, "0.00 dB"},   {2, 0.5f, "-6.02 dB"},   {2, 0.0f, "-oo"},
      {-1, 0.5f, "untouched"}, {3, 0.5f, "untouched"},
  };
  for (int type : {26, 27, 28}) {
    auto fx = makeDelay(type);
    for (const auto& c : cases) {
      SCOPED_TRACE(testing::Message() << type << ": " << c.index << " " << c.value);
      char text[kEffectDisplayTextSize] = "untouched";
      fx->getParameterDisplay(c.index, c.value, text);
      EXPECT_STREQ(text, c.text);
    }
  }
}

}  // namespace
