#include "effects/CIFXGateReverb.h"

#include <cmath>
#include <cstdio>

void CIFXGateReverb::clear() {
  if (cleared) return;
  cleared = true;
  for (Comb& comb : combs) comb.line.reset();
  for (DelayLine& line : allpasses) line.reset();
  for (float& v : lastRead) v = 0.0f;
  toneState = 0.0f;
}

void CIFXGateReverb::setSampleRate(float rate) {
  rate = usableSampleRate(rate);
  if (rate == sampleRate) return;
  sampleRate = rate;
  allocateBuffers();
  updateCoefficients();
}

void CIFXGateReverb::allocateBuffers() {
  // Fresh lines count as cleared: nothing of the old state may feed them.
  allocateCommonBuffers();
  for (float& v : lastRead) v = 0.0f;
  toneState = 0.0f;
  bool allocated = true;
  for (int j = 0; j < kAllPassCount; ++j)
    allocated = allpasses[j].allocate(delayLineLength(kAllPassLengths[j], sampleRate)) && allocated;
  for (int k = 0; k < kCombCount; ++k)
    allocated = combs[k].line.allocate(delayLineLength(kCombLengths[k], sampleRate)) && allocated;
  if (!allocated) {  // out of memory: no lines at all, audio passes untouched
    for (DelayLine& line : allpasses) line.allocate(0);
    for (Comb& comb : combs) comb.line.allocate(0);
  }
}

void CIFXGateReverb::updateCoefficients() {
  if (sampleRate <= 0.0f) return;
  // -60 dB after 5 x TIME seconds; TIME 0 stops the recirculation altogether.
  const double frames = static_cast<double>(target[0]) * 4.999999 * sampleRate + 1e-6;
  for (Comb& comb : combs)
    comb.gain = static_cast<float>(std::pow(10.0, -3.0 * comb.line.length / frames));
}

void CIFXGateReverb::setParameters(const float params[kParameterCount]) {
  target[1] = clampUnit(params[1]);
  const float level = clampUnit(params[2]);
  target[2] = level * level;
  const float time = clampUnit(params[0]);
  if (time != target[0]) {
    target[0] = time;
    updateCoefficients();
  }
}

void CIFXGateReverb::getParameterDisplay(int index, float value, char* text) const {
  const float x = clampUnit(value);
  switch (index) {
    case 0: std::snprintf(text, kEffectDisplayTextSize, "%.2f sec", 5.0f * x); break;
    case 1: std::snprintf(text, kEffectDisplayTextSize, "%.1f %%", 100.0f * x); break;
    case 2: formatDecibels(x, text); break;
    default: break;
  }
}

float CIFXGateReverb::allPass(int j, float u) {
  DelayLine& line = allpasses[j];
  float& previous = lastRead[kCombCount + j];
  const float d = previous;
  const float w = u + 0.7f * d;
  previous = line.read();
  line.write(w);
  return d - 0.7f * w;
}

void CIFXGateReverb::process(float* left, float* right, int frames) {
  if (combs[0].line.length <= 0 || allpasses[0].length <= 0) return;
  ScopedFlushDenormals flushDenormals;
  float tone = smoothed[1], level = smoothed[2];
  for (int i = 0; i < frames; ++i) {
    slewParameter(&tone, target[1], 1);
    slewParameter(&level, target[2], 1);
    for (Comb& comb : combs) comb.line.wrap();
    for (DelayLine& line : allpasses) line.wrap();

    const float v = (sanitizeSample(left[i]) + sanitizeSample(right[i])) * 0.5f;
    float s = 0.0f;
    for (int k = 0; k < kCombCount; ++k) {
      Comb& comb = combs[k];
      const float value = lastRead[k] * comb.gain + v;
      lastRead[k] = comb.line.read();
      comb.line.write(value);
      s += lastRead[k];
    }
    float y = s;
    for (int j = 0; j < 5; ++j) y = allPass(j, y);
    toneState += (0.8f * tone + 0.1f) * (y - toneState);
    const float diffused = allPass(5, toneState);
    const float wetLeft = level * allPass(6, diffused);
    const float wetRight = level * allPass(7, diffused);
    if (wetOnly) {
      left[i] = wetLeft;
      right[i] = wetRight;
    } else {
      left[i] += wetLeft;
      right[i] += wetRight;
    }
  }
  smoothed[1] = tone;
  smoothed[2] = level;
  cleared = false;
}
