// Cost of the system effects per frame (one stereo sample pair), driven as the engine drives
// them: setParameters then process, in sub-blocks of 16 frames over a fixed noise input.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "effects/CSFXChorus.h"
#include "effects/CSFXReverb.h"

namespace {

constexpr int kSubBlock = 16;
constexpr int kFrames = 4096;  // one pass over the input per iteration

template <class Effect>
void systemEffectCost(benchmark::State& state) {
  const float rate = static_cast<float>(state.range(0));
  Effect effect;
  effect.setSampleRate(rate);
  effect.clear();
  const float params[4] = {0.4f, 0.6f, 0.5f, 0.8f};

  std::vector<float> input(kFrames), left(kFrames), right(kFrames);
  uint32_t x = 12345;
  for (float& v : input) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    v = static_cast<float>(x) * (2.0f / 4294967296.0f) - 1.0f;
  }

  for (auto _ : state) {
    left = input;
    right = input;
    for (int at = 0; at < kFrames; at += kSubBlock) {
      effect.setParameters(params);
      effect.process(left.data() + at, right.data() + at, kSubBlock);
    }
    benchmark::DoNotOptimize(left.data());
    benchmark::DoNotOptimize(right.data());
  }
  state.SetItemsProcessed(state.iterations() * kFrames);
  // Seconds per frame, shown as ns; 1/44100 s = 22.7 us is the whole real-time budget.
  state.counters["per_frame"] =
      benchmark::Counter(static_cast<double>(state.iterations()) * kFrames,
                         benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

BENCHMARK(systemEffectCost<CSFXChorus>)->Name("SystemChorus")->Arg(44100)->Arg(96000);
BENCHMARK(systemEffectCost<CSFXReverb>)->Name("SystemReverb")->Arg(44100)->Arg(96000);

}  // namespace
