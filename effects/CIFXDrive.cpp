#include "effects/CIFXDrive.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

constexpr DriveVoicing kOverdrive = {98304.0f, 300.0f, 0.5f, 1009.5f};
constexpr DriveVoicing kDistortion = {229376.0f, 700.0f, 0.9f, 1017.1f};
constexpr DriveVoicing kAmpDistortion = {229376.0f, 700.0f, 0.215f, 1004.085f};

constexpr float kCurveCentre = 32768.0f;
constexpr float kOutputScale = 3.0517578125e-05f;  // 2^-15: back from the 16-bit scale
// Scaled inputs beyond this already read the curve's end; holding them here keeps the index
// conversion in range for any input.
constexpr float kScaledInputLimit = 40000.0f;

// round(v) half away from zero + 32768, held to the curve.
inline int curveIndex(float v) {
  v = std::clamp(v, -kScaledInputLimit, kScaledInputLimit);
  const int rounded = static_cast<int>(v >= 0.0f ? v + 0.5f : v - 0.5f);
  return std::clamp(rounded + 32768, 0, kDriveCurveSize - 1);
}

}  // namespace

CIFXOverdrive::CIFXOverdrive(const float* transferCurve) : CIFXDrivePr(transferCurve, kOverdrive) {}

CIFXDistortion::CIFXDistortion(const float* transferCurve)
    : CIFXDrivePr(transferCurve, kDistortion) {}

CIFXAmpDistortion::CIFXAmpDistortion(const float* transferCurve)
    : CIFXDrivePr(transferCurve, kAmpDistortion) {}

void CIFXDrivePr::clear() {
  if (cleared) return;
  cleared = true;
  leftFilter = {};
  rightFilter = {};
}

float CIFXDrivePr::toneCutoff(float tone) const {
  return std::exp2(14.286341f * tone) * voicing_.toneFactor + voicing_.toneOffset;
}

void CIFXDrivePr::getParameterDisplay(int index, float value, char* text) const {
  switch (index) {
    case 0:
      std::snprintf(text, kEffectDisplayTextSize, "%.1f %%",
                    value * voicing_.displayPercent + 100.0f);
      break;
    case 1: std::snprintf(text, kEffectDisplayTextSize, "%.1f %%", value * 100.0f); break;
    case 2: formatDecibels(value, text); break;
    default: break;
  }
}

void CIFXDrivePr::setParameters(const float params[kParameterCount]) {
  target[0] = clampUnit(params[0]);
  target[1] = clampUnit(params[1]);
  const float level = clampUnit(params[2]);
  target[2] = level * level;
}

void CIFXDrivePr::process(float* left, float* right, int frames) {
  if (curve == nullptr) return;
  ScopedFlushDenormals flushDenormals;

  // TONE moves once per call, as far as 16 frames allow, and the filter glides across the call
  // from the old corner to the new one.
  float from[3], to[3];
  butterworthLowPass2(sampleRate, toneCutoff(smoothed[1]), 0.0f, from);
  slewParameter(&smoothed[1], target[1], 16);
  butterworthLowPass2(sampleRate, toneCutoff(smoothed[1]), 0.0f, to);
  float steps[3] = {};
  if (frames > 0) {
    for (int i = 0; i < 3; ++i) steps[i] = (to[i] - from[i]) / static_cast<float>(frames);
  }

  const float* const table = curve;
  const float driveScale = voicing_.driveScale;
  float coefficients[3] = {from[0], from[1], from[2]};
  float drive = smoothed[0], level = smoothed[2];
  LowPassSectionState l = leftFilter, r = rightFilter;

  for (int frame = 0; frame < frames; ++frame) {
    slewParameter(&drive, target[0], 1);
    slewParameter(&level, target[2], 1);
    for (int i = 0; i < 3; ++i) coefficients[i] += steps[i];
    const float inputScale = drive * driveScale + kCurveCentre;
    const float sL = table[curveIndex(inputScale * sanitizeSample(left[frame]))];
    const float sR = table[curveIndex(inputScale * sanitizeSample(right[frame]))];
    const float outputScale = level * kOutputScale;
    left[frame] = runLowPassSection(coefficients, l, sL) * outputScale;
    right[frame] = runLowPassSection(coefficients, r, sR) * outputScale;
  }

  leftFilter = l;
  rightFilter = r;
  smoothed[0] = drive;
  smoothed[2] = level;
  cleared = false;
}
