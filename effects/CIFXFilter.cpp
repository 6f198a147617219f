#include "effects/CIFXFilter.h"

#include <cmath>
#include <cstdio>

namespace {

constexpr float kLowCorner = 80.0f;
constexpr float kHighCorner = 12000.0f;

// Per-frame steps that take coefficients from `from` to `to` over a call; none for 0 frames.
template <int N>
void glideSteps(const float (&from)[N], const float (&to)[N], int frames, float (&steps)[N]) {
  for (int i = 0; i < N; ++i)
    steps[i] = frames > 0 ? (to[i] - from[i]) / static_cast<float>(frames) : 0.0f;
}

inline float crossfade(float input, float lowPass, float mix) {
  return lowPass + (input - 2.0f * lowPass) * mix;
}

}  // namespace

// ---- S'filters ---------------------------------------------------------------------------

float CIFXSFilterPr::cutoffOf(float cut) { return std::exp2(14.286341f * cut) + 19.0f; }

void CIFXSFilterPr::getParameterDisplay(int index, float value, char* text) const {
  switch (index) {
    case 0: std::snprintf(text, kEffectDisplayTextSize, "%.1f Hz", cutoffOf(value)); break;
    case 1: std::snprintf(text, kEffectDisplayTextSize, "%.1f %%", value * 100.0f); break;
    case 2:
      if (value < 0.5f)
        std::snprintf(text, kEffectDisplayTextSize, "L %.1f %%", (0.5f - value) * 200.0f);
      else if (value > 0.5f)
        std::snprintf(text, kEffectDisplayTextSize, "H %.1f %%", (value - 0.5f) * 200.0f);
      else
        std::snprintf(text, kEffectDisplayTextSize, "C 0");
      break;
    default: break;
  }
}

void CIFXSFilter12::clear() {
  if (cleared) return;
  cleared = true;
  leftState = {};
  rightState = {};
}

void CIFXSFilter12::process(float* left, float* right, int frames) {
  ScopedFlushDenormals flushDenormals;
  float from[3], to[3], steps[3];
  butterworthLowPass2(sampleRate, cutoffOf(smoothed[0]), smoothed[1], from);
  slewParameter(&smoothed[0], target[0], 16);
  slewParameter(&smoothed[1], target[1], 16);
  butterworthLowPass2(sampleRate, cutoffOf(smoothed[0]), smoothed[1], to);
  glideSteps(from, to, frames, steps);

  float c[3] = {from[0], from[1], from[2]};
  float mix = smoothed[2];
  LowPassSectionState l = leftState, r = rightState;
  for (int frame = 0; frame < frames; ++frame) {
    slewParameter(&mix, target[2], 1);
    for (int i = 0; i < 3; ++i) c[i] += steps[i];
    const float xL = sanitizeSample(left[frame]);
    const float xR = sanitizeSample(right[frame]);
    left[frame] = crossfade(xL, runLowPassSection(c, l, xL), mix);
    right[frame] = crossfade(xR, runLowPassSection(c, r, xR), mix);
  }
  leftState = l;
  rightState = r;
  smoothed[2] = mix;
  cleared = false;
}

void CIFXSFilter24::clear() {
  if (cleared) return;
  cleared = true;
  leftFirst = {};
  leftSecond = {};
  rightFirst = {};
  rightSecond = {};
}

void CIFXSFilter24::process(float* left, float* right, int frames) {
  ScopedFlushDenormals flushDenormals;
  // Both sections' coefficients side by side: {a1, a2, gain} of the first, then the second.
  float from[6], to[6], steps[6];
  butterworthLowPass4(sampleRate, cutoffOf(smoothed[0]), smoothed[1], from, from + 3);
  slewParameter(&smoothed[0], target[0], 16);
  slewParameter(&smoothed[1], target[1], 16);
  butterworthLowPass4(sampleRate, cutoffOf(smoothed[0]), smoothed[1], to, to + 3);
  glideSteps(from, to, frames, steps);

  float c[6];
  for (int i = 0; i < 6; ++i) c[i] = from[i];
  float mix = smoothed[2];
  LowPassSectionState l1 = leftFirst, l2 = leftSecond, r1 = rightFirst, r2 = rightSecond;
  for (int frame = 0; frame < frames; ++frame) {
    slewParameter(&mix, target[2], 1);
    for (int i = 0; i < 6; ++i) c[i] += steps[i];
    const float xL = sanitizeSample(left[frame]);
    const float xR = sanitizeSample(right[frame]);
    const float lpL = runLowPassSection(c + 3, l2, runLowPassSection(c, l1, xL));
    const float lpR = runLowPassSection(c + 3, r2, runLowPassSection(c, r1, xR));
    left[frame] = crossfade(xL, lpL, mix);
    right[frame] = crossfade(xR, lpR, mix);
  }
  leftFirst = l1;
  leftSecond = l2;
  rightFirst = r1;
  rightSecond = r2;
  smoothed[2] = mix;
  cleared = false;
}

// ---- Three-band equaliser ----------------------------------------------------------------

CIFX3EQ::CIFX3EQ() { updateCoefficients(); }

float CIFX3EQ::bandGain(float x) {
  return x >= 0.5f ? x * 6.02f - 2.0f : 1.0f / ((1.0f - x) * 6.02f - 2.0f);
}

void CIFX3EQ::clear() {
  if (cleared) return;
  cleared = true;
  leftLow = {};
  leftHigh = {};
  rightLow = {};
  rightHigh = {};
}

void CIFX3EQ::setSampleRate(float rate) {
  rate = usableSampleRate(rate);
  if (rate == sampleRate) return;
  sampleRate = rate;
  updateCoefficients();
}

void CIFX3EQ::updateCoefficients() {
  // The first section of the four-pole low-pass without resonance (Q about 1.31).
  float unused[3];
  butterworthLowPass4(sampleRate, kLowCorner, 0.0f, lowCoefficients, unused);
  butterworthLowPass4(sampleRate, kHighCorner, 0.0f, highCoefficients, unused);
}

void CIFX3EQ::getParameterDisplay(int index, float value, char* text) const {
  if (index < 0 || index >= kParameterCount) return;
  formatDecibels(bandGain(value), text);
}

void CIFX3EQ::process(float* left, float* right, int frames) {
  ScopedFlushDenormals flushDenormals;
  const float* const lowC = lowCoefficients;
  const float* const highC = highCoefficients;
  float low = smoothed[0], mid = smoothed[1], high = smoothed[2];
  LowPassSectionState lL = leftLow, lH = leftHigh, rL = rightLow, rH = rightHigh;

  auto side = [&](float x, LowPassSectionState& lowState, LowPassSectionState& highState,
                  float lowGain, float midGain, float highGain) {
    const float lowBand = runLowPassSection(lowC, lowState, x);
    const float highBand = x - runLowPassSection(highC, highState, x);
    return (x - lowBand - highBand) * midGain + lowBand * lowGain + highBand * highGain;
  };

  for (int frame = 0; frame < frames; ++frame) {
    slewParameter(&low, target[0], 1);
    slewParameter(&mid, target[1], 1);
    slewParameter(&high, target[2], 1);
    const float lowGain = bandGain(low), midGain = bandGain(mid), highGain = bandGain(high);
    left[frame] = side(sanitizeSample(left[frame]), lL, lH, lowGain, midGain, highGain);
    right[frame] = side(sanitizeSample(right[frame]), rL, rH, lowGain, midGain, highGain);
  }

  leftLow = lL;
  leftHigh = lH;
  rightLow = rL;
  rightHigh = rH;
  smoothed[0] = low;
  smoothed[1] = mid;
  smoothed[2] = high;
  cleared = false;
}
