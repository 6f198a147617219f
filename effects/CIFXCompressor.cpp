#include "effects/CIFXCompressor.h"

#include <cmath>
#include <cstdio>

namespace {

float thresholdOf(float x) { return x * 0.99f + 0.01f; }  // 0.01 .. 1 (-40 .. 0 dB)
float ratioOf(float x) { return x * 19.0f + 1.0f; }       // 1:1 .. 20:1
int releaseMsOf(float x) { return static_cast<int>(x * x * x * 4990.0f + 0.5f) + 10; }

constexpr float kFullScale = 32768.0f;
constexpr float kThresholdScale = 32767.5f;
constexpr float kPerSecondFromMs = 999.99994f;  // 1000: the attack takes 1 ms
// The RMS detector's smoothing coefficient is the sample rate times this (0.0147 at 44100 Hz).
constexpr float kRmsRateFactor = 3.3333302e-7f;

// The detector level of a frame on the 16-bit scale: the frame's mean magnitude, or that level
// smoothed by the RMS envelope.
template <bool Rms>
inline float detect(float u, float& envelope, float coefficient) {
  if constexpr (Rms) {
    envelope += (u - envelope) * coefficient;
    return envelope;
  } else {
    return u;
  }
}

template <bool Rms>
void compressFrames(float* left, float* right, int frames, float sampleRate,
                    const float target[3], float smoothed[3], float& gainState,
                    float& envelope) {
  const float attackPerFrame = kPerSecondFromMs / sampleRate;
  const float rmsCoefficient = sampleRate * kRmsRateFactor;
  float threshold = smoothed[0], ratio = smoothed[1], release = smoothed[2];
  float gain = gainState;
  float level = envelope;

  for (int frame = 0; frame < frames; ++frame) {
    slewParameter(&threshold, target[0], 1);
    slewParameter(&ratio, target[1], 1);
    slewParameter(&release, target[2], 1);
    const float t = thresholdOf(threshold);
    const float floor = (1.0f - t) / ratioOf(ratio) + t;
    const float xL = sanitizeSample(left[frame]);
    const float xR = sanitizeSample(right[frame]);
    const float u = (std::fabs(xL) + std::fabs(xR)) * 0.5f * kFullScale;
    if (detect<Rms>(u, level, rmsCoefficient) > t * kThresholdScale) {
      gain -= (1.0f - floor) * attackPerFrame;
      if (gain < floor) gain = floor;
    } else if (gain < 1.0f) {
      const float releaseMs = static_cast<float>(releaseMsOf(release));
      gain += (1.0f - floor) * kPerSecondFromMs / (releaseMs * sampleRate);
      if (gain > 1.0f) gain = 1.0f;
    }
    const float makeUp = gain / t;
    left[frame] = xL * makeUp;
    right[frame] = xR * makeUp;
  }

  smoothed[0] = threshold;
  smoothed[1] = ratio;
  smoothed[2] = release;
  gainState = gain;
  envelope = level;
}

}  // namespace

void CIFXDynamicPr::clear() {
  if (cleared) return;
  cleared = true;
  gain = 1.0f;
}

void CIFXDynamicPr::getParameterDisplay(int index, float value, char* text) const {
  switch (index) {
    case 0: formatDecibels(thresholdOf(value), text); break;
    case 1: std::snprintf(text, kEffectDisplayTextSize, "%.1f : 1", ratioOf(value)); break;
    case 2: std::snprintf(text, kEffectDisplayTextSize, "%d ms", releaseMsOf(value)); break;
    default: break;
  }
}

void CIFXDynamicPr::compress(float* left, float* right, int frames, float* envelope) {
  // Without a rate the attack and release times mean nothing: leave the audio as it is.
  if (sampleRate > 0.0f) {
    ScopedFlushDenormals flushDenormals;
    if (envelope != nullptr) {
      compressFrames<true>(left, right, frames, sampleRate, target, smoothed, gain, *envelope);
    } else {
      float unused = 0.0f;
      compressFrames<false>(left, right, frames, sampleRate, target, smoothed, gain, unused);
    }
  }
  cleared = false;
}

void CIFXPeakCompressor::process(float* left, float* right, int frames) {
  compress(left, right, frames, nullptr);
}

void CIFXRMSCompressor::clear() {
  if (cleared) return;
  CIFXDynamicPr::clear();
  envelope = 0.0f;
}

void CIFXRMSCompressor::process(float* left, float* right, int frames) {
  compress(left, right, frames, &envelope);
}
