#pragma once
// "PHASER" (type 21): each channel through four first-order all-pass stages whose common corner
// is swept by a tempo-synchronised sine LFO, mixed 1:1 with the dry signal, with feedback from
// the last stage. The right channel's LFO runs half a cycle behind the left one.
//
// RATE: one LFO cycle per lfoSyncNoteLengths entry (from the target). WIDTH: the corner sweeps
// 50 + 4000 x WIDTH x (1 + lfo) Hz. FBK: feedback 0.99 x FBK. WIDTH and FBK glide per frame.

#include "effects/CIFX.h"

class CIFXPhaser : public CIFX {
 public:
  static constexpr int kStages = 4;

  CIFXPhaser();

  void clear() override;
  void setSampleRate(float rate) override;
  void setTempo(double beatsPerMinute) override;
  void setSongPosition(double beats) override;
  void getParameterDisplay(int index, float value, char* text) const override;
  void setParameters(const float params[kParameterCount]) override;
  void updateCoefficients() override;
  void process(float* left, float* right, int frames) override;

  float getLfoIncrement() const { return lfoIncrement; }
  double getNoteBeats() const { return noteBeats; }
  const LfoPhase& getLfoPhase(int channel) const { return lfoPhase[channel]; }

 private:
  float stageOut[2][kStages] = {};  // last output of each stage, left then right
  float stageIn[2][kStages] = {};   // last input of each stage
  LfoPhase lfoPhase[2];             // left, right
  float lfoIncrement = 0.0f;        // steps of the 256-step cycle per frame
  double noteBeats = 1.0;           // one LFO cycle, in beats
};
