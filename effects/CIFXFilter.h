#pragma once
// Filter effects: the resonant low-passes "S'filter 12" (type 2, two poles) and "S'filter 24"
// (type 3, four poles), whose output crossfades from low-pass through half the input to the
// complementary high-pass, and the three-band equaliser (type 4), which splits the signal at
// 80 Hz and 12000 Hz and gives each band its own gain. None owns buffers.

#include "effects/CIFX.h"

// The S'filters' shared display. The filter runs in the members; CUT and RES move once per
// call (as far as 16 frames allow) and the coefficients glide across the call, MIX per frame.
class CIFXSFilterPr : public CIFX {
 public:
  void getParameterDisplay(int index, float value, char* text) const override;

  // The corner in Hz for a CUT value, before the 0.46 x rate limit: 20 .. 20000 Hz.
  static float cutoffOf(float cut);

 protected:
  CIFXSFilterPr() = default;
};

class CIFXSFilter12 : public CIFXSFilterPr {
 public:
  CIFXSFilter12() = default;

  void clear() override;
  void process(float* left, float* right, int frames) override;

  LowPassSectionState leftState;
  LowPassSectionState rightState;
};

class CIFXSFilter24 : public CIFXSFilterPr {
 public:
  CIFXSFilter24() = default;

  void clear() override;
  void process(float* left, float* right, int frames) override;

  LowPassSectionState leftFirst;
  LowPassSectionState leftSecond;
  LowPassSectionState rightFirst;
  LowPassSectionState rightSecond;
};

// The equaliser's coefficients depend on the rate only; they are computed when it changes.
// Before a usable rate both filters are plain smoothers with unity gain at DC.
class CIFX3EQ : public CIFX {
 public:
  CIFX3EQ();

  void clear() override;
  void setSampleRate(float rate) override;
  void getParameterDisplay(int index, float value, char* text) const override;
  void updateCoefficients() override;
  void process(float* left, float* right, int frames) override;

  // The band gain of a normalised value: 1/4.02 .. 1.01 (at 0.5) .. 4.02.
  static float bandGain(float x);

  float lowCoefficients[3];   // 80 Hz low-pass {a1, a2, gain}
  float highCoefficients[3];  // 12000 Hz low-pass
  LowPassSectionState leftLow;
  LowPassSectionState leftHigh;
  LowPassSectionState rightLow;
  LowPassSectionState rightHigh;
};
