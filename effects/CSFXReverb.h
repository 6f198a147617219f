#pragma once
// The instrument's shared reverb on the reverb send bus: a twelve-line feedback delay network.
// The mono sum of the send signal passes a pre-delay of up to 150 ms and feeds twelve prime-
// length lines, each damped by a one-pole low-pass, mixed back through a permuted Householder
// matrix and tapped into left and right with fixed sign patterns. The output is the network
// times LEVEL plus the pre-delayed mono send signal at unity.
//
// Parameters: 0 PRE-DELAY (squared), 1 TIME (decay to -60 dB, 0.1..5 s), 2 TONE (damping
// corner 5..23 kHz, cubic), 3 LEVEL (squared). Without a usable sample rate it owns no lines and
// process leaves the audio untouched.

#include <memory>

#include "effects/CSFX.h"
#include "effects/DelayLine.h"

class CSFXReverb : public CSFX {
 public:
  static constexpr int kLineCount = 12;
  // Base line lengths in frames at 44100 Hz (prime already).
  static constexpr int fdnDelayLengths[kLineCount] = {601,  691,  773,  919,  1093, 1187,
                                                      1297, 1483, 1693, 2011, 2687, 3313};

  CSFXReverb() = default;

  void clear() override;
  void setSampleRate(float rate) override;
  void getParameterDisplay(int index, float value, char* text) const override;
  void setParameters(const float params[kParameterCount]) override;
  void allocateBuffers() override;
  void updateCoefficients() override;
  void process(float* left, float* right, int frames) override;

  int getLineLength(int line) const { return lines[line].length; }
  int getPredelayCapacity() const { return predelayCapacity; }

 private:
  static constexpr int kRun = 16;  // frames whose lines run side by side
  static_assert(kLineCount % 4 == 0);
  float predelayed(float left, float right, int predelay);
  int predelayFrames() const;
  // One frame alone, where a line is a single frame long (only at rates far below audio).
  void processFrame(float* left, float* right);
  void processRun(float* left, float* right, int frames);

  int predelayCapacity = 0;  // frames; 0 while there is no sample rate
  std::unique_ptr<float[]> predelayLeft;
  std::unique_ptr<float[]> predelayRight;
  int predelayIndex = 0;  // write position
  bool predelayUnfilled = true;
  FdnLine lines[kLineCount];
  float dampA = 0.0f;  // damping low-pass, shared by the lines
  float dampB = 0.0f;
};
