// The insert effects at extreme settings: 10 s of loud noise with bad samples mixed in, then
// 10 s of silence. The output stays finite and bounded and rings out to silence. Two effects
// need not fall silent: LP NOISE makes noise of its own, and a slow CRUSHER holds what it
// caught last (between captures its filters are fed their own output).

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "insertEffectDriver.h"

namespace {

using fx_test::Host;

struct Setting {
  const char* name;
  float params[3];
};

const Setting kSettings[] = {
    {"min", {0.0f, 0.0f, 0.0f}},
    {"max", {1.0f, 1.0f, 1.0f}},
    {"mixed", {1.0f, 0.0f, 1.0f}},
    {"mixed2", {0.0f, 1.0f, 0.0f}},
};

struct Case {
  int type;
  float sampleRate;
};

class RingOut : public testing::TestWithParam<Case> {};

// Every 1009th input sample is one of these; they must never reach a later frame.
const float kBad[] = {std::numeric_limits<float>::quiet_NaN(),
                      std::numeric_limits<float>::infinity(),
                      -std::numeric_limits<float>::infinity(), 1e-40f, -1e-42f};

bool isBadInput(size_t i) { return i % 1009 == 17; }

TEST_P(RingOut, StaysFiniteBoundedAndFallsQuiet) {
  const Case c = GetParam();
  const bool makesNoise = c.type == 14;
  // Loudest output accepted for input within -1..1 (+40 dB: a resonant phaser peaks near 50).
  constexpr float kBound = 100.0f;
  for (const Setting& setting : kSettings) {
    SCOPED_TRACE(setting.name);
    auto fx = fx_test::buildEffect(c.type);
    ASSERT_NE(fx, nullptr);
    Host host;
    host.rate = c.sampleRate;
    host.tempo = setting.params[0] > 0.5f ? 300.0 : 40.0;
    for (int i = 0; i < 3; ++i) host.params[i] = setting.params[i];

    const size_t tenSeconds = static_cast<size_t>(c.sampleRate) * 10;
    std::vector<float> left(tenSeconds), right(tenSeconds);
    fx_test::Noise noise(static_cast<uint32_t>(c.type) * 7 + 1);
    for (size_t i = 0; i < tenSeconds; ++i) {
      left[i] = noise.next();
      right[i] = noise.next();
      if (isBadInput(i)) left[i] = kBad[(i / 1009) % std::size(kBad)];
    }
    host.run(*fx, left, right);
    for (size_t i = 0; i < tenSeconds; ++i) {
      if (!isBadInput(i)) {
        ASSERT_TRUE(std::isfinite(left[i]) && std::fabs(left[i]) <= kBound) << i << ": " << left[i];
      }
      ASSERT_TRUE(std::isfinite(right[i]) && std::fabs(right[i]) <= kBound) << i << ": " << right[i];
    }

    std::fill(left.begin(), left.end(), 0.0f);
    std::fill(right.begin(), right.end(), 0.0f);
    host.run(*fx, left, right);
    float tail = 0.0f;
    for (size_t i = 0; i < tenSeconds; ++i) {
      ASSERT_TRUE(std::isfinite(left[i]) && std::fabs(left[i]) <= kBound) << i;
      ASSERT_TRUE(std::isfinite(right[i]) && std::fabs(right[i]) <= kBound) << i;
      ASSERT_FALSE(std::fpclassify(left[i]) == FP_SUBNORMAL) << i;
      if (i >= tenSeconds - tenSeconds / 10)
        tail = std::max({tail, std::fabs(left[i]), std::fabs(right[i])});
    }
    // After 9 s of silence: nothing left of the input (LP noise keeps its own hiss, at most
    // about 0.02, and crackles).
    const bool holds = c.type == 13 && setting.params[0] < 1.0f;
    EXPECT_LT(tail, makesNoise ? 0.3f : (holds ? 1.0f : 1e-4f));
  }
}

TEST(InsertEffects, WithoutASampleRateTheBlockPassesUnchanged) {
  // Before the first setSampleRate (and for a rate that is not usable) the effects that need
  // the rate for their lines, capture clock or filter corners leave the audio as it is.
  for (int type : {13, 14, 17, 21, 30, 31, 32, 33}) {
    for (float rate : {-1.0f, 0.0f, NAN}) {
      SCOPED_TRACE(testing::Message() << "type " << type << " rate " << rate);
      auto fx = fx_test::buildEffect(type);
      fx->setSampleRate(rate);
      fx->setTempo(120.0);
      fx->setSongPosition(0.0);
      const float params[3] = {0.7f, 0.7f, 0.7f};
      fx->setParameters(params);
      float left[16], right[16], expectedLeft[16], expectedRight[16];
      for (int i = 0; i < 16; ++i) {
        expectedLeft[i] = left[i] = std::sin(0.3f * i);
        expectedRight[i] = right[i] = 0.5f - 0.01f * i;
      }
      fx->process(left, right, 16);
      for (int i = 0; i < 16; ++i) {
        EXPECT_EQ(left[i], expectedLeft[i]) << i;
        EXPECT_EQ(right[i], expectedRight[i]) << i;
      }
    }
  }
}

std::vector<Case> cases() {
  std::vector<Case> all;
  // 48 kHz: the stress test over every type already runs the extremes at 44.1 kHz.
  for (int type : {13, 14, 17, 21, 23, 24, 30, 31, 32, 33}) all.push_back({type, 48000.0f});
  return all;
}

INSTANTIATE_TEST_SUITE_P(, RingOut, testing::ValuesIn(cases()),
                         [](const testing::TestParamInfo<Case>& info) {
                           return "type" + std::to_string(info.param.type) + "_" +
                                  std::to_string(static_cast<int>(info.param.sampleRate));
                         });

}  // namespace
