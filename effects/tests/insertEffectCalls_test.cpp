// Every insert effect under the calls a host and the engine may make beyond the everyday ones:
// calls of 0 frames, rates, tempos, song positions and parameters out of range, rate changes
// while sound is in the lines.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <string>

#include "effects/effectFactory.h"
#include "insertEffectTestKit.h"

// A namespace of its own: this file is compiled in one unit with other test files, whose
// helpers may share its helpers' names.
namespace insert_effect_calls_test {

namespace {

using namespace insert_test;

const float kInf = std::numeric_limits<float>::infinity();

std::unique_ptr<CIFX> build(int type) {
  InsertEffectSlot slot;
  slot.on = 1;
  EXPECT_TRUE(setInsertEffectType(slot, type));
  return std::unique_ptr<CIFX>(slot.effect);
}

Stereo noise(size_t frames, uint32_t seed) {
  Stereo audio(frames);
  Noise source(seed);
  for (size_t i = 0; i < frames; ++i) {
    audio.left[i] = source.next();
    audio.right[i] = source.next();
  }
  return audio;
}

// Output of input within -1..1: finite, free of denormals, and below +60 dB (the compressors'
// make-up gain reaches +40 dB; the resonant filters peak well under that on noise).
void expectSane(const Stereo& out) {
  for (size_t i = 0; i < out.size(); ++i) {
    for (float v : {out.left[i], out.right[i]}) {
      ASSERT_TRUE(std::isfinite(v)) << "frame " << i;
      ASSERT_LE(std::fabs(v), 1000.0f) << "frame " << i;
      ASSERT_FALSE(isDenormal(v)) << "frame " << i;
    }
  }
}

class InsertEffectCalls : public testing::TestWithParam<int> {};

TEST_P(InsertEffectCalls, CallsOfZeroFramesTouchNothingAndBreakNothing) {
  auto fx = build(GetParam());
  Driver driver;
  driver.params[0] = 0.9f;
  driver.params[1] = 0.1f;
  driver.params[2] = 0.8f;
  Stereo audio = noise(4000, 3);
  float left[16], right[16];
  for (size_t at = 0; at < audio.size(); at += 16) {
    // Between real sub-blocks, calls of 0 frames, sometimes several in a row; they may move
    // what moves once per call, but never write a sample.
    for (int k = 0; k < int(at / 16 % 3); ++k) {
      std::fill_n(left, 16, 7.0f);
      std::fill_n(right, 16, -7.0f);
      driver.block(*fx, left, right, 0);
      for (int i = 0; i < 16; ++i) {
        ASSERT_EQ(left[i], 7.0f);
        ASSERT_EQ(right[i], -7.0f);
      }
    }
    driver.block(*fx, audio.left.data() + at, audio.right.data() + at, 16);
  }
  expectSane(audio);
}

TEST_P(InsertEffectCalls, HostValuesOutOfRangeNeverBreakTheSound) {
  // Each row is kept for a stretch of sub-blocks; the row after it has to recover.
  struct Row {
    const char* what;
    float rate;
    double tempo, position;
    float params[3];
  } const rows[] = {
      {"normal", 44100, 120, 0, {0.5f, 0.5f, 0.5f}},
      {"params beyond 0..1", 44100, 120, 1, {-1.0f, 2.0f, 1e30f}},
      {"params not numbers", 44100, 120, 2, {NAN, kInf, -kInf}},
      {"tempo 0", 44100, 0, 3, {0.0f, 1.0f, 1.0f}},
      {"tempo negative", 44100, -120, 4, {1.0f, 1.0f, 1.0f}},
      {"tempo huge", 44100, 1e12, 5, {0.3f, 1.0f, 1.0f}},
      {"tempo not a number", 44100, NAN, 6, {0.3f, 1.0f, 1.0f}},
      {"tempo infinite", 44100, kInf, 7, {0.7f, 0.9f, 1.0f}},
      {"position negative", 48000, 90, -12345.678, {0.2f, 0.8f, 0.6f}},
      {"position huge", 48000, 90, 1e300, {0.2f, 0.8f, 0.6f}},
      {"position not a number", 48000, 90, NAN, {0.2f, 0.8f, 0.6f}},
      {"rate high", 192000, 140, 8, {0.0f, 1.0f, 1.0f}},
      {"rate tiny", 1, 140, 9, {1.0f, 1.0f, 1.0f}},
      {"rate low", 200, 140, 10, {0.6f, 1.0f, 1.0f}},
      {"rate 0", 0, 140, 11, {0.4f, 1.0f, 1.0f}},
      {"rate not a number", NAN, 140, 12, {0.4f, 1.0f, 1.0f}},
      {"rate absurd", 1e12f, 140, 13, {0.4f, 1.0f, 1.0f}},
      {"normal again", 44100, 120, 14, {0.5f, 0.9f, 0.9f}},
  };
  auto fx = build(GetParam());
  float rate = 0.0f;
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    // The engine resets every channel, and so clears the insert effects, when the host changes
    // the rate.
    if (!(row.rate == rate)) fx->clear();
    rate = row.rate;
    Driver driver;
    driver.rate = row.rate;
    driver.tempo = row.tempo;
    driver.position = row.position;
    std::copy(row.params, row.params + 3, driver.params);
    Stereo audio = noise(3000, 5);
    driver.run(*fx, audio);
    expectSane(audio);
  }
}

INSTANTIATE_TEST_SUITE_P(, InsertEffectCalls, testing::Range(0, kInsertEffectTypeCount),
                         [](const testing::TestParamInfo<int>& info) {
                           return "type" + std::to_string(info.param);
                         });

}  // namespace

} // namespace insert_effect_calls_test
