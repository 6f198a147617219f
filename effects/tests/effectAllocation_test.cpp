// The per-sub-block calls the engine makes on an effect (setSampleRate with an unchanged rate,
// setTempo, setSongPosition, setParameters, process) never allocate. Counted through this test
// binary's global operator new.

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <new>
#include <string>

#include "effectTestSupport.h"
#include "effects/CSFXChorus.h"
#include "effects/CSFXReverb.h"
#include "effects/effectFactory.h"

namespace {
thread_local bool countingAllocations = false;
thread_local int allocationCount = 0;
}  // namespace

void* operator new(std::size_t size) {
  if (countingAllocations) ++allocationCount;
  if (void* p = std::malloc(size ? size : 1)) return p;
  throw std::bad_alloc();
}
// Kept out of line: inlined, the compiler would pair free() with a new-expression and warn.
[[gnu::noinline]] void operator delete(void* p) noexcept { std::free(p); }
[[gnu::noinline]] void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace {

using effect_test::Noise;
using effect_test::Stereo;

// Counts the allocations of everything fn does on this thread.
template <class Fn>
int allocationsOf(Fn fn) {
  allocationCount = 0;
  countingAllocations = true;
  fn();
  countingAllocations = false;
  return allocationCount;
}

Stereo noise(size_t frames) {
  Stereo audio(frames);
  Noise source(17);
  for (size_t i = 0; i < frames; ++i) {
    audio.left[i] = source.next();
    audio.right[i] = source.next();
  }
  return audio;
}

TEST(EffectAllocation, CountingWorks) {
  size_t length = 0;
  EXPECT_EQ(allocationsOf([&] { length = std::string(100, 'x').size(); }), 1);
  EXPECT_EQ(length, 100u);
}

TEST(EffectAllocation, InsertEffectsNeverAllocateInTheirPerBlockCalls) {
  for (int type = 0; type < kInsertEffectTypeCount; ++type) {
    SCOPED_TRACE(testing::Message() << "type " << type << " " << insertEffectTypeNames[type]);
    InsertEffectSlot slot;
    slot.on = 1;
    ASSERT_TRUE(setInsertEffectType(slot, type));
    std::unique_ptr<CIFX> fx(slot.effect);
    Stereo audio = noise(44100);
    double position = 0.0;
    auto block = [&](size_t at, const float* params) {
      fx->setSampleRate(48000.0f);
      fx->setTempo(137.0);
      fx->setSongPosition(position);
      fx->setParameters(params);
      fx->process(audio.left.data() + at, audio.right.data() + at, 16);
      position += 0.01;
    };
    const float first[3] = {0.2f, 0.7f, 0.4f};
    block(0, first);  // the first rate change may allocate
    const int count = allocationsOf([&] {
      for (size_t at = 16; at + 16 <= audio.size(); at += 16) {
        const float moving[3] = {float(at % 1000) / 1000.0f, 0.5f, float(at % 333) / 333.0f};
        block(at, moving);
      }
    });
    EXPECT_EQ(count, 0);
  }
}

TEST(EffectAllocation, InsertEffectsAllocateOnlyWhenTheRateChanges) {
  // A new rate may allocate the effect's lines, one block per line at most; the same rate
  // again, tempo jumps, song-position jumps, parameter jumps, clear and calls of 0 frames never
  // do.
  for (int type = 0; type < kInsertEffectTypeCount; ++type) {
    SCOPED_TRACE(testing::Message() << "type " << type << " " << insertEffectTypeNames[type]);
    InsertEffectSlot slot;
    ASSERT_TRUE(setInsertEffectType(slot, type));
    std::unique_ptr<CIFX> fx(slot.effect);
    Stereo audio = noise(16);
    for (float rate : {44100.0f, 96000.0f, 8000.0f}) {
      SCOPED_TRACE(rate);
      EXPECT_LE(allocationsOf([&] { fx->setSampleRate(rate); }), 14);  // the reverbs' lines
      const int count = allocationsOf([&] {
        fx->setSampleRate(rate);
        for (double tempo : {120.0, 30.0, 300.0, 39.0}) {
          fx->setTempo(tempo);
          for (double position : {0.0, 3.7, 1000.25}) {
            fx->setSongPosition(position);
            for (float x : {0.0f, 1.0f, 0.37f}) {
              const float params[3] = {x, 1.0f - x, x};
              fx->setParameters(params);
              fx->clear();
              fx->process(audio.left.data(), audio.right.data(), 0);
              fx->process(audio.left.data(), audio.right.data(), 16);
            }
          }
        }
      });
      EXPECT_EQ(count, 0);
    }
  }
}

TEST(EffectAllocation, SystemEffectsNeverAllocateInTheirPerBlockCalls) {
  std::unique_ptr<CSFX> effects[] = {std::make_unique<CSFXChorus>(),
                                     std::make_unique<CSFXReverb>()};
  for (auto& fx : effects) {
    fx->setSampleRate(48000.0f);
    fx->clear();
    Stereo audio = noise(44100);
    const int count = allocationsOf([&] {
      for (size_t at = 0; at + 16 <= audio.size(); at += 16) {
        const float params[4] = {float(at % 1000) / 1000.0f, 0.5f, float(at % 333) / 333.0f, 0.9f};
        fx->setSampleRate(48000.0f);
        fx->setParameters(params);
        fx->process(audio.left.data() + at, audio.right.data() + at, 16);
        if (at % 4800 == 0) fx->clear();
      }
    });
    EXPECT_EQ(count, 0);
  }
}

}  // namespace
