// Every effect at extreme settings: 10 s of noise, bursts of NaN, infinities, denormals and
// absurd levels, then 10 s of silence. The output stays finite, bounded and free of denormals,
// and bad input samples never poison the state.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <string>

#include "effectTestSupport.h"
#include "effects/CSFXChorus.h"
#include "effects/CSFXReverb.h"
#include "effects/effectFactory.h"

// A namespace of its own: this file is compiled in one unit with other test files, whose
// helpers may share its helpers' names.
namespace effect_stress_test {

namespace {

using effect_test::isDenormal;
using effect_test::Noise;
using effect_test::run;
using effect_test::Stereo;

// Loudest output accepted for input within -1..1 (+40 dB; no effect comes near it).
constexpr float kOutputBound = 100.0f;

const float kInf = std::numeric_limits<float>::infinity();

// The bad samples of the burst phase, one every 997 frames in turn.
const float kBadSamples[] = {NAN, kInf, -kInf, 1e-40f, -1e-42f, 3e38f, -3e38f};

bool isBad(float v) { return !std::isfinite(v) || isDenormal(v) || std::fabs(v) > 1.0f; }

Stereo noiseWithBursts(size_t frames, uint32_t seed) {
  Stereo audio(frames);
  Noise noise(seed);
  for (size_t i = 0; i < frames; ++i) {
    audio.left[i] = noise.next();
    audio.right[i] = noise.next();
    if (i % 997 == 500) audio.left[i] = kBadSamples[(i / 997) % std::size(kBadSamples)];
    if (i % 997 == 700) audio.right[i] = kBadSamples[(i / 997 + 3) % std::size(kBadSamples)];
  }
  return audio;
}

// Checks every frame whose input was a sane sample (the bypass passes a bad sample through as it
// is; what matters is that it does not reach any later frame).
void expectSane(const Stereo& in, const Stereo& out, const char* phase) {
  SCOPED_TRACE(phase);
  for (size_t i = 0; i < out.size(); ++i) {
    const float l = out.left[i], r = out.right[i];
    if (!isBad(in.left[i])) {
      ASSERT_TRUE(std::isfinite(l)) << "left frame " << i;
      ASSERT_LE(std::fabs(l), kOutputBound) << "left frame " << i;
      ASSERT_FALSE(isDenormal(l)) << "left frame " << i;
    }
    if (!isBad(in.right[i])) {
      ASSERT_TRUE(std::isfinite(r)) << "right frame " << i;
      ASSERT_LE(std::fabs(r), kOutputBound) << "right frame " << i;
      ASSERT_FALSE(isDenormal(r)) << "right frame " << i;
    }
  }
}

struct Setting {
  const char* name;
  float params[4];
};

const Setting kSettings[] = {
    {"all0", {0.0f, 0.0f, 0.0f, 0.0f}},
    {"all1", {1.0f, 1.0f, 1.0f, 1.0f}},
    {"alternate", {1.0f, 0.0f, 1.0f, 0.0f}},
    {"alternate2", {0.0f, 1.0f, 0.0f, 1.0f}},
    {"shortLoud", {0.0f, 0.0f, 0.0f, 1.0f}},  // a fast tail, heard: it passes the denormal range
};

// ---- System effects ----------------------------------------------------------------------

struct SystemCase {
  const char* effect;
  float rate;
  Setting setting;
};

void PrintTo(const SystemCase& c, std::ostream* os) {
  *os << c.effect << " at " << c.rate << " Hz, " << c.setting.name;
}

std::unique_ptr<CSFX> makeSystemEffect(const std::string& name) {
  if (name == "chorus") return std::make_unique<CSFXChorus>();
  return std::make_unique<CSFXReverb>();
}

class SystemEffectStress : public testing::TestWithParam<SystemCase> {};

TEST_P(SystemEffectStress, StaysFiniteBoundedAndRingsOut) {
  const SystemCase& c = GetParam();
  auto fx = makeSystemEffect(c.effect);
  // A twin fed the same input with every bad sample replaced by silence must produce exactly
  // the same output at every sane frame: bad samples enter the state as silence.
  auto twin = makeSystemEffect(c.effect);
  for (CSFX* e : {fx.get(), twin.get()}) {
    e->setSampleRate(c.rate);
    e->clear();
  }
  auto setup = [&](CSFX& e) { e.setParameters(c.setting.params); };
  const size_t tenSeconds = static_cast<size_t>(c.rate * 10.0f);

  Noise noise(1234);
  Stereo in(tenSeconds);
  for (size_t i = 0; i < in.size(); ++i) {
    in.left[i] = noise.next();
    in.right[i] = noise.next();
  }
  Stereo out = in, twinOut = in;
  run(*fx, out, setup);
  run(*twin, twinOut, setup);
  expectSane(in, out, "noise");

  const Stereo bursts = noiseWithBursts(static_cast<size_t>(c.rate), 99);
  out = bursts;
  twinOut = bursts;
  for (size_t i = 0; i < bursts.size(); ++i) {
    if (isBad(bursts.left[i])) twinOut.left[i] = 0.0f;
    if (isBad(bursts.right[i])) twinOut.right[i] = 0.0f;
  }
  run(*fx, out, setup);
  run(*twin, twinOut, setup);
  expectSane(bursts, out, "bursts");
  for (size_t i = 0; i < out.size(); ++i) {
    if (!isBad(bursts.left[i])) {
      ASSERT_EQ(out.left[i], twinOut.left[i]) << "frame " << i;
    }
    if (!isBad(bursts.right[i])) {
      ASSERT_EQ(out.right[i], twinOut.right[i]) << "frame " << i;
    }
  }

  const Stereo silence(tenSeconds);
  out = silence;
  run(*fx, out, setup);
  expectSane(silence, out, "silence");
  // After 9 s of silence even a 5 s reverb has fallen over 100 dB.
  float tail = 0.0f;
  for (size_t i = out.size() - out.size() / 10; i < out.size(); ++i)
    tail = std::max({tail, std::fabs(out.left[i]), std::fabs(out.right[i])});
  EXPECT_LT(tail, 1e-4f);
}

std::vector<SystemCase> systemCases() {
  std::vector<SystemCase> cases;
  for (const char* effect : {"chorus", "reverb"})
    for (float rate : {44100.0f, 96000.0f})
      for (const Setting& s : kSettings) cases.push_back({effect, rate, s});
  return cases;
}

INSTANTIATE_TEST_SUITE_P(, SystemEffectStress, testing::ValuesIn(systemCases()),
                         [](const testing::TestParamInfo<SystemCase>& info) {
                           return std::string(info.param.effect) + "_" +
                                  std::to_string(static_cast<int>(info.param.rate)) + "_" +
                                  info.param.setting.name;
                         });

// ---- Insert effects, every type through the factory --------------------------------------

class InsertEffectStress : public testing::TestWithParam<int> {};

TEST_P(InsertEffectStress, StaysFiniteAndBoundedAtExtremeSettings) {
  const int type = GetParam();
  for (const Setting& setting : {kSettings[0], kSettings[1]}) {
    SCOPED_TRACE(setting.name);
    InsertEffectSlot slot;
    slot.on = 1;
    ASSERT_TRUE(setInsertEffectType(slot, type));
    std::unique_ptr<CIFX> owner(slot.effect);
    double position = 0.0;
    auto setup = [&](CIFX& e) {
      e.setSampleRate(44100.0f);
      e.setTempo(240.0);
      e.setSongPosition(position);
      e.setParameters(setting.params);
      position += 16.0 * 240.0 / (60.0 * 44100.0);
    };

    Noise noise(static_cast<uint32_t>(type) + 1);
    Stereo in(441000);
    for (size_t i = 0; i < in.size(); ++i) {
      in.left[i] = noise.next();
      in.right[i] = noise.next();
    }
    Stereo out = in;
    run(*owner, out, setup);
    expectSane(in, out, "noise");

    const Stereo bursts = noiseWithBursts(44100, 5);
    out = bursts;
    run(*owner, out, setup);
    expectSane(bursts, out, "bursts");

    const Stereo silence(441000);
    out = silence;
    run(*owner, out, setup);
    expectSane(silence, out, "silence");
  }
}

INSTANTIATE_TEST_SUITE_P(, InsertEffectStress, testing::Range(0, kInsertEffectTypeCount),
                         [](const testing::TestParamInfo<int>& info) {
                           return "type" + std::to_string(info.param);
                         });

// ---- Before the first setParameters, and the host's floating-point mode -------------------

TEST(SystemEffects, ProcessBeforeTheFirstParametersRunsOnMidRangeSettings) {
  for (const char* name : {"chorus", "reverb"}) {
    SCOPED_TRACE(name);
    auto fx = makeSystemEffect(name);
    fx->setSampleRate(44100.0f);
    fx->clear();
    Noise noise(3);
    Stereo in(44100);
    for (size_t i = 0; i < in.size(); ++i) in.left[i] = in.right[i] = noise.next();
    Stereo out = in;
    run(*fx, out);  // no setParameters at all
    expectSane(in, out, "noise");
    double energy = 0.0;
    for (float v : out.left) energy += double(v) * v;
    EXPECT_GT(energy, 1.0);  // mid-range settings: audible, not silent
  }
}

#ifdef QUORIX_HAS_MXCSR
TEST(SystemEffects, ProcessRestoresTheHostsFloatingPointMode) {
  for (const char* name : {"chorus", "reverb"}) {
    SCOPED_TRACE(name);
    auto fx = makeSystemEffect(name);
    fx->setSampleRate(44100.0f);
    fx->clear();
    const unsigned hostMode = (_mm_getcsr() & ~0x8040u) | 0x6000u;  // round toward zero, no FTZ
    const unsigned before = _mm_getcsr();
    _mm_setcsr(hostMode);
    float left[16] = {1.0f}, right[16] = {1.0f};
    fx->process(left, right, 16);
    const unsigned after = _mm_getcsr();
    _mm_setcsr(before);
    EXPECT_EQ(after & 0xFFC0u, hostMode & 0xFFC0u);
  }
}
#endif

}  // namespace

} // namespace effect_stress_test
