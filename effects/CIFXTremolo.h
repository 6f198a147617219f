#pragma once
// "TREMOLO" (type 23: both channels' level follows a tempo-synchronised LFO) and "AUTO PAN"
// (type 24: the balance follows it). The LFO is read once per sub-block; the modulation value
// glides toward it by at most 0.0003 per frame.
//
// WAVE: effectLfo shape trunc(3 x + 0.5) (sine, triangle, saw, square; the display shows the
// first four melody-LFO names). RATE: one cycle per lfoSyncNoteLengths entry. DEPTH: 0..1.
// The three targets are used directly; the smoothed values are not.

#include "effects/CIFX.h"

class CIFXVibratoPr : public CIFX {
 public:
  void clear() override;
  void setSampleRate(float rate) override;
  void setTempo(double beatsPerMinute) override;
  void setSongPosition(double beats) override;
  void getParameterDisplay(int index, float value, char* text) const override;
  void setParameters(const float params[kParameterCount]) override;
  void updateCoefficients() override;

  float getLfoIncrement() const { return lfoIncrement; }
  double getNoteBeats() const { return noteBeats; }
  const LfoPhase& getLfoPhase() const { return lfoPhase; }
  float getModGain() const { return modGain; }

 protected:
  CIFXVibratoPr();

  // The LFO value of this sub-block; advances the phase by `frames` frames.
  float nextLfo(int frames);

  LfoPhase lfoPhase;
  float lfoIncrement = 0.0f;  // steps of the 256-step cycle per frame
  double noteBeats = 1.0;     // one LFO cycle, in beats
  // Tremolo: the gain; auto pan: the position (0 left, 1 right). 0.5 after clear().
  float modGain = 0.5f;
};

// Gain between 1 - DEPTH and 1 on both channels.
class CIFXTremolo : public CIFXVibratoPr {
 public:
  void process(float* left, float* right, int frames) override;
};

// Position between 0.5 - DEPTH / 2 and 0.5 + DEPTH / 2: left x (1 - position), right x position.
class CIFXAutoPan : public CIFXVibratoPr {
 public:
  void process(float* left, float* right, int frames) override;
};
