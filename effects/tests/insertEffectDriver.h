#pragma once
// Beside insertEffectTestKit.h: effects built through the factory, the engine's calls over
// separate vectors, and level measures over ranges of a vector.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <vector>

#include "effectTestSupport.h"
#include "insertEffectTestKit.h"
#include "effects/effectFactory.h"

namespace fx_test {

constexpr double kPi = 3.14159265358979323846;

// An insert effect as the engine builds it: through the factory, into a slot that is on (so it
// starts cleared). Ownership moves to the caller.
inline std::unique_ptr<CIFX> buildEffect(int type) {
  InsertEffectSlot slot;
  slot.on = 1;
  if (!setInsertEffectType(slot, type)) return nullptr;
  return std::unique_ptr<CIFX>(slot.effect);
}

// The engine's per-sub-block calls (insert_test::Driver), also over separate vectors.
struct Host : insert_test::Driver {
  using Driver::run;
  void run(CIFX& fx, std::vector<float>& left, std::vector<float>& right) {
    Driver::run(fx, left.data(), right.data(), left.size());
  }
};

using effect_test::Noise;

inline std::vector<float> sine(float frequency, float sampleRate, size_t frames,
                               float amplitude = 1.0f) {
  std::vector<float> v(frames);
  for (size_t i = 0; i < frames; ++i)
    v[i] = amplitude * static_cast<float>(std::sin(2.0 * kPi * frequency * i / sampleRate));
  return v;
}

// Root mean square of v[from, to).
inline double rms(const std::vector<float>& v, size_t from, size_t to) {
  double sum = 0.0;
  for (size_t i = from; i < to; ++i) sum += double(v[i]) * v[i];
  return std::sqrt(sum / double(to - from));
}

inline float peak(const std::vector<float>& v, size_t from, size_t to) {
  float m = 0.0f;
  for (size_t i = from; i < to; ++i) m = std::max(m, std::fabs(v[i]));
  return m;
}

}  // namespace fx_test
