#pragma once
// "AUTO WAH" (type 17): a band-pass formed as the difference of two resonant two-pole low-passes
// a little apart, swept by a tempo-synchronised sine LFO around a centre. The right LFO runs 4
// steps (1/64 cycle) ahead of the left one.
//
// RATE: one LFO cycle per lfoSyncNoteLengths entry. WIDTH: sweep of +-0.125 x WIDTH on the
// position scale (smoothed per sub-block). CENTR: centre 0.5 x CENTR on the position scale
// (smoothed per sub-block). Position p stands for 2^(14.286341 p) + 19 Hz. The output replaces
// the input.

#include "effects/CIFX.h"

// Family base of the wah effects: a sample-rate change recomputes the coefficients.
class CIFXWahPr : public CIFX {
 public:
  void setSampleRate(float rate) override;

 protected:
  CIFXWahPr() = default;
};

class CIFXAutoWah : public CIFXWahPr {
 public:
  CIFXAutoWah();

  void clear() override;
  void setTempo(double beatsPerMinute) override;
  void setSongPosition(double beats) override;
  void getParameterDisplay(int index, float value, char* text) const override;
  void setParameters(const float params[kParameterCount]) override;
  void updateCoefficients() override;
  void process(float* left, float* right, int frames) override;

  float getLfoIncrement() const { return lfoIncrement; }
  double getNoteBeats() const { return noteBeats; }
  const LfoPhase& getLfoPhase(int channel) const { return lfoPhase[channel]; }

  // The cutoffs (Hz) of the low and the high filter for an LFO value, a WIDTH and a CENTR at a
  // sample rate: the band the wah passes.
  static void bandEdges(float lfo, float width, float centre, float sampleRate, float& low,
                        float& high);

 private:
  LfoPhase lfoPhase[2];       // left, right
  float lfoIncrement = 0.0f;  // steps of the 256-step cycle, applied once per sub-block
  double noteBeats = 1.0;     // one LFO cycle, in beats
  // Filter states: left low, left high, right low, right high.
  LowPassSectionState wahFilters[4];
};
