#pragma once
// Stereo-linked compressors: peak (type 6) and RMS (type 7). Both reduce the gain toward a floor
// set by threshold and ratio within 1 ms while the level is above the threshold, let it climb
// back within the release time, and add a fixed make-up gain of 1 / threshold. They differ only
// in the level detector: the frame's own level, or a smoothed level.
//
// No buffers; without a usable sample rate the time constants are unknown and the audio passes
// untouched. Invariant after clear(): floor <= gain <= 1.

#include "effects/CIFX.h"

class CIFXDynamicPr : public CIFX {
 public:
  void clear() override;
  void getParameterDisplay(int index, float value, char* text) const override;

  float gain = 1.0f;  // current gain factor, between the floor and 1

 protected:
  CIFXDynamicPr() = default;

  // Runs a call; envelope is the RMS detector's state, null for the peak detector.
  void compress(float* left, float* right, int frames, float* envelope);
};

class CIFXPeakCompressor : public CIFXDynamicPr {
 public:
  CIFXPeakCompressor() = default;

  void process(float* left, float* right, int frames) override;
};

class CIFXRMSCompressor : public CIFXDynamicPr {
 public:
  CIFXRMSCompressor() = default;

  void clear() override;
  void process(float* left, float* right, int frames) override;

  float envelope = 0.0f;  // smoothed detector level, 16-bit scale
};
