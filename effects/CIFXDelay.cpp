#include "effects/CIFXDelay.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <new>

namespace {

constexpr float kLineSeconds = 6.0f;
constexpr double kSlowestTempo = 40.0;  // a whole note at 40 bpm fills the six seconds exactly
constexpr float kDampingOmega = 32169.91f;  // 2 pi x 5120 Hz
constexpr float kStereoShortSeconds = 0.007f;
constexpr float kStereoLeftEchoScale = 0.775f;

}  // namespace

// ---- Common to the three delays ----------------------------------------------------------

void CIFXDelayPr::clear() {
  if (cleared) return;
  cleared = true;
  writeIndex = 0;
  unfilled = true;
  lastRaw[0] = lastRaw[1] = 0.0f;
  damped[0] = damped[1] = 0.0f;
}

void CIFXDelayPr::setSampleRate(float rate) {
  rate = usableSampleRate(rate);
  if (rate == sampleRate) return;
  sampleRate = rate;
  allocateBuffers();
  updateCoefficients();
}

void CIFXDelayPr::setTempo(double beatsPerMinute) {
  if (!std::isfinite(beatsPerMinute)) return;
  // Compared with the tempo last given, not with the floored copy: below 40 bpm the floored copy
  // never equals the host's tempo, and restarting in every sub-block would silence the echo.
  if (beatsPerMinute == hostTempo) return;
  hostTempo = beatsPerMinute;
  tempo = std::max(beatsPerMinute, kSlowestTempo);
  updateCoefficients();
}

void CIFXDelayPr::getParameterDisplay(int index, float value, char* text) const {
  switch (index) {
    case 0:
      std::snprintf(text, kEffectDisplayTextSize, "%s note", delaySyncNoteLength(value).name);
      break;
    case 1: std::snprintf(text, kEffectDisplayTextSize, "%.1f %%", value * 100.0f); break;
    case 2: formatDecibels(value, text); break;
    default: break;
  }
}

void CIFXDelayPr::setParameters(const float params[kParameterCount]) {
  target[1] = clampUnit(params[1]) * 0.95f;
  const float level = clampUnit(params[2]);
  target[2] = level * level;
  const float time = clampUnit(params[0]);
  if (time != target[0]) {
    target[0] = time;
    updateCoefficients();
  }
}

void CIFXDelayPr::allocateCommonBuffers() {
  CIFX::allocateCommonBuffers();
  leftLine.reset();
  rightLine.reset();
  capacity = 0;
  delayLength = 0;
  unfilled = true;
  writeIndex = 0;
  lastRaw[0] = lastRaw[1] = 0.0f;
  damped[0] = damped[1] = 0.0f;
  if (sampleRate <= 0.0f) return;
  const int frames = static_cast<int>(sampleRate * kLineSeconds + 0.5f);
  // Not zeroed: the unfilled flag hides what the lines hold until it is written.
  leftLine.reset(new (std::nothrow) float[frames]);
  rightLine.reset(new (std::nothrow) float[frames]);
  if (!leftLine || !rightLine) {  // out of memory: no echo, the audio passes untouched
    leftLine.reset();
    rightLine.reset();
    return;
  }
  capacity = frames;
}

void CIFXDelayPr::updateCommonCoefficients() {
  const double beats = delaySyncNoteLength(target[0]).beats;
  writeIndex = 0;
  unfilled = true;
  delayLength = 0;
  if (sampleRate > 0.0f && tempo > 0.0) {
    const double frames = static_cast<double>(sampleRate) * beats * 60.0 / tempo + 0.5;
    delayLength = static_cast<int>(std::min(static_cast<double>(capacity), frames));
  }
  if (sampleRate > 0.0f) {
    const float twiceRate = 2.0f * sampleRate;
    dampA = kDampingOmega / (twiceRate + kDampingOmega);
    dampB = (twiceRate - kDampingOmega) / (twiceRate + kDampingOmega);
  }
}

void CIFXDelay::process(float* left, float* right, int frames) {
  if (delayLength <= 0) return;
  ScopedFlushDenormals flushDenormals;
  float* const lineL = leftLine.get();
  float* const lineR = rightLine.get();
  const float dryScale = wetOnly ? 0.0f : 1.0f;
  float feedback = smoothed[1], level = smoothed[2];

  for (int frame = 0; frame < frames; ++frame) {
    slewParameter(&feedback, target[1], 1);
    slewParameter(&level, target[2], 1);
    const int p = ringPosition();
    const float xL = sanitizeSample(left[frame]);
    const float xR = sanitizeSample(right[frame]);
    if (unfilled) {
      lineL[p] = xL;
      lineR[p] = xR;
      left[frame] = xL * dryScale;
      right[frame] = xR * dryScale;
    } else {
      const float yL = damp(0, lineL[p]);
      const float yR = damp(1, lineR[p]);
      lineL[p] = yL * feedback + xL;
      lineR[p] = yR * feedback + xR;
      left[frame] = yL * level + xL * dryScale;
      right[frame] = yR * level + xR * dryScale;
    }
    ++writeIndex;
  }

  smoothed[1] = feedback;
  smoothed[2] = level;
  cleared = false;
}

// ---- Stereo and ping-pong delays ---------------------------------------------------------

void CIFXShortLineDelayPr::clear() {
  if (cleared) return;
  CIFXDelayPr::clear();
  shortIndex = 0;
  shortUnfilled = true;
}

void CIFXShortLineDelayPr::allocateShortLine(int frames) {
  shortLine.reset();
  shortIndex = 0;
  shortUnfilled = true;
  if (frames <= 0) return;
  shortLine.reset(new (std::nothrow) float[frames]);
}

void CIFXShortLineDelayPr::processShortLine(float* left, float* right, int frames,
                                            bool pingPong) {
  if (delayLength <= 0 || shortLength <= 0) return;
  ScopedFlushDenormals flushDenormals;
  float* const lineL = leftLine.get();
  float* const lineR = rightLine.get();
  const float dryScale = wetOnly ? 0.0f : 1.0f;
  const float leftEchoScale = pingPong ? 1.0f : kStereoLeftEchoScale;
  float feedback = smoothed[1], level = smoothed[2];

  for (int frame = 0; frame < frames; ++frame) {
    slewParameter(&feedback, target[1], 1);
    slewParameter(&level, target[2], 1);
    const int p = ringPosition();
    const float r = shortRead();
    const float xL = sanitizeSample(left[frame]);
    const float xR = sanitizeSample(right[frame]);
    shortLine[shortIndex] = xR;
    // The right line is fed with the right input delayed by the short line.
    if (unfilled) {
      lineL[p] = xL;
      lineR[p] = r;
      left[frame] = xL * dryScale;
      right[frame] = (pingPong ? r * level : 0.0f) + xR * dryScale;
    } else {
      const float yL = damp(0, lineL[p]);
      const float yR = damp(1, lineR[p]);
      lineL[p] = yL * feedback + xL;
      lineR[p] = yR * feedback + r;
      left[frame] = yL * level * leftEchoScale + xL * dryScale;
      right[frame] = (pingPong ? yR + r : yR) * level + xR * dryScale;
    }
    ++writeIndex;
    ++shortIndex;
  }

  smoothed[1] = feedback;
  smoothed[2] = level;
  cleared = false;
}

void CIFXStereoDelay::allocateBuffers() {
  allocateCommonBuffers();
  shortLength = 0;
  const int frames = sampleRate > 0.0f
                         ? static_cast<int>(sampleRate * kStereoShortSeconds + 0.5f)
                         : 0;
  allocateShortLine(frames);
  if (shortLine) shortLength = frames;
}

void CIFXStereoDelay::process(float* left, float* right, int frames) {
  processShortLine(left, right, frames, false);
}

void CIFXPPDelay::allocateBuffers() {
  allocateCommonBuffers();
  shortCapacity = 0;
  shortLength = 0;
  const int frames = capacity > 0 ? static_cast<int>((capacity + 1) * 0.5) : 0;
  allocateShortLine(frames);
  if (shortLine) shortCapacity = frames;
}

void CIFXPPDelay::updateCoefficients() {
  updateCommonCoefficients();
  shortIndex = 0;
  shortUnfilled = true;
  // Half the delay; never more than the short line holds.
  shortLength = std::min(static_cast<int>((delayLength + 1) * 0.5), shortCapacity);
}

void CIFXPPDelay::process(float* left, float* right, int frames) {
  processShortLine(left, right, frames, true);
}
