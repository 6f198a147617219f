#pragma once
// "GATE REVERB" (type 30): six parallel feedback combs on the mono sum of the input, five
// all-pass diffusers in series, a one-pole tone filter, one more all-pass, and two parallel
// all-passes that make the left and right outputs, added to the dry signal.
//
// TIME: decay to -60 dB in 5 x TIME seconds (comb gains from the target). TONE: one-pole
// coefficient 0.8 x TONE + 0.1 (smoothed per frame). LEVEL: wet gain, target x^2 (smoothed per
// frame). Without a usable sample rate it owns no lines and passes audio untouched.

#include "effects/CIFX.h"
#include "effects/DelayLine.h"

class CIFXGateReverb : public CIFX {
 public:
  static constexpr int kCombCount = 6;
  static constexpr int kAllPassCount = 8;
  // Base lengths in frames at 44100 Hz (prime already): combs, then all-passes.
  static constexpr int kCombLengths[kCombCount] = {601, 691, 773, 839, 919, 1061};
  static constexpr int kAllPassLengths[kAllPassCount] = {347, 113, 37, 59, 53, 43, 31, 29};

  CIFXGateReverb() = default;

  void clear() override;
  void setSampleRate(float rate) override;
  void getParameterDisplay(int index, float value, char* text) const override;
  void setParameters(const float params[kParameterCount]) override;
  void allocateBuffers() override;
  void updateCoefficients() override;
  void process(float* left, float* right, int frames) override;

  int getCombLength(int k) const { return combs[k].line.length; }
  float getCombGain(int k) const { return combs[k].gain; }
  int getAllPassLength(int j) const { return allpasses[j].length; }

 private:
  struct Comb {
    DelayLine line;
    float gain = 0.0f;  // feedback per pass
  };

  // One all-pass diffuser (coefficient 0.7) on line j; its loop delay is exactly the line's
  // length, since the value read is used one frame later.
  float allPass(int j, float u);

  Comb combs[kCombCount];
  DelayLine allpasses[kAllPassCount];
  float toneState = 0.0f;
  // What each line yielded on its previous read: six combs, then eight all-passes.
  float lastRead[kCombCount + kAllPassCount] = {};
};
