#pragma once
// The instrument's shared chorus on the chorus send bus: a stereo modulated delay whose output is
// the effect signal only, scaled by LEVEL. Each side reads its own line at a position swept by a
// sine LFO; the right LFO runs SPREAD x half a cycle ahead of the left.
//
// Parameters: 0 RATE (0.1..20 Hz, cubic), 1 WIDTH (sweep depth), 2 SPREAD, 3 LEVEL (squared).
// Without a usable sample rate it owns no lines and process leaves the audio untouched.

#include <memory>

#include "effects/CSFX.h"

class CSFXChorus : public CSFX {
 public:
  CSFXChorus() = default;

  void clear() override;
  void setSampleRate(float rate) override;
  void getParameterDisplay(int index, float value, char* text) const override;
  void setParameters(const float params[kParameterCount]) override;
  void allocateBuffers() override;
  void updateCoefficients() override;
  void process(float* left, float* right, int frames) override;

  int getLineLength() const { return lineLength; }
  int getReadBaseOffset() const { return readBase - writePosition; }
  float getLfoIncrement() const { return lfoIncrement; }

 private:
  // Ring positions 1..lineLength - 3; position 0 mirrors the last one so that interpolation
  // across the wrap needs no test; the last two positions are never written.
  std::unique_ptr<float[]> lineLeft;
  std::unique_ptr<float[]> lineRight;
  int lineLength = 0;  // 0 while there is no sample rate
  int writePosition = 0;
  int readBase = 0;  // start of the read window, running ahead of writePosition
  LfoPhase lfoLeft;
  LfoPhase lfoRight;
  float lfoIncrement = 0.0f;  // LFO steps (256 per cycle) per frame
};
