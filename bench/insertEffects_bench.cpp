// Cost of each insert effect per frame (one stereo sample pair), built through the factory and
// driven as the engine drives it: per sub-block of 16 frames setSampleRate, setTempo,
// setSongPosition, setParameters and process, over a fixed noise input.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "effects/effectFactory.h"

namespace {

constexpr int kSubBlock = 16;
constexpr int kFrames = 4096;  // one pass over the input per iteration

void insertEffectCost(benchmark::State& state) {
  const int type = static_cast<int>(state.range(0));
  const float rate = static_cast<float>(state.range(1));
  InsertEffectSlot slot;
  slot.on = 1;
  if (!setInsertEffectType(slot, type)) {
    state.SkipWithError("effect not built");
    return;
  }
  std::unique_ptr<CIFX> effect(slot.effect);
  // Settings away from every neutral point, so each effect does all of its work.
  const float params[3] = {0.4f, 0.6f, 0.7f};
  const double tempo = 120.0;

  std::vector<float> input(kFrames), left(kFrames), right(kFrames);
  uint32_t x = 12345;
  for (float& v : input) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    v = static_cast<float>(x) * (2.0f / 4294967296.0f) - 1.0f;
  }

  double position = 0.0;
  effect->setSampleRate(rate);
  effect->clear();
  for (auto _ : state) {
    left = input;
    right = input;
    for (int at = 0; at < kFrames; at += kSubBlock) {
      effect->setSampleRate(rate);
      effect->setTempo(tempo);
      effect->setSongPosition(position);
      effect->setParameters(params);
      effect->process(left.data() + at, right.data() + at, kSubBlock);
      position += kSubBlock * tempo / (60.0 * rate);
    }
    benchmark::DoNotOptimize(left.data());
    benchmark::DoNotOptimize(right.data());
  }
  state.SetLabel(insertEffectTypeNames[slot.type]);
  state.SetItemsProcessed(state.iterations() * kFrames);
  // Seconds per frame, shown as ns; 1/44100 s = 22.7 us is the whole real-time budget.
  state.counters["per_frame"] =
      benchmark::Counter(static_cast<double>(state.iterations()) * kFrames,
                         benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

// Every type that is not a separator row, at 44100 Hz and at 96000 Hz.
void insertEffectTypes(benchmark::internal::Benchmark* b) {
  for (int type = 0; type < kInsertEffectTypeCount; ++type) {
    if (std::string(insertEffectTypeNames[type]) == "-") continue;
    b->Args({type, 44100});
    b->Args({type, 96000});
  }
  b->ArgNames({"type", "rate"});
}

BENCHMARK(insertEffectCost)->Name("InsertEffect")->Apply(insertEffectTypes);

}  // namespace
