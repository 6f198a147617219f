#pragma once
// Helpers of the insert-effect tests, beside the shared ones: a driver that makes the engine's
// per-sub-block calls, sine measurement, and the response of the effects' two-pole sections.

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdint>
#include <vector>

#include "effectTestSupport.h"
#include "effects/CIFX.h"

namespace insert_test {

using effect_test::isDenormal;
using effect_test::Noise;
using effect_test::Stereo;

inline Stereo constant(size_t frames, float value) {
  Stereo audio(frames);
  std::fill(audio.left.begin(), audio.left.end(), value);
  std::fill(audio.right.begin(), audio.right.end(), value);
  return audio;
}

// Drives an effect the way the engine does: per sub-block of at most 16 frames setSampleRate,
// setTempo, setSongPosition, setParameters, process; the song position advances with the tempo
// while the transport plays.
struct Driver {
  float rate = 44100.0f;
  double tempo = 120.0;
  double position = 0.0;
  bool playing = true;
  float params[3] = {0.5f, 0.5f, 0.5f};

  void block(CIFX& fx, float* left, float* right, int frames) {
    fx.setSampleRate(rate);
    fx.setTempo(tempo);
    fx.setSongPosition(position);
    fx.setParameters(params);
    fx.process(left, right, frames);
    if (playing) position += frames * tempo / (60.0 * rate);
  }

  void run(CIFX& fx, float* left, float* right, size_t frames) {
    for (size_t at = 0; at < frames; at += 16) {
      const int n = static_cast<int>(std::min<size_t>(16, frames - at));
      block(fx, left + at, right + at, n);
    }
  }

  void run(CIFX& fx, Stereo& audio) { run(fx, audio.left.data(), audio.right.data(), audio.size()); }

  // Lets the smoothed settings reach their targets on silence (0.0003 per frame needs at most
  // 3334 frames), then clears the effect: the next input meets a settled, silent effect.
  void settle(CIFX& fx) {
    Stereo silence(3520);
    run(fx, silence);
    fx.clear();
  }
};

inline Stereo impulse(size_t frames, float left = 1.0f, float right = 1.0f) {
  Stereo audio(frames);
  audio.left[0] = left;
  audio.right[0] = right;
  return audio;
}

inline Stereo sine(size_t frames, double frequency, float rate, float amplitude) {
  Stereo audio(frames);
  for (size_t i = 0; i < frames; ++i) {
    const float v = amplitude * static_cast<float>(std::sin(2.0 * M_PI * frequency * i / rate));
    audio.left[i] = v;
    audio.right[i] = v;
  }
  return audio;
}

// Amplitude of the frequency's component in v[from, from + frames), by correlation over as many
// whole cycles as fit.
inline double amplitudeAt(const std::vector<float>& v, size_t from, size_t frames,
                          double frequency, float rate) {
  const double period = rate / frequency;
  const size_t n = static_cast<size_t>(std::floor(frames / period) * period + 0.5);
  double s = 0.0, c = 0.0;
  for (size_t i = from; i < from + n; ++i) {
    const double phase = 2.0 * M_PI * frequency * static_cast<double>(i) / rate;
    s += v[i] * std::sin(phase);
    c += v[i] * std::cos(phase);
  }
  return 2.0 * std::hypot(s, c) / static_cast<double>(n);
}

inline double decibels(double gain) { return 20.0 * std::log10(gain); }

// The effects' two-pole low-pass section {a1, a2, gain} from the warped cutoff term
// C = 2 fs / (2 fs tan(pi f / fs) + 1), f held to 0.46 fs, and a damping factor
// (1.4142 / (8 r + 1) for the two-pole filter; 0.765367 and 1.847759 for the four-pole one).
struct Section {
  double a1, a2, gain;
};

inline Section lowPassSection(double rate, double cutoff, double damping) {
  const double f = std::min(cutoff, 0.46 * rate);
  const double c = 2.0 * rate / (2.0 * rate * std::tan(M_PI * f / rate) + 1.0);
  const double d = c * c, q = c * damping, m = q + d + 1.0;
  return {2.0 * (1.0 - d) / m, (d - q + 1.0) / m, 1.0 / m};
}

// H(e^jw) of a section run in direct form II with the gain on the output.
inline std::complex<double> response(const Section& s, double frequency, double rate) {
  const std::complex<double> z1 = std::polar(1.0, -2.0 * M_PI * frequency / rate);
  return s.gain * (1.0 + 2.0 * z1 + z1 * z1) / (1.0 + s.a1 * z1 + s.a2 * z1 * z1);
}

}  // namespace insert_test
