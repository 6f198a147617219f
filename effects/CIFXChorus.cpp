#include "effects/CIFXChorus.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <new>

namespace {

float chorusRateHz(float x) { return x * x * x * 19.9f + 0.1f; }

}  // namespace

void CIFXCombPr::clear() {
  if (cleared) return;
  cleared = true;
  if (lineLength > 0) {
    std::fill_n(leftLine.get(), lineLength, 0.0f);
    std::fill_n(rightLine.get(), lineLength, 0.0f);
  }
}

void CIFXCombPr::setSampleRate(float rate) {
  rate = usableSampleRate(rate);
  if (rate == sampleRate) return;
  sampleRate = rate;
  allocateBuffers();
  updateCoefficients();
}

void CIFXCombPr::setParameters(const float params[kParameterCount]) {
  target[1] = clampUnit(params[1]);
  target[2] = clampUnit(params[2]);
  const float rate = clampUnit(params[0]);
  if (rate != target[0]) {
    target[0] = rate;
    updateCoefficients();
  }
}

void CIFXCombPr::allocateLines() {
  allocateCommonBuffers();
  leftLine.reset();
  rightLine.reset();
  lineLength = 0;
  writePosition = 0;
  readBase = 0;
  if (sampleRate <= 0.0f) return;
  const int length = static_cast<int>(sampleRate * span_ + 0.5f) + 3;
  leftLine.reset(new (std::nothrow) float[length]());
  rightLine.reset(new (std::nothrow) float[length]());
  if (!leftLine || !rightLine) {  // out of memory: no lines, the audio passes untouched
    leftLine.reset();
    rightLine.reset();
    return;
  }
  lineLength = length;
  readBase = static_cast<int>(sampleRate * offset_ + 0.5f);
}

void CIFXCombPr::process(float* left, float* right, int frames) {
  const int ringEnd = lineLength - 3;
  if (ringEnd <= 0) return;
  ScopedFlushDenormals flushDenormals;

  // The chorus holds its right LFO a quarter cycle ahead of the left one; the flanger's right
  // LFO was placed by the song position and runs on its own.
  if (!feedback_) {
    rightLfo.step = leftLfo.step + 64;
    rightLfo.fraction = leftLfo.fraction;
  }

  float* const lineL = leftLine.get();
  float* const lineR = rightLine.get();
  const float sweep = sampleRate * sweepSeconds_;
  const float ringEndF = static_cast<float>(ringEnd);
  const float increment = lfoIncrement;
  float width = smoothed[1];
  float amount = smoothed[2];  // chorus DEPTH, flanger FBK
  int write = writePosition;
  int readStart = readBase;

  // One side of one frame: reads the line at the swept position, then stores this frame's input.
  auto side = [&](float* line, LfoPhase& lfo, float input) {
    const float wave = effectLfo(0, lfo);
    lfo.fraction += increment;
    float p = (wave + 1.0f) * sweep * width + static_cast<float>(readStart);
    while (p > ringEndF) p -= ringEndF;
    const int i = std::clamp(static_cast<int>(p), 0, ringEnd);
    const float y = line[i] + (line[i + 1] - line[i]) * (p - static_cast<float>(i));
    const float x = sanitizeSample(input);
    if (feedback_) {
      line[write] = y * amount * 0.9f + x;
      return (y + x) * 0.5f;
    }
    line[write] = x;
    return x + (y - x) * amount;
  };

  for (int frame = 0; frame < frames; ++frame) {
    slewParameter(&width, target[1], 1);
    slewParameter(&amount, target[2], 1);
    if (readStart > ringEnd) readStart = 1;
    if (write > ringEnd) {
      write = 1;
      lineL[0] = lineL[ringEnd];
      lineR[0] = lineR[ringEnd];
    }
    left[frame] = side(lineL, leftLfo, left[frame]);
    right[frame] = side(lineR, rightLfo, right[frame]);
    ++write;
    ++readStart;
  }

  smoothed[1] = width;
  smoothed[2] = amount;
  writePosition = write;
  readBase = readStart;
  cleared = false;
}

// ---- Chorus ------------------------------------------------------------------------------

void CIFXChorus::getParameterDisplay(int index, float value, char* text) const {
  switch (index) {
    case 0: std::snprintf(text, kEffectDisplayTextSize, "%.2f Hz", chorusRateHz(value)); break;
    case 1:
    case 2: std::snprintf(text, kEffectDisplayTextSize, "%.1f %%", value * 100.0f); break;
    default: break;
  }
}

void CIFXChorus::allocateBuffers() { allocateLines(); }

void CIFXChorus::updateCoefficients() {
  const float x = target[0];
  // 256 steps per cycle times (x^3 * 19.9 + 0.1) Hz.
  lfoIncrement = sampleRate > 0.0f ? (x * x * x * 5094.4f + 25.6f) / sampleRate : 0.0f;
}

// ---- Flanger -----------------------------------------------------------------------------

void CIFXFlanger::setTempo(double beatsPerMinute) {
  if (!std::isfinite(beatsPerMinute)) return;
  // Compared with the tempo last given, not the floored copy, so that a host tempo below 40
  // does not count as a change in every sub-block.
  if (beatsPerMinute == hostTempo) return;
  hostTempo = beatsPerMinute;
  tempo = std::max(beatsPerMinute, 40.0);
  updateCoefficients();
}

void CIFXFlanger::setSongPosition(double beats) {
  if (beats == songPosition || !std::isfinite(beats)) return;
  songPosition = beats;
  const double cycles = beats / noteBeats;
  double u = (cycles - std::trunc(cycles)) * 256.0;
  if (u < 0.0) u += 256.0;  // a position before the song start: the same phase, counted up
  const int step = static_cast<int>(u);
  const float fraction = static_cast<float>(u - step);
  leftLfo.step = step;
  rightLfo.step = step + 128;
  leftLfo.fraction = fraction;
  rightLfo.fraction = fraction;
}

void CIFXFlanger::getParameterDisplay(int index, float value, char* text) const {
  switch (index) {
    case 0:
      std::snprintf(text, kEffectDisplayTextSize, "%s note", lfoSyncNoteLength(value).name);
      break;
    case 1:
    case 2: std::snprintf(text, kEffectDisplayTextSize, "%.1f %%", value * 100.0f); break;
    default: break;
  }
}

void CIFXFlanger::allocateBuffers() { allocateLines(); }

void CIFXFlanger::updateCoefficients() {
  noteBeats = lfoSyncNoteLength(target[0]).beats;
  if (sampleRate > 0.0f && tempo > 0.0) {
    const float cyclesPerSecond = static_cast<float>(tempo / noteBeats / 60.0);
    lfoIncrement = 256.0f / sampleRate * cyclesPerSecond;
  } else {
    lfoIncrement = 0.0f;
  }
}
