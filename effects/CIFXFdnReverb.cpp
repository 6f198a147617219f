#include "effects/CIFXFdnReverb.h"

#include <cmath>
#include <cstdio>
#include <new>

namespace {

constexpr float kSignLeft[CIFXFdnReverbPr::kLineCount] = {1, -1, 1, -1, 1, -1,
                                                           1, -1, 1, -1, 1, -1};
// The left signs with lines 1, 2, 5, 6, 9 and 10 negated.
constexpr float kSignRight[CIFXFdnReverbPr::kLineCount] = {1, 1, -1, -1, 1, 1,
                                                            -1, -1, 1, 1, -1, -1};

float decaySeconds(float x) { return 4.9f * x + 0.099999994f; }

}  // namespace

void CIFXFdnReverbPr::clear() {
  if (cleared) return;
  cleared = true;
  predelayIndex = 0;
  predelayUnfilled = true;
  for (FdnLine& line : lines) {
    line.reset();
    line.damped = 0.0f;
    line.lastRaw = 0.0f;
  }
}

void CIFXFdnReverbPr::setSampleRate(float rate) {
  rate = usableSampleRate(rate);
  if (rate == sampleRate) return;
  sampleRate = rate;
  allocationFailed = false;
  allocateBuffers();
  if (allocationFailed) dropBuffers();
  updateCoefficients();
}

void CIFXFdnReverbPr::allocateCommonBuffers() {
  CIFX::allocateCommonBuffers();
  for (int k = 0; k < kLineCount; ++k) {
    FdnLine& line = lines[k];
    if (!line.allocate(delayLineLength(fdnDelayLengths[k], sampleRate))) allocationFailed = true;
    // Fresh lines count as cleared: nothing of the old state may feed them.
    line.damped = 0.0f;
    line.lastRaw = 0.0f;
    line.signLeft = kSignLeft[k];
    line.signRight = kSignRight[k];
  }
}

void CIFXFdnReverbPr::allocatePredelay(float seconds) {
  predelayLeft.reset();
  predelayRight.reset();
  predelayLength = sampleRate > 0.0f ? static_cast<int>(sampleRate * seconds + 0.5f) : 0;
  if (predelayLength > 0) {
    predelayLeft.reset(new (std::nothrow) float[predelayLength]);
    predelayRight.reset(new (std::nothrow) float[predelayLength]);
    if (!predelayLeft || !predelayRight) allocationFailed = true;
  }
  predelayIndex = 0;
  predelayUnfilled = true;
}

void CIFXFdnReverbPr::dropBuffers() {
  for (FdnLine& line : lines) line.allocate(0);
  predelayLeft.reset();
  predelayRight.reset();
  predelayLength = 0;
}

void CIFXRoomReverb::allocateBuffers() {
  allocateCommonBuffers();
  allocatePredelay(0.015000001f);
}

void CIFXHallReverb::allocateBuffers() {
  allocateCommonBuffers();
  allocatePredelay(0.040000003f);
}

void CIFXSpringReverb::allocateBuffers() {
  allocateCommonBuffers();
  allocatePredelay(0.0f);
}

void CIFXFdnReverbPr::updateCoefficients() {
  if (sampleRate <= 0.0f) return;
  const float tone = target[1];
  const float omega = 100530.97f * tone * tone * tone + 31415.928f;  // rad/s
  const float twiceRate = 2.0f * sampleRate;
  const float c = 1.0f / (omega + twiceRate);
  dampB = (twiceRate - omega) * c;
  dampA = omega * c;
  const double frames = static_cast<double>(decaySeconds(target[0])) * sampleRate;
  for (FdnLine& line : lines)
    line.gain = static_cast<float>(std::pow(10.0, -3.0 * line.length / frames));
}

void CIFXFdnReverbPr::setParameters(const float params[kParameterCount]) {
  const float level = clampUnit(params[2]);
  target[2] = level * level;
  const float time = clampUnit(params[0]);
  const float tone = clampUnit(params[1]);
  if (time != target[0] || tone != target[1]) {
    target[0] = time;
    target[1] = tone;
    updateCoefficients();
  }
}

void CIFXFdnReverbPr::getParameterDisplay(int index, float value, char* text) const {
  const float x = clampUnit(value);
  switch (index) {
    case 0: std::snprintf(text, kEffectDisplayTextSize, "%.2f sec", decaySeconds(x)); break;
    case 1: std::snprintf(text, kEffectDisplayTextSize, "%.1f %%", 100.0f * x); break;
    case 2: formatDecibels(0.5f * x, text); break;
    default: break;
  }
}

void CIFXFdnReverbPr::process(float* left, float* right, int frames) {
  if (lines[0].length <= 0) return;
  ScopedFlushDenormals flushDenormals;
  float* const preL = predelayLeft.get();
  float* const preR = predelayRight.get();
  const float a = dampA, b = dampB;
  float level = smoothed[2];
  for (int i = 0; i < frames; ++i) {
    slewParameter(&level, target[2], 1);
    const float inL = sanitizeSample(left[i]);
    const float inR = sanitizeSample(right[i]);
    float f;
    if (predelayLength > 0) {
      while (predelayIndex >= predelayLength) {
        predelayIndex -= predelayLength;
        predelayUnfilled = false;
      }
      f = predelayUnfilled ? 0.0f : (preL[predelayIndex] + preR[predelayIndex]) * 0.5f;
      preL[predelayIndex] = inL;
      preR[predelayIndex] = inR;
      ++predelayIndex;
    } else {
      f = (inL + inR) * 0.5f;
    }

    float outL = f, outR = f, sum = 0.0f;
    for (FdnLine& line : lines) {
      line.wrap();
      const float raw = line.read() * line.gain;
      const float y = (line.lastRaw + raw) * a + line.damped * b;
      line.lastRaw = raw;
      line.damped = y;
      sum += y;
      outL += line.signLeft * y;
      outR += line.signRight * y;
    }
    // Feedback through P - (2/12) J (orthogonal): each line takes the next line's output minus
    // a sixth of the sum, plus the input.
    const float g = f - sum * 0.16666667f;
    for (int k = 0; k < kLineCount; ++k) lines[k].write(g + lines[(k + 1) % kLineCount].damped);

    const float wet = 0.5f * level;
    if (wetOnly) {
      left[i] = outL * wet;
      right[i] = outR * wet;
    } else {
      left[i] += outL * wet;
      right[i] += outR * wet;
    }
  }
  smoothed[2] = level;
  cleared = false;
}
