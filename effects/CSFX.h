#pragma once
// The system-effect interface of the chorus and the reverb, which run on the two send buses.
//
// Once per sub-block while its slot is on, the engine calls setParameters then process; process
// replaces the send signal by the effect's return signal. setSampleRate comes only when the host
// sets a rate; until then an effect owns no lines and process leaves the audio untouched.
// process must accept silent input at any time. All calls come from one thread at a time.

#include "effects/effectDsp.h"

class CSFX {
 public:
  static constexpr int kParameterCount = 4;

  CSFX() = default;
  CSFX(const CSFX&) = delete;
  CSFX& operator=(const CSFX&) = delete;
  virtual ~CSFX() = default;

  virtual void markCleared();
  // Overrides empty their lines once (nothing when already cleared).
  virtual void clear();
  // Stores the rate (-1 for a rate that is not usable); overrides reallocate and recompute on a
  // change.
  virtual void setSampleRate(float rate);
  // Display text of parameter index 0..3 into text (at least kEffectDisplayTextSize chars); any
  // other index leaves text untouched.
  virtual void getParameterDisplay(int index, float value, char* text) const;
  virtual void getCurrentParameterDisplay(int index, char* text) const;
  // Base: the four values, held to 0..1, become the targets.
  virtual void setParameters(const float params[kParameterCount]);
  virtual void allocateCommonBuffers();
  virtual void allocateBuffers();
  virtual void updateCommonCoefficients();
  virtual void updateCoefficients();
  virtual void process(float* left, float* right, int frames);

  float sampleRate = -1.0f;
  float smoothed[kParameterCount] = {0.5f, 0.5f, 0.5f, 0.5f};
  // Start where the smoothed values start, so processing before setParameters stays in range.
  float target[kParameterCount] = {0.5f, 0.5f, 0.5f, 0.5f};
  bool cleared = false;
};
