#include "effects/CSFXChorus.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <new>

namespace {

constexpr float kWidthSeconds = 0.007f;  // the sweep swings up to twice this, times WIDTH

float rateHz(float x) { return x * x * x * 19.9f + 0.1f; }

// Line interpolation at p, 0 <= p <= ring end; index clamped so that a rounding slip of the LFO
// can never read outside the line.
inline float readLine(const float* line, float p, int ringEnd) {
  const int i = std::clamp(static_cast<int>(p), 0, ringEnd);
  return line[i] + (line[i + 1] - line[i]) * (p - static_cast<float>(i));
}

}  // namespace

void CSFXChorus::clear() {
  if (cleared) return;
  cleared = true;
  if (lineLength > 0) {
    std::fill_n(lineLeft.get(), lineLength, 0.0f);
    std::fill_n(lineRight.get(), lineLength, 0.0f);
  }
}

void CSFXChorus::setSampleRate(float rate) {
  rate = usableSampleRate(rate);
  if (rate == sampleRate) return;
  sampleRate = rate;
  allocateBuffers();
  updateCoefficients();
}

void CSFXChorus::allocateBuffers() {
  allocateCommonBuffers();
  lineLeft.reset();
  lineRight.reset();
  lineLength = 0;
  writePosition = 0;
  readBase = 0;
  if (sampleRate <= 0.0f) return;
  const int length = static_cast<int>(sampleRate * 0.045f + 0.5f) + 3;
  lineLeft.reset(new (std::nothrow) float[length]());
  lineRight.reset(new (std::nothrow) float[length]());
  if (!lineLeft || !lineRight) {  // out of memory: stay without lines, audio passes untouched
    lineLeft.reset();
    lineRight.reset();
    return;
  }
  lineLength = length;
  readBase = static_cast<int>(sampleRate * 0.030000001f + 0.5f);
}

void CSFXChorus::updateCoefficients() {
  lfoIncrement = lfoIncrementFor(rateHz(target[0]), sampleRate);
}

void CSFXChorus::setParameters(const float params[kParameterCount]) {
  const float rate = clampUnit(params[0]);
  target[1] = clampUnit(params[1]);
  target[2] = clampUnit(params[2]);
  const float level = clampUnit(params[3]);
  target[3] = level * level;
  if (rate != target[0]) {
    target[0] = rate;
    updateCoefficients();
  }
}

void CSFXChorus::getParameterDisplay(int index, float value, char* text) const {
  switch (index) {
    case 0: std::snprintf(text, kEffectDisplayTextSize, "%.2f Hz", rateHz(value)); break;
    case 1:
    case 2: std::snprintf(text, kEffectDisplayTextSize, "%.1f %%", value * 100.0f); break;
    case 3: formatDecibels(value, text); break;
    default: break;
  }
}

void CSFXChorus::process(float* left, float* right, int frames) {
  const int ringEnd = lineLength - 3;
  if (ringEnd <= 0) return;
  ScopedFlushDenormals flushDenormals;

  float* const lineL = lineLeft.get();
  float* const lineR = lineRight.get();
  const float sweepScale = sampleRate * kWidthSeconds;
  const float ringEndF = static_cast<float>(ringEnd);
  float width = smoothed[1], spread = smoothed[2], level = smoothed[3];
  int write = writePosition, readStart = readBase;

  for (int frame = 0; frame < frames; ++frame) {
    slewParameter(&width, target[1], 1);
    slewParameter(&spread, target[2], 1);
    slewParameter(&level, target[3], 1);
    while (readStart > ringEnd) readStart -= ringEnd;
    while (write > ringEnd) write -= ringEnd;
    lineL[0] = lineL[ringEnd];
    lineR[0] = lineR[ringEnd];

    // The right LFO is the left one moved by SPREAD x 128 steps, its fraction within +-0.5.
    const float shifted = static_cast<float>(lfoLeft.step) + lfoLeft.fraction + spread * 128.0f;
    lfoRight.step = roundHalfEven(shifted);
    lfoRight.fraction = shifted - static_cast<float>(lfoRight.step);

    const float lfoL = effectLfo(0, lfoLeft);
    lfoLeft.fraction += lfoIncrement;
    float p = (lfoL + 1.0f) * sweepScale * width + static_cast<float>(readStart);
    while (p > ringEndF) p -= ringEndF;
    const float yL = readLine(lineL, p, ringEnd);
    lineL[write] = sanitizeSample(left[frame]);

    const float lfoR = effectLfo(0, lfoRight);
    lfoRight.fraction += lfoIncrement;
    p = (lfoR + 1.0f) * sweepScale * width + static_cast<float>(readStart);
    while (p > ringEndF) p -= ringEndF;
    const float yR = readLine(lineR, p, ringEnd);
    lineR[write] = sanitizeSample(right[frame]);

    left[frame] = yL * level;
    right[frame] = yR * level;
    ++write;
    ++readStart;
  }

  smoothed[1] = width;
  smoothed[2] = spread;
  smoothed[3] = level;
  writePosition = write;
  readBase = readStart;
  cleared = false;
}
