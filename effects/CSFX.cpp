#include "effects/CSFX.h"

#include <cstdio>

void CSFX::markCleared() { cleared = true; }

void CSFX::clear() { markCleared(); }

void CSFX::setSampleRate(float rate) { sampleRate = usableSampleRate(rate); }

void CSFX::getParameterDisplay(int index, float value, char* text) const {
  if (index < 0 || index >= kParameterCount) return;
  std::snprintf(text, kEffectDisplayTextSize, "%.1f", value);
}

void CSFX::getCurrentParameterDisplay(int index, char* text) const {
  if (index < 0 || index >= kParameterCount) return;
  getParameterDisplay(index, target[index], text);
}

void CSFX::setParameters(const float params[kParameterCount]) {
  for (int i = 0; i < kParameterCount; ++i) target[i] = clampUnit(params[i]);
}

void CSFX::allocateCommonBuffers() { cleared = true; }

void CSFX::allocateBuffers() { allocateCommonBuffers(); }

void CSFX::updateCommonCoefficients() {}

void CSFX::updateCoefficients() { updateCommonCoefficients(); }

void CSFX::process(float*, float*, int) { cleared = false; }
