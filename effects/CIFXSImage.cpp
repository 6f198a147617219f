#include "effects/CIFXSImage.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <new>

namespace {

constexpr float kMaxDelaySeconds = 0.01f;
constexpr float kWidestWidth = 0.95f;

}  // namespace

void CIFXSImage::clear() {
  if (cleared) return;
  cleared = true;
  delayIndex = 0;
  delayUnfilled = true;
}

void CIFXSImage::setSampleRate(float rate) {
  rate = usableSampleRate(rate);
  if (rate == sampleRate) return;
  sampleRate = rate;
  allocateBuffers();
  updateCoefficients();
}

void CIFXSImage::allocateBuffers() {
  allocateCommonBuffers();
  delayBuffer.reset();
  bufferLength = 0;
  delayIndex = 0;
  delayUnfilled = true;
  if (sampleRate > 0.0f) {
    const int frames = static_cast<int>(sampleRate * kMaxDelaySeconds + 0.5f);
    if (frames > 0) delayBuffer.reset(new (std::nothrow) float[frames]);  // unread until written
    if (delayBuffer) bufferLength = frames;
  }
  // The length may only name frames the buffer holds.
  delayLength = std::min(delayLength, bufferLength);
}

void CIFXSImage::updateCoefficients() {
  delayIndex = 0;
  delayUnfilled = true;
  const float offset = std::fabs(target[0] - 0.5f) * 2.0f;  // 0 .. 1 of the 10 ms
  const float frames = sampleRate > 0.0f ? offset * sampleRate * kMaxDelaySeconds + 0.5f : 0.0f;
  delayLength = std::min(static_cast<int>(frames), bufferLength);
}

void CIFXSImage::setParameters(const float params[kParameterCount]) {
  target[1] = clampUnit(params[1]);
  target[2] = clampUnit(params[2]);
  const float time = clampUnit(params[0]);
  if (time != target[0]) {
    target[0] = time;
    updateCoefficients();
  }
}

void CIFXSImage::getParameterDisplay(int index, float value, char* text) const {
  switch (index) {
    case 0:
      if (value < 0.5f)
        std::snprintf(text, kEffectDisplayTextSize, "R %.1f ms", (0.5f - value) * 20.0f);
      else if (value > 0.5f)
        std::snprintf(text, kEffectDisplayTextSize, "L %.1f ms", (value - 0.5f) * 20.0f);
      else
        std::snprintf(text, kEffectDisplayTextSize, "0 ms");
      break;
    case 1:
      if (value < 0.5f)
        std::snprintf(text, kEffectDisplayTextSize, "L %.1f %%", (0.5f - value) * 200.0f);
      else if (value > 0.5f)
        std::snprintf(text, kEffectDisplayTextSize, "R %.1f %%", (value - 0.5f) * 200.0f);
      else
        std::snprintf(text, kEffectDisplayTextSize, "C 0");
      break;
    case 2: std::snprintf(text, kEffectDisplayTextSize, "%.1f %%", value * 200.0f); break;
    default: break;
  }
}

void CIFXSImage::process(float* left, float* right, int frames) {
  ScopedFlushDenormals flushDenormals;
  const int length = std::min(delayLength, bufferLength);
  if (length <= 0) delayIndex = 0;
  const bool delayRight = target[0] < 0.5f;
  float* const buffer = delayBuffer.get();
  float balance = smoothed[1], width = smoothed[2];
  int index = delayIndex;
  bool unfilled = delayUnfilled;

  for (int frame = 0; frame < frames; ++frame) {
    slewParameter(&balance, target[1], 1);
    slewParameter(&width, target[2], 1);
    float a = sanitizeSample(left[frame]);
    float b = sanitizeSample(right[frame]);
    if (length > 0) {
      while (index >= length) {
        index -= length;
        unfilled = false;
      }
      const float delayed = unfilled ? 0.0f : buffer[index];
      if (delayRight) {
        buffer[index] = b;
        b = delayed;
      } else {
        buffer[index] = a;
        a = delayed;
      }
      ++index;
    }
    const float pa = (1.5f - balance) * a;
    const float pb = (balance + 0.5f) * b;
    const float r = std::clamp(width, 0.0f, kWidestWidth);
    left[frame] = (r + 0.5f) * (pa + (1.0f - 2.0f * r) * pb);
    right[frame] = (r + 0.5f) * (pb + (1.0f - 2.0f * r) * pa);
  }

  smoothed[1] = balance;
  smoothed[2] = width;
  delayIndex = index;
  delayUnfilled = unfilled;
  cleared = false;
}
