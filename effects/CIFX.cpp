#include "effects/CIFX.h"

#include <cstdio>

void CIFX::markCleared() { cleared = true; }

void CIFX::clear() { markCleared(); }

void CIFX::setSampleRate(float rate) { sampleRate = usableSampleRate(rate); }

void CIFX::setTempo(double beatsPerMinute) { tempo = beatsPerMinute; }

void CIFX::setSongPosition(double beats) { songPosition = beats; }

void CIFX::getParameterDisplay(int index, float value, char* text) const {
  if (index < 0 || index >= kParameterCount) return;
  std::snprintf(text, kEffectDisplayTextSize, "%.1f", value);
}

void CIFX::getCurrentParameterDisplay(int index, char* text) const {
  if (index < 0 || index >= kParameterCount) return;
  getParameterDisplay(index, target[index], text);
}

void CIFX::setParameters(const float params[kParameterCount]) {
  for (int i = 0; i < kParameterCount; ++i) target[i] = clampUnit(params[i]);
}

void CIFX::setWetOnly(bool on) { wetOnly = on; }

void CIFX::allocateCommonBuffers() { cleared = true; }

void CIFX::allocateBuffers() { allocateCommonBuffers(); }

void CIFX::updateCommonCoefficients() {}

void CIFX::updateCoefficients() { updateCommonCoefficients(); }

void CIFX::process(float*, float*, int) { cleared = false; }
