#include "engine/dsp/pitchTables.h"

#include <cmath>
#include <mutex>
#include <numbers>

namespace pitch_tables_detail {
float noteFrequencyStorage[kNoteCount];
float semitoneRatioStorage[kSemitoneRatioCount];
float fineRatioStorage[kPitchUnitsPerSemitone];
float centRatioStorage[kCentRatioCount];
float velocityCurveStorage[kVelocityCurveCount][kNoteCount];
}  // namespace pitch_tables_detail

namespace {

using namespace pitch_tables_detail;

// Curves in double, stored as floats; the recursive ones read their double forms.
double curve4(int v) { return 127.0 * std::pow(v / 127.0, std::numbers::sqrt2); }
double curve5(int v) { return 127.0 * std::pow(v / 127.0, std::numbers::e); }
double curve6(int v) {
  if (v <= 64) return 64.0 * std::pow(v / 64.0, std::numbers::e);
  return 127.0 - curve6(128 - v);
}

double curveEntry(int curve, int v) {
  switch (curve) {
    case 0: return v >= 64 ? curve6(v - 64) + 63.5 : 63.5 - curve6(64 - v);
    case 1: return 127.0 - curve5(127 - v);
    case 2: return 127.0 - curve4(127 - v);
    case 4: return curve4(v);
    case 5: return curve5(v);
    case 6: return curve6(v);
    default: return v;
  }
}

void buildAll() {
  for (int k = 0; k < kNoteCount; ++k)
    noteFrequencyStorage[k] = static_cast<float>(440.0 * std::exp2((k - 69) / 12.0));
  for (int k = 0; k < kSemitoneRatioCount; ++k)
    semitoneRatioStorage[k] = static_cast<float>(std::exp2(k / 12.0));
  for (int k = 0; k < kPitchUnitsPerSemitone; ++k)
    fineRatioStorage[k] = static_cast<float>(std::exp2(k / 98304.0));
  for (int k = 0; k < kCentRatioCount; ++k)
    centRatioStorage[k] = static_cast<float>(std::exp2(k / 1200.0));
  for (int c = 0; c < kVelocityCurveCount; ++c) {
    velocityCurveStorage[c][0] = 0.0f;
    velocityCurveStorage[c][kNoteCount - 1] = 127.0f;
    for (int v = 1; v < kNoteCount - 1; ++v)
      velocityCurveStorage[c][v] = static_cast<float>(curveEntry(c, v));
  }
}

std::once_flag builtOnce;

const bool builtAtLoad = (buildPitchTables(), true);

}  // namespace

void buildPitchTables() { std::call_once(builtOnce, buildAll); }
