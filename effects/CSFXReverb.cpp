#include "effects/CSFXReverb.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <new>

namespace {

constexpr float kSignLeft[CSFXReverb::kLineCount] = {1, -1, 1, -1, 1, -1, 1, -1, 1, -1, 1, -1};
constexpr float kSignRight[CSFXReverb::kLineCount] = {1, 1, -1, -1, 1, 1, -1, -1, 1, 1, -1, -1};

float decaySeconds(float x) { return x * 4.9f + 0.099999994f; }

}  // namespace

void CSFXReverb::clear() {
  if (cleared) return;
  cleared = true;
  predelayIndex = 0;
  predelayUnfilled = true;
  // The pre-delay is emptied as well: a pre-delay that grows before the write position has
  // wrapped would otherwise read the tail from before the clear.
  if (predelayCapacity > 0) {
    std::fill_n(predelayLeft.get(), predelayCapacity, 0.0f);
    std::fill_n(predelayRight.get(), predelayCapacity, 0.0f);
  }
  for (FdnLine& line : lines) {
    line.reset();
    line.lastRaw = 0.0f;
    line.damped = 0.0f;
  }
}

void CSFXReverb::setSampleRate(float rate) {
  rate = usableSampleRate(rate);
  if (rate == sampleRate) return;
  sampleRate = rate;
  allocateBuffers();
  updateCoefficients();
}

void CSFXReverb::allocateBuffers() {
  allocateCommonBuffers();
  bool allocated = true;
  for (int k = 0; k < kLineCount; ++k) {
    FdnLine& line = lines[k];
    allocated = line.allocate(delayLineLength(fdnDelayLengths[k], sampleRate)) && allocated;
    line.signLeft = kSignLeft[k];
    line.signRight = kSignRight[k];
  }
  predelayLeft.reset();
  predelayRight.reset();
  predelayCapacity = 0;
  predelayUnfilled = true;
  predelayIndex = 0;
  const int capacity = sampleRate > 0.0f ? static_cast<int>(sampleRate * 0.15f + 0.5f) : 0;
  if (capacity > 0) {
    // Zeroed, so that no read can ever meet memory that was never written.
    predelayLeft.reset(new (std::nothrow) float[capacity]());
    predelayRight.reset(new (std::nothrow) float[capacity]());
    allocated = allocated && predelayLeft && predelayRight;
    predelayCapacity = capacity;
  }
  if (!allocated) {  // out of memory: no network at all, audio passes untouched
    for (FdnLine& line : lines) line.allocate(0);
    predelayLeft.reset();
    predelayRight.reset();
    predelayCapacity = 0;
  }
}

void CSFXReverb::updateCoefficients() {
  if (sampleRate <= 0.0f) return;
  const double rate = sampleRate;
  const double seconds = decaySeconds(target[1]);
  for (FdnLine& line : lines)
    line.gain = static_cast<float>(std::pow(10.0, -3.0 * line.length / (seconds * rate)));
  const float tone = target[2];
  const float omega = tone * tone * tone * 113097.336f + 31415.928f;  // rad/s
  const float twiceRate = 2.0f * sampleRate;
  const float c = 1.0f / (omega + twiceRate);
  dampA = omega * c;
  dampB = (twiceRate - omega) * c;
}

void CSFXReverb::setParameters(const float params[kParameterCount]) {
  const float predelay = clampUnit(params[0]);
  target[0] = predelay * predelay;
  const float time = clampUnit(params[1]);
  const float tone = clampUnit(params[2]);
  const float level = clampUnit(params[3]);
  target[3] = level * level;
  if (time != target[1] || tone != target[2]) {
    target[1] = time;
    target[2] = tone;
    updateCoefficients();
  }
}

void CSFXReverb::getParameterDisplay(int index, float value, char* text) const {
  switch (index) {
    case 0: std::snprintf(text, kEffectDisplayTextSize, "%.1f ms", value * 150.0f); break;
    case 1: std::snprintf(text, kEffectDisplayTextSize, "%.2f sec", decaySeconds(value)); break;
    case 2: std::snprintf(text, kEffectDisplayTextSize, "%.1f %%", value * 100.0f); break;
    case 3: formatDecibels(value, text); break;
    default: break;
  }
}

void CSFXReverb::process(float* left, float* right, int frames) {
  if (lines[0].length <= 0 || predelayCapacity <= 0) return;
  ScopedFlushDenormals flushDenormals;

  float* const preL = predelayLeft.get();
  float* const preR = predelayRight.get();
  // In 1..capacity frames.
  const int predelay = static_cast<int>(static_cast<float>(predelayCapacity - 1) * target[0]) + 1;
  const float a = dampA, b = dampB;
  float level = smoothed[3];

  for (int frame = 0; frame < frames; ++frame) {
    slewParameter(&level, target[3], 1);

    if (predelayIndex >= predelayCapacity) {
      // Every position has been written once now: at the longest pre-delay the read position
      // never gets ahead of the write position, so this is where such a read becomes valid.
      predelayIndex %= predelayCapacity;
      predelayUnfilled = false;
    }
    int q = predelayIndex - predelay;
    float e = 0.0f;
    if (q < 0) {
      q += predelayCapacity;
      if (!predelayUnfilled) e = (preL[q] + preR[q]) * 0.5f;
    } else {
      predelayUnfilled = false;
      e = (preL[q] + preR[q]) * 0.5f;
    }
    preL[predelayIndex] = sanitizeSample(left[frame]);
    preR[predelayIndex] = sanitizeSample(right[frame]);
    ++predelayIndex;

    float sum = 0.0f, accL = 0.0f, accR = 0.0f;
    for (FdnLine& line : lines) {
      line.wrap();
      const float raw = line.read() * line.gain;
      const float y = (line.lastRaw + raw) * a + line.damped * b;
      line.lastRaw = raw;
      line.damped = y;
      sum += y;
      accL += line.signLeft * y;
      accR += line.signRight * y;
    }

    // Feedback through P - (2/12) J: each line takes the next line's output minus a sixth of
    // the sum, plus the pre-delayed input.
    const float g = e - sum * 0.16666667f;
    for (int k = 0; k < kLineCount; ++k) lines[k].write(g + lines[(k + 1) % kLineCount].damped);

    left[frame] = accL * level + e;
    right[frame] = accR * level + e;
  }

  smoothed[3] = level;
  cleared = false;
}
