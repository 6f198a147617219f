#include "effects/effectDsp.h"

#include <algorithm>
#include <cstdio>

void formatDecibels(float value, char* text) {
  if (value > 0.0f) {
    const float decibels = static_cast<float>(20.0 * std::log10(static_cast<double>(value)));
    std::snprintf(text, kEffectDisplayTextSize, "%.2f dB", decibels);
  } else {
    std::snprintf(text, kEffectDisplayTextSize, "-oo");
  }
}

namespace {

// The warped cutoff term C = 2 fs / (2 fs tan(pi f / fs) + 1) (not the textbook cotangent),
// with f held to at most 0.46 fs. Returns 0 when the rate is not usable or the cutoff is not
// positive (a cutoff of 0 would put a pole on the unit circle).
float warpedCutoffTerm(float sampleRate, float cutoff) {
  if (usableSampleRate(sampleRate) < 0.0f || !(cutoff > 0.0f)) return 0.0f;
  const float f = std::min(cutoff, 0.46f * sampleRate);
  const float t = std::tan(3.1415927f * f / sampleRate);
  return 2.0f * sampleRate / (2.0f * sampleRate * t + 1.0f);
}

void lowPassSection(float d, float q, float out[3]) {
  const float m = q + d + 1.0f;
  out[0] = 2.0f * (1.0f - d) / m;
  out[1] = (d - q + 1.0f) / m;
  out[2] = 1.0f / m;
}

// Without a usable rate or cutoff the section is the plain smoother {0, 0, 0.25} (unity at DC).
void neutralSection(float out[3]) {
  out[0] = 0.0f;
  out[1] = 0.0f;
  out[2] = 0.25f;
}

}  // namespace

void butterworthLowPass2(float sampleRate, float cutoff, float resonance, float out[3]) {
  const float c = warpedCutoffTerm(sampleRate, cutoff);
  if (c <= 0.0f) return neutralSection(out);
  const float e = c / (clampUnit(resonance) * 8.0f + 1.0f);
  lowPassSection(c * c, e * 1.4142f, out);
}

void butterworthLowPass4(float sampleRate, float cutoff, float resonance, float first[3],
                         float second[3]) {
  const float c = warpedCutoffTerm(sampleRate, cutoff);
  if (c <= 0.0f) {
    neutralSection(first);
    neutralSection(second);
    return;
  }
  const float e = c / (clampUnit(resonance) * 8.0f + 1.0f);
  lowPassSection(c * c, e * 0.765367f, first);
  lowPassSection(c * c, e * 1.847759f, second);
}
