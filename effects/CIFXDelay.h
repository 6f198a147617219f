#pragma once
// Tempo-synchronised echoes: delay (type 26), stereo delay (27) and ping-pong delay (28).
//
// The delay time is a note length at the current tempo (tempos below 40 beats per minute count
// as 40, so six seconds of line always hold a whole note). Each echo passes a fixed 5120 Hz
// damping low-pass before it is fed back and heard, and is added to the dry signal. The stereo
// delay feeds the right line through a further 7 ms and lowers the left echo; the ping-pong delay
// feeds the right line through half the delay time, so echoes alternate between the sides.
//
// The lines are never zeroed: the unfilled flags hide their content until it has been written
// once through the current length, so clear() and a restart cost nothing. Invariants:
// 0 <= delayLength <= capacity, and the short line's length never exceeds its buffer.

#include <memory>

#include "effects/CIFX.h"

class CIFXDelayPr : public CIFX {
 public:
  // Restarts the echo and forgets the damping filters' memory, so the first echo after a clear
  // carries nothing of the old one.
  void clear() override;
  void setSampleRate(float rate) override;
  void setTempo(double beatsPerMinute) override;
  void getParameterDisplay(int index, float value, char* text) const override;
  void setParameters(const float params[kParameterCount]) override;
  void allocateCommonBuffers() override;
  void updateCommonCoefficients() override;

  std::unique_ptr<float[]> leftLine;
  std::unique_ptr<float[]> rightLine;
  int capacity = 0;  // floats per line: six seconds; 0 without lines
  int writeIndex = 0;
  int delayLength = 0;  // frames, 0..capacity
  bool unfilled = true;
  float dampA = 0.0f;
  float dampB = 0.0f;
  float lastRaw[2] = {};  // previous line reads, left and right
  float damped[2] = {};   // previous damped echoes, left and right
  double hostTempo = -1.0;  // the tempo last given, before the 40 bpm floor

 protected:
  CIFXDelayPr() = default;

  // The common start of a frame: moves writeIndex into the ring and returns it.
  int ringPosition() {
    int p = writeIndex;
    if (p >= delayLength) {
      p %= delayLength;
      writeIndex = p;
      unfilled = false;
    }
    return p;
  }

  // One step of a side's damping low-pass for the line read d.
  float damp(int side, float d) {
    const float y = (lastRaw[side] + d) * dampA + damped[side] * dampB;
    lastRaw[side] = d;
    damped[side] = y;
    return y;
  }
};

class CIFXDelay : public CIFXDelayPr {
 public:
  CIFXDelay() = default;

  void process(float* left, float* right, int frames) override;
};

// The short line of the stereo and ping-pong delays: the right input delayed by `shortLength`.
class CIFXShortLineDelayPr : public CIFXDelayPr {
 public:
  void clear() override;

  std::unique_ptr<float[]> shortLine;
  int shortIndex = 0;
  int shortLength = 0;
  bool shortUnfilled = true;

 protected:
  CIFXShortLineDelayPr() = default;

  // Frees the short line and allocates `frames` floats; none when not positive or out of memory.
  void allocateShortLine(int frames);

  // The right input `shortLength` frames ago (0 while unfilled); advances nothing.
  float shortRead() {
    int s = shortIndex;
    if (s < shortLength) return shortUnfilled ? 0.0f : shortLine[s];
    s %= shortLength;
    shortIndex = s;
    shortUnfilled = false;
    return shortLine[s];
  }

  // Runs the stereo delay (pingPong false) or the ping-pong delay over a call.
  void processShortLine(float* left, float* right, int frames, bool pingPong);
};

class CIFXStereoDelay : public CIFXShortLineDelayPr {
 public:
  CIFXStereoDelay() = default;

  void allocateBuffers() override;
  void process(float* left, float* right, int frames) override;
};

class CIFXPPDelay : public CIFXShortLineDelayPr {
 public:
  CIFXPPDelay() = default;

  void allocateBuffers() override;
  void updateCoefficients() override;
  void process(float* left, float* right, int frames) override;

  int shortCapacity = 0;  // floats in the short line: half the capacity
};
