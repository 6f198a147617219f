#include "engine/dsp/dspTables.h"

#include <bit>
#include <cmath>
#include <cstdint>
#include <mutex>
#include <numbers>

namespace dsp_tables_detail {
float lfoSineStorage[kLfoSineSteps + 3];
float envelopeCurveStorage[kEnvelopeCurveSize];
float denormalNoiseStorage[kDenormalNoiseSize];
float driveCurveOverdriveStorage[kDriveCurveSize];
float driveCurveDistortionStorage[kDriveCurveSize];
}  // namespace dsp_tables_detail

namespace {

using namespace dsp_tables_detail;

void buildDenormalNoise() {
  uint32_t x = 1;
  for (float& entry : denormalNoiseStorage) {
    x = x * 1234567u + 890123u;  // wraps at 32 bits
    entry = std::bit_cast<float>((x & 0x807F0000u) | 0x1E000000u) * 10000.0f;
  }
}

void buildLfoSine() {
  float* table = lfoSineStorage + 1;
  for (int i = 0; i < kLfoSineSteps; ++i)
    table[i] = static_cast<float>(std::sin(2.0 * std::numbers::pi * i / kLfoSineSteps));
  table[-1] = table[kLfoSineSteps - 1];
  table[kLfoSineSteps] = table[0];
  table[kLfoSineSteps + 1] = table[1];
}

void buildEnvelopeCurve() {
  float* curve = envelopeCurveStorage + 1;
  curve[-1] = 0.0f;
  for (int i = 0; i <= 252; ++i)
    curve[i] = static_cast<float>(std::pow(i / 256.0, std::numbers::e));
  for (int i = 253; i <= 257; ++i) curve[i] = 1.0f;
}

// Single precision throughout, like the effects that read the curves.
void buildDriveCurve(float* curve, float knee, float exponent, float gain) {
  for (int i = 0; i < kDriveCurveSize; ++i) {
    const float x = static_cast<float>(i - 32768);
    float y;
    if (x >= knee)
      y = knee + std::pow(x - knee, exponent);
    else if (x >= -knee)
      y = x;
    else
      y = -knee - std::pow(-knee - x, exponent);
    curve[i] = gain * y + denormalNoiseStorage[i & (kDenormalNoiseSize - 1)];
  }
}

void buildAll() {
  buildDenormalNoise();
  buildLfoSine();
  buildEnvelopeCurve();
  buildDriveCurve(driveCurveOverdriveStorage, 16384.630859375f, 0.07f, 1.2418972f);
  buildDriveCurve(driveCurveDistortionStorage, 13004.7900390625f, 0.05f, 1.5599775f);
}

std::once_flag builtOnce;

// Builds the tables when the module loads, before any instance exists.
const bool builtAtLoad = (buildDspTables(), true);

}  // namespace

void buildDspTables() { std::call_once(builtOnce, buildAll); }
