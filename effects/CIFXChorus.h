#pragma once
// Insert chorus (type 19) and flanger (type 20): two delay lines, left and right, each read at a
// position swept by a sine LFO.
//
// The chorus runs its LFO freely (RATE in Hz) with the right LFO a quarter cycle ahead, a 15 ms
// base delay and a dry/wet mix (DEPTH). The flanger's LFO cycle is a note length at the song
// tempo, re-locked to the song position whenever the position moves, the right LFO half a cycle
// ahead; 7 ms base delay, feedback (FBK) and a fixed half-and-half mix.
//
// Invariant: either lineLength is 0 and there are no lines (no usable sample rate, or memory
// ran out), or both lines hold lineLength floats, of which positions 1..lineLength - 3 form the
// ring and position 0 mirrors the ring's last position after each wrap.

#include <memory>

#include "effects/CIFX.h"

class CIFXCombPr : public CIFX {
 public:
  void clear() override;
  void setSampleRate(float rate) override;
  void setParameters(const float params[kParameterCount]) override;
  void process(float* left, float* right, int frames) override;

  std::unique_ptr<float[]> leftLine;
  std::unique_ptr<float[]> rightLine;
  int lineLength = 0;
  int writePosition = 0;
  int readBase = 0;  // start of the read window, a fixed offset ahead of writePosition
  LfoPhase leftLfo;
  LfoPhase rightLfo;
  float lfoIncrement = 0.0f;  // LFO steps (256 per cycle) per frame
  double noteBeats = 1.0;     // flanger: LFO cycle in beats

 protected:
  // span: seconds of line; offset: seconds from the write position to the read window;
  // sweepSeconds: the read position swings by up to twice this times WIDTH; feedback: whether
  // the delayed sample is fed back (flanger) instead of mixed with the dry signal (chorus).
  CIFXCombPr(float span, float offset, float sweepSeconds, bool feedback)
      : span_(span), offset_(offset), sweepSeconds_(sweepSeconds), feedback_(feedback) {}

  // Frees both lines and allocates lineLength zeroed floats each; write position 0, read base
  // at the offset. Without a usable rate, or when memory runs out, leaves no lines.
  void allocateLines();

 private:
  const float span_;
  const float offset_;
  const float sweepSeconds_;
  const bool feedback_;
};

class CIFXChorus : public CIFXCombPr {
 public:
  CIFXChorus() : CIFXCombPr(0.045f, 0.030000001f, 0.007f, false) {}

  void getParameterDisplay(int index, float value, char* text) const override;
  void allocateBuffers() override;
  void updateCoefficients() override;
};

class CIFXFlanger : public CIFXCombPr {
 public:
  CIFXFlanger() : CIFXCombPr(0.010000001f, 0.003f, 0.003f, true) {}

  // Tempos below 40 beats per minute run the LFO as at 40.
  void setTempo(double beatsPerMinute) override;
  // Re-locks both LFOs to the song position, the right one half a cycle ahead.
  void setSongPosition(double beats) override;
  void getParameterDisplay(int index, float value, char* text) const override;
  void allocateBuffers() override;
  void updateCoefficients() override;

  double hostTempo = -1.0;  // the tempo last given, before the 40 bpm floor
};
