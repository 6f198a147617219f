#pragma once
// Drives an insert effect the way the engine does: per sub-block of at most 16 frames,
// setSampleRate, setTempo, setSongPosition (advancing with the audio), setParameters, process.
// Plus the signal measures the insert-effect tests share.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <vector>

#include "effectTestSupport.h"
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

struct Host {
  float sampleRate = 44100.0f;
  double tempo = 120.0;
  double position = 0.0;  // beats, advanced by every block
  float params[3] = {0.5f, 0.5f, 0.5f};

  void block(CIFX& fx, float* left, float* right, int frames) {
    fx.setSampleRate(sampleRate);
    fx.setTempo(tempo);
    fx.setSongPosition(position);
    fx.setParameters(params);
    fx.process(left, right, frames);
    position += frames * tempo / (60.0 * sampleRate);
  }

  // Runs the whole buffers through fx in sub-blocks of 16.
  void run(CIFX& fx, std::vector<float>& left, std::vector<float>& right) {
    for (size_t at = 0; at < left.size(); at += 16) {
      const int frames = static_cast<int>(std::min<size_t>(16, left.size() - at));
      block(fx, left.data() + at, right.data() + at, frames);
    }
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

// Amplitude of the component at `frequency` in v[from, to) (a single-bin DFT).
inline double amplitudeAt(const std::vector<float>& v, size_t from, size_t to, float frequency,
                          float sampleRate) {
  double re = 0.0, im = 0.0;
  for (size_t i = from; i < to; ++i) {
    const double phase = 2.0 * kPi * frequency * double(i) / sampleRate;
    re += v[i] * std::cos(phase);
    im += v[i] * std::sin(phase);
  }
  return 2.0 * std::hypot(re, im) / double(to - from);
}

inline float peak(const std::vector<float>& v, size_t from, size_t to) {
  float m = 0.0f;
  for (size_t i = from; i < to; ++i) m = std::max(m, std::fabs(v[i]));
  return m;
}

}  // namespace fx_test
