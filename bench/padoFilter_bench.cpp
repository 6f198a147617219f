// Cost of the Butterworth filter classes per frame (two channels, planar blocks of 256 frames)
// for each design, over a fixed noise input.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "effects/padoFilter.h"

namespace {

constexpr int kFrames = 256;

void butterworthCost(benchmark::State& state) {
  padoFilterButterworth filter(static_cast<padoBwDesign>(state.range(0)));
  filter.setSampleRate(48000);
  filter.setChannelCount(2);
  filter.setCutoff(1000.0f, kAllChannels);
  filter.setQ(0.2f, kAllChannels);

  std::vector<float> input(kFrames), left(kFrames), right(kFrames);
  uint32_t x = 12345;
  for (float& v : input) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    v = static_cast<float>(x) * (2.0f / 4294967296.0f) - 1.0f;
  }
  float* planar[2] = {left.data(), right.data()};
  int64_t first = 0;
  for (auto _ : state) {
    left = input;
    right = input;
    first += filter.process(planar, kFrames, first, kAllChannels);
    benchmark::DoNotOptimize(left.data());
    benchmark::DoNotOptimize(right.data());
  }
  state.SetItemsProcessed(state.iterations() * kFrames);
  state.counters["per_frame"] =
      benchmark::Counter(static_cast<double>(state.iterations()) * kFrames,
                         benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

// lowPass2 .. bandStop4.
BENCHMARK(butterworthCost)->Name("Butterworth")->DenseRange(0, 11)->ArgName("design");

}  // namespace
