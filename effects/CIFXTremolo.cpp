#include "effects/CIFXTremolo.h"

#include <cstdio>

#include "effects/lfoSync.h"
#include "engine/dsp/lfoWaveNames.h"

namespace {

// effectLfo wave (and display entry) of a normalised WAVE value.
int waveNumber(float x) { return static_cast<int>(3.0f * clampUnit(x) + 0.5f); }

}  // namespace

CIFXVibratoPr::CIFXVibratoPr() { noteBeats = lfoSyncCycleBeats(target[1]); }

void CIFXVibratoPr::clear() {
  if (cleared) return;
  cleared = true;
  modGain = 0.5f;
}

void CIFXVibratoPr::setSampleRate(float rate) {
  const float usable = usableSampleRate(rate);
  if (usable == sampleRate) return;
  sampleRate = usable;
  updateCoefficients();
}

void CIFXVibratoPr::setTempo(double beatsPerMinute) {
  if (beatsPerMinute == tempo) return;
  tempo = clampLfoTempo(beatsPerMinute);
  updateCoefficients();
}

void CIFXVibratoPr::setSongPosition(double beats) {
  if (beats == songPosition) return;
  songPosition = beats;
  lockLfoPhase(beats, noteBeats, lfoPhase);
}

void CIFXVibratoPr::getParameterDisplay(int index, float value, char* text) const {
  switch (index) {
    case 0:
      std::snprintf(text, kEffectDisplayTextSize, "%s", lfoWaveNames[waveNumber(value)]);
      break;
    case 1:
      std::snprintf(text, kEffectDisplayTextSize, "%s note", lfoSyncNoteLength(value).name);
      break;
    case 2:
      std::snprintf(text, kEffectDisplayTextSize, "%.1f %%", 100.0f * clampUnit(value));
      break;
    default:
      break;
  }
}

void CIFXVibratoPr::setParameters(const float params[kParameterCount]) {
  target[0] = clampUnit(params[0]);
  target[2] = clampUnit(params[2]);
  const float rate = clampUnit(params[1]);
  if (rate != target[1]) {
    target[1] = rate;
    updateCoefficients();
  }
}

void CIFXVibratoPr::updateCoefficients() {
  noteBeats = lfoSyncCycleBeats(target[1]);
  lfoIncrement = syncedLfoIncrement(tempo, noteBeats, sampleRate);
}

float CIFXVibratoPr::nextLfo(int frames) {
  const float lfo = effectLfo(waveNumber(target[0]), lfoPhase);
  if (frames > 0) lfoPhase.fraction += static_cast<float>(frames) * lfoIncrement;
  return lfo;
}

void CIFXTremolo::process(float* left, float* right, int frames) {
  const float m = (nextLfo(frames) * 0.5f - 0.5f) * target[2] + 1.0f;
  float gain = modGain;
  for (int i = 0; i < frames; ++i) {
    slewParameter(&gain, m, 1);
    left[i] *= gain;
    right[i] *= gain;
  }
  modGain = gain;
  cleared = false;
}

void CIFXAutoPan::process(float* left, float* right, int frames) {
  const float m = nextLfo(frames) * 0.5f * target[2] + 0.5f;
  float position = modGain;
  for (int i = 0; i < frames; ++i) {
    slewParameter(&position, m, 1);
    left[i] *= 1.0f - position;
    right[i] *= position;
  }
  modGain = position;
  cleared = false;
}
