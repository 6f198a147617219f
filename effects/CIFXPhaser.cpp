#include "effects/CIFXPhaser.h"

#include <cstdio>

#include "effects/lfoSync.h"

CIFXPhaser::CIFXPhaser() { noteBeats = lfoSyncCycleBeats(target[0]); }

void CIFXPhaser::clear() {
  if (cleared) return;
  cleared = true;
  for (auto& channel : stageOut)
    for (float& v : channel) v = 0.0f;
  for (auto& channel : stageIn)
    for (float& v : channel) v = 0.0f;
}

void CIFXPhaser::setSampleRate(float rate) {
  const float usable = usableSampleRate(rate);
  if (usable == sampleRate) return;
  sampleRate = usable;
  updateCoefficients();
}

void CIFXPhaser::setTempo(double beatsPerMinute) {
  if (beatsPerMinute == tempo) return;
  tempo = clampLfoTempo(beatsPerMinute);
  updateCoefficients();
}

void CIFXPhaser::setSongPosition(double beats) {
  if (beats == songPosition) return;
  songPosition = beats;
  lockLfoPhase(beats, noteBeats, lfoPhase[0]);
}

void CIFXPhaser::getParameterDisplay(int index, float value, char* text) const {
  switch (index) {
    case 0:
      std::snprintf(text, kEffectDisplayTextSize, "%s note", lfoSyncNoteLength(value).name);
      break;
    case 1:
    case 2:
      std::snprintf(text, kEffectDisplayTextSize, "%.1f %%", 100.0f * clampUnit(value));
      break;
    default:
      break;
  }
}

void CIFXPhaser::setParameters(const float params[kParameterCount]) {
  target[1] = clampUnit(params[1]);
  target[2] = clampUnit(params[2]);
  const float rate = clampUnit(params[0]);
  if (rate != target[0]) {
    target[0] = rate;
    updateCoefficients();
  }
}

void CIFXPhaser::updateCoefficients() {
  noteBeats = lfoSyncCycleBeats(target[0]);
  lfoIncrement = syncedLfoIncrement(tempo, noteBeats, sampleRate);
}

void CIFXPhaser::process(float* left, float* right, int frames) {
  // Without a rate the corner cannot be placed; the block passes unchanged.
  if (usableSampleRate(sampleRate) < 0.0f) {
    cleared = false;
    return;
  }
  ScopedFlushDenormals flush;
  lfoPhase[1].step = (lfoPhase[0].step + 128) & 255;
  lfoPhase[1].fraction = lfoPhase[0].fraction;

  const float perSample = 1.0f / sampleRate;
  float* const io[2] = {left, right};
  for (int i = 0; i < frames; ++i) {
    for (int p = 0; p < kParameterCount; ++p) slewParameter(&smoothed[p], target[p], 1);
    const float width = smoothed[1];
    const float feedback = smoothed[2] * 0.99f;
    for (int c = 0; c < 2; ++c) {
      const float lfo = stepSineLfo(lfoPhase[c], lfoIncrement);
      // Corner 50 .. 50 + 8000 x WIDTH Hz as w = 2 pi f / fs; a = (1 - w) / (1 + w).
      const float w = ((lfo + 1.0f) * 25132.74f * width + 314.15924f) * perSample;
      const float a = (1.0f - w) / (1.0f + w);
      const float x = sanitizeSample(io[c][i]);
      float* out = stageOut[c];
      float* in = stageIn[c];
      float u = (out[kStages - 1] + 1.1e-7f) * feedback + x;
      for (int s = 0; s < kStages; ++s) {
        const float y = a * (u + out[s]) - in[s];
        in[s] = u;
        out[s] = y;
        u = y;
      }
      io[c][i] = (x + u) * 0.5f;
    }
  }
  cleared = false;
}
