#pragma once
// Helpers shared by the effect tests: a seeded noise source and a driver that feeds an effect in
// sub-blocks of 16 frames the way the engine does.

#include <cmath>
#include <cstdint>
#include <vector>

namespace effect_test {

// xorshift32: reproducible, nothing shared between tests.
class Noise {
 public:
  explicit Noise(uint32_t seed) : state_(seed ? seed : 1) {}
  float next() {  // uniform -1..1
    state_ ^= state_ << 13;
    state_ ^= state_ >> 17;
    state_ ^= state_ << 5;
    return static_cast<float>(state_) * (2.0f / 4294967296.0f) - 1.0f;
  }

 private:
  uint32_t state_;
};

struct Stereo {
  std::vector<float> left, right;
  explicit Stereo(size_t frames = 0) : left(frames, 0.0f), right(frames, 0.0f) {}
  size_t size() const { return left.size(); }
};

// Runs effect over the whole buffer in place, in sub-blocks of 16 frames, calling setup(effect)
// before each sub-block (the engine's per-block calls).
template <class Effect, class Setup>
void run(Effect& effect, Stereo& audio, Setup setup) {
  for (size_t at = 0; at < audio.size(); at += 16) {
    const int frames = static_cast<int>(std::min<size_t>(16, audio.size() - at));
    setup(effect);
    effect.process(audio.left.data() + at, audio.right.data() + at, frames);
  }
}

template <class Effect>
void run(Effect& effect, Stereo& audio) {
  run(effect, audio, [](Effect&) {});
}

inline bool isDenormal(float v) { return v != 0.0f && std::fpclassify(v) == FP_SUBNORMAL; }

}  // namespace effect_test
