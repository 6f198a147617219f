#include "effects/CIFXLofi.h"

#include <cmath>
#include <cstdio>

namespace {

// Cutoff of the tone and noise-band filters for a position p in 0..1: 2^(14.286341 p) + offset.
float positionFrequency(float p) { return std::exp2(14.286341f * p); }

// One step of a set of gliding coefficients {a1, a2, gain}.
inline void glide(float coefficients[3], const float increments[3]) {
  for (int i = 0; i < 3; ++i) coefficients[i] += increments[i];
}

// Per-frame increments that take `before` to `after` over `frames` frames.
inline void glideIncrements(const float before[3], const float after[3], int frames,
                            float increments[3]) {
  const float perFrame = 1.0f / static_cast<float>(frames);
  for (int i = 0; i < 3; ++i) increments[i] = (after[i] - before[i]) * perFrame;
}

// noise0 of the anti-denormal table: a tiny constant that keeps the filters off denormals.
inline float noise0() { return denormalNoise[0]; }

// Decay per frame of a crackle (about 0.3 ms to -60 dB at 44.1 kHz), and its loudest peak.
constexpr float kCrackleDecay = 0.6f;
constexpr float kCracklePeak = 0.25f;

}  // namespace

void CIFXLofiPr::clear() {
  if (cleared) return;
  cleared = true;
  filterA = {};
  filterB = {};
  held[0] = held[1] = 0.0f;
  clockPhase = 1.0f;
}

// ---- Crusher --------------------------------------------------------------------------------

CIFXCrusher::CIFXCrusher() { updateCoefficients(); }

void CIFXCrusher::getParameterDisplay(int index, float value, char* text) const {
  const float x = clampUnit(value);
  switch (index) {
    case 0:
      std::snprintf(text, kEffectDisplayTextSize, "%ld Hz",
                    1L + static_cast<long>(x * x * x * 191999.0f));
      break;
    case 1:
      std::snprintf(text, kEffectDisplayTextSize, "%.1f bits", 31.0f * x * x + 1.0f);
      break;
    case 2:
      std::snprintf(text, kEffectDisplayTextSize, "%.1f %%", 100.0f * x);
      break;
    default:
      break;
  }
}

void CIFXCrusher::setParameters(const float params[kParameterCount]) {
  target[0] = clampUnit(params[0]);
  target[2] = clampUnit(params[2]);
  const float bits = clampUnit(params[1]);
  if (bits != target[1]) {
    target[1] = bits;
    updateCoefficients();
  }
}

void CIFXCrusher::updateCoefficients() {
  const float b = target[1];
  quantStep = std::exp2(-1.0f - 16.0f * b * b) * 65536.0f;
}

void CIFXCrusher::process(float* left, float* right, int frames) {
  // Without a rate the capture clock cannot run; the block passes unchanged.
  if (usableSampleRate(sampleRate) < 0.0f || frames <= 0) {
    cleared = false;
    return;
  }
  ScopedFlushDenormals flush;
  float coefficients[3], after[3], increments[3];
  butterworthLowPass2(sampleRate, positionFrequency(smoothed[2]) + 19.0f, 0.0f, coefficients);
  slewParameter(&smoothed[2], target[2], 16);
  butterworthLowPass2(sampleRate, positionFrequency(smoothed[2]) + 19.0f, 0.0f, after);
  glideIncrements(coefficients, after, frames, increments);

  const float toSteps = 32768.0f / quantStep;
  const float fromSteps = quantStep / 32768.0f;
  const float perFrame = 1.0f / sampleRate;
  const float n0 = noise0();
  float holdLeft = held[0], holdRight = held[1];
  float phase = clockPhase;
  for (int i = 0; i < frames; ++i) {
    slewParameter(&smoothed[0], target[0], 1);
    const float rate = smoothed[0];
    phase += (rate * rate * rate * 191999.0f + 1.0f) * perFrame;
    if (phase >= 1.0f) {
      // Keep only the distance to the nearest whole number (ties to even): 1.5 continues
      // from -0.5.
      phase = std::remainder(phase, 1.0f);
      holdLeft = std::trunc(sanitizeSample(left[i]) * toSteps + 0.5f) * fromSteps;
      holdRight = std::trunc(sanitizeSample(right[i]) * toSteps + 0.5f) * fromSteps;
    }
    glide(coefficients, increments);
    holdLeft = runLowPassSection(coefficients, filterA, holdLeft - n0);
    holdRight = runLowPassSection(coefficients, filterB, holdRight - n0);
    left[i] = holdLeft;
    right[i] = holdRight;
  }
  clockPhase = phase;
  held[0] = holdLeft;
  held[1] = holdRight;
  cleared = false;
}

// ---- LP noise -------------------------------------------------------------------------------

void CIFXLPNoise::clear() {
  if (cleared) return;
  CIFXLofiPr::clear();
  crackle = 0.0f;
}

void CIFXLPNoise::getParameterDisplay(int index, float value, char* text) const {
  const float x = clampUnit(value);
  switch (index) {
    case 0:
    case 1:
      std::snprintf(text, kEffectDisplayTextSize, "%.1f %%", 100.0f * x);
      break;
    case 2:
      std::snprintf(text, kEffectDisplayTextSize, "%d",
                    static_cast<int>(50.0f * x + 0.5f) + 1950);
      break;
    default:
      break;
  }
}

void CIFXLPNoise::process(float* left, float* right, int frames) {
  cleared = false;
  if (usableSampleRate(sampleRate) < 0.0f || frames <= 0) return;
  ScopedFlushDenormals flush;

  // Low band edge 1050 Hz (YEAR 0) .. 51 Hz (YEAR 1); high band edge 3015 Hz .. 18000 Hz.
  auto lowBand = [](float year) { return positionFrequency(1.0f - year) * 0.05f + 50.95f; };
  auto highBand = [](float year) { return positionFrequency(year) * 0.75f + 3014.25f; };
  float low[3], high[3], lowAfter[3], highAfter[3], lowInc[3], highInc[3];
  butterworthLowPass2(sampleRate, lowBand(smoothed[2]), 0.0f, low);
  butterworthLowPass2(sampleRate, highBand(smoothed[2]), 0.0f, high);
  slewParameter(&smoothed[2], target[2], 16);
  butterworthLowPass2(sampleRate, lowBand(smoothed[2]), 0.0f, lowAfter);
  butterworthLowPass2(sampleRate, highBand(smoothed[2]), 0.0f, highAfter);
  glideIncrements(low, lowAfter, frames, lowInc);
  glideIncrements(high, highAfter, frames, highInc);

  const float n0 = noise0();
  for (int i = 0; i < frames; ++i) {
    slewParameter(&smoothed[0], target[0], 1);
    slewParameter(&smoothed[1], target[1], 1);
    const int p = nextRandom() + nextRandom();  // 0..65534, triangular around 32767
    const float dirty = smoothed[1];
    const float noise = dirty * dirty * static_cast<float>(p - 32768) * 6.1035155e-7f + n0;

    // Crackle clock: about 375 ticks a second; each tick draws a number that decides whether a
    // crackle sounds (more often and louder with CRCKL) and its size and sign.
    clockPhase += static_cast<float>(p * 750) / 65536.0f;
    while (clockPhase >= sampleRate) {
      clockPhase -= sampleRate;
      const int r = nextRandom();
      const float amount = smoothed[0] * smoothed[0];
      // With CRCKL at 100 % one tick in eight crackles (about 47 a second).
      if (static_cast<float>(r & 0x1FFF) < amount * 1024.0f) {
        const float size = static_cast<float>(r >> 13) * (1.0f / 3.0f);  // 0..1
        const float sign = (r & 1) ? 1.0f : -1.0f;
        crackle = sign * kCracklePeak * amount * (0.25f + 0.75f * size);
      }
    }

    glide(low, lowInc);
    glide(high, highInc);
    const float lowOut = runLowPassSection(low, filterA, noise);
    const float highOut = runLowPassSection(high, filterB, noise);
    const float out = highOut - lowOut - n0 + crackle;
    crackle *= kCrackleDecay;
    if (wetOnly) {
      left[i] = out;
      right[i] = out;
    } else {
      left[i] += out;
      right[i] += out;
    }
  }
  cleared = false;
}
