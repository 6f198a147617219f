#include "engine/dsp/voicePrimitives.h"

#include <cmath>
#include <emmintrin.h>
#include <numbers>

void adsrStep(float attackTime, float sustain, EnvelopeState& e, const EnvelopeRates& rates, int n) {
  const float perSample = 1.0f / static_cast<float>(n > 0 ? n : 1);
  if (e.state == kEnvAttack) {
    if (attackTime <= 0.0f || e.level >= 255.0) {
      e.level = 255.0;
      e.output = 1.0f;
      e.state = kEnvDecay;
    } else {
      const double next = std::fmin(e.level + rates.attack, 255.0);
      e.step = static_cast<float>((next - e.level) / 255.0) * perSample;
      e.level = next;
      return;
    }
  }
  if (e.state == kEnvDecay) {
    if (e.level <= 0.0) {
      e.state = kEnvSustain;
      e.level = 255.0;
    } else {
      const double next = std::fmax(e.level - rates.decay, 0.0);
      e.step = (curveLookup(next) - curveLookup(e.level)) * (1.0f - sustain) * perSample;
      e.level = next;
      return;
    }
  }
  switch (e.state) {
    case kEnvSustain:
      e.step = (sustain - e.output) * perSample;
      break;
    case kEnvRelease: {
      double next = e.level - rates.release;
      next = next < 0.0 ? 0.0 : (next > 255.0 ? 255.0 : next);
      e.step = (curveLookup(next) - curveLookup(e.level)) * e.releaseFrom * perSample;
      e.level = next;
      break;
    }
    default:  // hold: nothing moves
      break;
  }
}

void arStep(bool hold, float attackTime, EnvelopeState& e, double attackRate, double releaseRate, int n) {
  const float perSample = 1.0f / static_cast<float>(n > 0 ? n : 1);
  if (e.state == kEnvAttack) {
    if (attackTime <= 0.0f || e.level >= 255.0) {
      e.level = 255.0;
      e.output = 1.0f;
      e.state = hold ? kEnvHold : kEnvRelease;
    } else {
      const double next = std::fmin(e.level + attackRate, 255.0);
      e.step = static_cast<float>((next - e.level) / 255.0) * perSample;
      e.level = next;
      return;
    }
  }
  if (e.state == kEnvHold) {
    e.step = 0.0f;
  } else if (e.state == kEnvRelease) {
    double next = e.level - releaseRate;
    next = next < 0.0 ? 0.0 : (next > 255.0 ? 255.0 : next);
    e.step = (curveLookup(next) - curveLookup(e.level)) * perSample;
    e.level = next;
  }
}

float lowPassCutoffHz(float x, float rate) {
  const float wanted = std::exp2(14.28634f * x) + 19.0f;
  const float limit = 0.46f * rate;
  return wanted < limit ? wanted : limit;
}

int lowPassCoefficients(float x, float r, float rate, int32_t slope, FilterSection sections[2]) {
  const double F = rate;
  const double fc = lowPassCutoffHz(x, rate);
  const double K = std::tan(std::numbers::pi * fc / F);
  const double c = 2.0 * F / (2.0 * F * K + 1.0);
  const double q = c / (8.0 * r + 1.0);
  auto design = [c, q](double k) {
    const double D = 1.0 + k * q + c * c;
    return FilterSection{static_cast<float>(2.0 * (1.0 - c * c) / D), static_cast<float>((1.0 - k * q + c * c) / D),
                         static_cast<float>(1.0 / D)};
  };
  if (slope == 1) {
    sections[0] = design(1.4142);
    return 1;
  }
  sections[0] = design(0.765367);
  sections[1] = design(1.847759);
  return 2;
}

namespace {

// Integers 0..32767 for the random waves.
int32_t nextRandom(uint32_t& seed) {
  seed = seed * 1103515245u + 12345u;
  return static_cast<int32_t>((seed >> 16) & 0x7FFF);
}

}  // namespace

float lfoValue(int32_t wave, LfoState& p) {
  const int32_t whole = static_cast<int32_t>(p.fraction);
  p.index = (p.index + whole) & (kLfoSineSteps - 1);
  p.fraction -= static_cast<float>(whole);
  const int32_t i = p.index;
  const float f = p.fraction;
  const float x = static_cast<float>(i) + f;
  float value = 0.0f;
  switch (wave) {
    case 0:
    case 1:
      value = lfoSineTable[i] + (lfoSineTable[i + 1] - lfoSineTable[i]) * f;
      break;
    case 2:
    case 3: {
      const float y = x * 4.0f / 255.0f;
      value = i < 64 ? y : (i < 192 ? 2.0f - y : y - 4.0f);
      break;
    }
    case 4:
    case 5:
      value = x * 2.0f / 255.0f - 1.0f;
      break;
    case 6:
    case 7:
      value = i < 128 ? 1.0f : -1.0f;
      break;
    case 8:
      if (i < p.lastIndex) {
        p.heldRandom += static_cast<float>(nextRandom(p.randomSeed) % 11 - 5) * 0.001f;
        p.heldRandom = p.heldRandom < -1.0f ? -1.0f : (p.heldRandom > 1.0f ? 1.0f : p.heldRandom);
      }
      p.lastIndex = i;
      value = p.heldRandom;
      break;
    case 9:
      if (i < p.lastIndex)
        p.heldRandom = static_cast<float>(nextRandom(p.randomSeed) % 32769) / 16384.0f - 1.0f;
      p.lastIndex = i;
      value = p.heldRandom;
      break;
    default:
      return 0.0f;
  }
  if (wave == 1 || wave == 3 || wave == 5 || wave == 7) value = -value;
  return value < -1.0f ? -1.0f : (value > 1.0f ? 1.0f : value);
}
