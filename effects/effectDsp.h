#pragma once
// Small stateless helpers shared by the effects. The tables they read (LFO sine, anti-denormal
// noise, drive curves, note lengths) and the parameter smoothing live in engine/dsp.

#include <cmath>

#include "engine/dsp/denormals.h"
#include "engine/dsp/dspTables.h"
#include "engine/dsp/noteLengths.h"
#include "engine/dsp/slewParameter.h"

// Callers of the display operations pass a buffer of at least this many chars.
inline constexpr int kEffectDisplayTextSize = 32;

// Highest sample rate an effect accepts; buffers are sized from the rate, so an absurd rate
// would otherwise mean an absurd allocation.
inline constexpr float kMaxEffectSampleRate = 768000.0f;

// The rate an effect works with: the given one when it is finite, positive and at most
// kMaxEffectSampleRate, otherwise -1 (no rate: effects with buffers own none and pass audio
// through untouched).
inline float usableSampleRate(float rate) {
  return (rate > 0.0f && rate <= kMaxEffectSampleRate) ? rate : -1.0f;
}

// text = "%.2f dB" of 20 log10(value) when value > 0, else "-oo".
void formatDecibels(float value, char* text);

// Coefficients {a1, a2, gain} of a two-pole low-pass section, run in direct form II with the
// gain on the output (see runLowPassSection). Without a usable rate, or for a cutoff that is not
// positive, the section is the smoother {0, 0, 0.25}.
void butterworthLowPass2(float sampleRate, float cutoff, float resonance, float out[3]);

// A four-pole low-pass as two sections in series, each {a1, a2, gain}.
void butterworthLowPass4(float sampleRate, float cutoff, float resonance, float first[3],
                         float second[3]);

// State of one filter section: w1, w2.
struct LowPassSectionState {
  float w1 = 0.0f;
  float w2 = 0.0f;
};

inline float runLowPassSection(const float coefficients[3], LowPassSectionState& state, float x) {
  const float w = x - coefficients[0] * state.w1 - coefficients[1] * state.w2;
  const float y = coefficients[2] * (w + 2.0f * state.w1 + state.w2);
  state.w2 = state.w1;
  state.w1 = w;
  return y;
}

// Position of an LFO in a cycle of 256 steps. fraction holds the part of a step not yet taken
// plus the increments added since the last effectLfo call.
struct LfoPhase {
  int step = 0;
  float fraction = 0.0f;
};

// LFO advance in steps per frame for a frequency in Hz; 0 when the rate is not usable.
inline float lfoIncrementFor(float frequency, float sampleRate) {
  return usableSampleRate(sampleRate) > 0.0f ? 256.0f * frequency / sampleRate : 0.0f;
}

// Moves the whole steps pending in phase.fraction into phase.step (modulo 256) and returns the
// value of the wave at the new position: 0 sine, 1 triangle, 2 saw, 3 square, others 0. The
// caller adds its increment to phase.fraction afterwards. A fraction that is not finite, or
// too large to count in steps, restarts the phase at step 0.
inline float effectLfo(int wave, LfoPhase& phase) {
  if (!(std::fabs(phase.fraction) < 1.0e9f)) {
    phase.step = 0;
    phase.fraction = 0.0f;
  }
  const int n = static_cast<int>(phase.fraction);
  // Non-negative modulo 256 for any step, also one left out of range by a caller.
  phase.step = ((phase.step & 255) + (n & 255)) & 255;
  phase.fraction -= static_cast<float>(n);
  const int step = phase.step;
  const float fraction = phase.fraction;
  const float position = static_cast<float>(step) + fraction;
  switch (wave) {
    case 0:
      return lfoSineTable[step] + (lfoSineTable[step + 1] - lfoSineTable[step]) * fraction;
    case 1: {
      const float u = position / 64.0f;
      if (step < 64) return u;
      if (step < 192) return 2.0f - u;
      return u - 4.0f;
    }
    case 2: {
      const float u = position / 128.0f;
      return step < 128 ? u : u - 2.0f;
    }
    case 3:
      return step < 128 ? -1.0f : 1.0f;
    default:
      return 0.0f;
  }
}
