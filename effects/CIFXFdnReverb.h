#pragma once
// "ROOM REVERB" (type 31), "HALL REVERB" (type 32) and "SPRING REVERB" (type 33): one
// twelve-line feedback delay network on the mono sum of the input, behind a pre-delay of 15 ms
// (room), 40 ms (hall) or none (spring). The lines' outputs are damped by one-pole low-passes,
// fed back through a permuted Householder matrix and tapped into left and right with fixed
// sign patterns; the wet signal (which includes the pre-delayed input) is added to the dry one.
//
// TIME: decay to -60 dB in 4.9 x TIME + 0.1 s (from the target). TONE: damping corner
// 16000 x TONE^3 + 5000 Hz (from the target). LEVEL: wet gain 0.5 x LEVEL, target x^2
// (smoothed per frame). Without a usable sample rate it owns no lines and passes audio
// untouched.

#include <memory>

#include "effects/CIFX.h"
#include "effects/DelayLine.h"

class CIFXFdnReverbPr : public CIFX {
 public:
  static constexpr int kLineCount = 12;
  // Base line lengths in frames at 44100 Hz (prime already).
  static constexpr int fdnDelayLengths[kLineCount] = {601,  691,  773,  919,  1093, 1187,
                                                      1297, 1483, 1693, 2011, 2687, 3313};

  void clear() override;
  void setSampleRate(float rate) override;
  void getParameterDisplay(int index, float value, char* text) const override;
  void setParameters(const float params[kParameterCount]) override;
  void allocateCommonBuffers() override;
  void updateCoefficients() override;
  void process(float* left, float* right, int frames) override;

  int getLineLength(int k) const { return lines[k].length; }
  float getLineGain(int k) const { return lines[k].gain; }
  int getPredelayLength() const { return predelayLength; }

 protected:
  CIFXFdnReverbPr() = default;

  // (Re)allocates both pre-delay buffers for the given time (0 = none).
  void allocatePredelay(float seconds);

 private:
  // Drops every buffer after an allocation failed: the effect then passes audio untouched.
  void dropBuffers();

  int predelayLength = 0;  // frames; 0 = no pre-delay
  std::unique_ptr<float[]> predelayLeft;
  std::unique_ptr<float[]> predelayRight;
  int predelayIndex = 0;         // read, then written, every frame
  bool predelayUnfilled = true;  // reads yield 0 until the position first wraps
  bool allocationFailed = false;
  FdnLine lines[kLineCount];
  float dampA = 0.0f;  // damping low-pass, shared by the lines
  float dampB = 0.0f;
};

class CIFXRoomReverb : public CIFXFdnReverbPr {
 public:
  void allocateBuffers() override;  // 15 ms pre-delay
};

class CIFXHallReverb : public CIFXFdnReverbPr {
 public:
  void allocateBuffers() override;  // 40 ms pre-delay
};

class CIFXSpringReverb : public CIFXFdnReverbPr {
 public:
  void allocateBuffers() override;  // no pre-delay
};
