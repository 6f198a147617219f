#include "effects/CIFXAutoWah.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "effects/lfoSync.h"

namespace {

// Resonance of both filters: damping 1.4142 / 2.6 = 0.5439 in place of 1.4142.
constexpr float kWahResonance = 0.2f;

// Coefficients {a1, a2, gain} of the low and the high filter of one channel.
struct WahPair {
  float low[3];
  float high[3];
};

WahPair wahPair(float lfo, float width, float centre, float sampleRate) {
  float lowCutoff, highCutoff;
  CIFXAutoWah::bandEdges(lfo, width, centre, sampleRate, lowCutoff, highCutoff);
  WahPair pair;
  butterworthLowPass2(sampleRate, lowCutoff, kWahResonance, pair.low);
  butterworthLowPass2(sampleRate, highCutoff, kWahResonance, pair.high);
  return pair;
}

}  // namespace

void CIFXWahPr::setSampleRate(float rate) {
  const float usable = usableSampleRate(rate);
  if (usable == sampleRate) return;
  sampleRate = usable;
  updateCoefficients();
}

CIFXAutoWah::CIFXAutoWah() { noteBeats = lfoSyncCycleBeats(target[0]); }

void CIFXAutoWah::bandEdges(float lfo, float width, float centre, float sampleRate, float& low,
                            float& high) {
  const float m = lfo * 0.125f * width;
  const float c = 0.5f * centre;
  const float lowPosition = std::clamp(c + 0.335f + m, 0.0f, 1.0f);
  const float highPosition = std::clamp(c + 0.365f + m, 0.0f, 1.0f);
  const float limit = 0.46f * sampleRate;
  low = std::min(std::exp2(14.286341f * lowPosition) + 19.0f, limit);
  high = std::min(std::exp2(14.286341f * highPosition) + 19.0f, limit);
}

void CIFXAutoWah::clear() {
  if (cleared) return;
  cleared = true;
  for (auto& state : wahFilters) state = {};
}

void CIFXAutoWah::setTempo(double beatsPerMinute) {
  if (beatsPerMinute == tempo) return;
  tempo = clampLfoTempo(beatsPerMinute);
  updateCoefficients();
}

void CIFXAutoWah::setSongPosition(double beats) {
  if (beats == songPosition) return;
  songPosition = beats;
  lockLfoPhase(beats, noteBeats, lfoPhase[0]);
  lfoPhase[1].step = (lfoPhase[0].step + 4) & 255;
  lfoPhase[1].fraction = lfoPhase[0].fraction;
}

void CIFXAutoWah::getParameterDisplay(int index, float value, char* text) const {
  const float x = clampUnit(value);
  switch (index) {
    case 0:
      std::snprintf(text, kEffectDisplayTextSize, "%s note", lfoSyncNoteLength(value).name);
      break;
    case 1:
      std::snprintf(text, kEffectDisplayTextSize, "%.1f %%", 100.0f * x);
      break;
    case 2:
      std::snprintf(text, kEffectDisplayTextSize, "%.1f Hz",
                    std::exp2(7.1431704f * x + 4.7930675f) + 19.0f);
      break;
    default:
      break;
  }
}

void CIFXAutoWah::setParameters(const float params[kParameterCount]) {
  target[1] = clampUnit(params[1]);
  target[2] = clampUnit(params[2]);
  const float rate = clampUnit(params[0]);
  if (rate != target[0]) {
    target[0] = rate;
    updateCoefficients();
  }
}

void CIFXAutoWah::updateCoefficients() {
  noteBeats = lfoSyncCycleBeats(target[0]);
  lfoIncrement = syncedLfoIncrement(tempo, noteBeats, sampleRate);
}

void CIFXAutoWah::process(float* left, float* right, int frames) {
  // Without a rate there is no band to place; the block passes unchanged.
  if (usableSampleRate(sampleRate) < 0.0f || frames <= 0) {
    cleared = false;
    return;
  }
  ScopedFlushDenormals flush;
  // The block glides from the LFO position at its start to one increment beyond it.
  WahPair before[2], after[2];
  for (int c = 0; c < 2; ++c) {
    const float lfo = stepSineLfo(lfoPhase[c], lfoIncrement);
    before[c] = wahPair(lfo, smoothed[1], smoothed[2], sampleRate);
  }
  slewParameter(&smoothed[1], target[1], 16);
  slewParameter(&smoothed[2], target[2], 16);
  for (int c = 0; c < 2; ++c) {
    const float lfo = stepSineLfo(lfoPhase[c], 0.0f);
    after[c] = wahPair(lfo, smoothed[1], smoothed[2], sampleRate);
  }

  const float perFrame = 1.0f / static_cast<float>(frames);
  float* const io[2] = {left, right};
  for (int c = 0; c < 2; ++c) {
    float low[3], high[3], lowInc[3], highInc[3];
    for (int k = 0; k < 3; ++k) {
      low[k] = before[c].low[k];
      high[k] = before[c].high[k];
      lowInc[k] = (after[c].low[k] - low[k]) * perFrame;
      highInc[k] = (after[c].high[k] - high[k]) * perFrame;
    }
    LowPassSectionState lowState = wahFilters[2 * c];
    LowPassSectionState highState = wahFilters[2 * c + 1];
    float* samples = io[c];
    for (int i = 0; i < frames; ++i) {
      for (int k = 0; k < 3; ++k) {
        low[k] += lowInc[k];
        high[k] += highInc[k];
      }
      const float x = sanitizeSample(samples[i]);
      samples[i] = runLowPassSection(high, highState, x) - runLowPassSection(low, lowState, x);
    }
    wahFilters[2 * c] = lowState;
    wahFilters[2 * c + 1] = highState;
  }
  cleared = false;
}
