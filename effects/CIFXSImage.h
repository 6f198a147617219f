#pragma once
// Stereo image (type 16): delays one channel by up to 10 ms, rebalances the two channels and
// narrows or widens the image by mixing each channel with the other. With all three parameters
// at 0.5 the signal passes unchanged. The output replaces the input.
//
// Invariant: 0 <= delayLength <= bufferLength, whatever the TIME target and the rate history;
// bufferLength is 0 while there is no buffer.

#include <memory>

#include "effects/CIFX.h"

class CIFXSImage : public CIFX {
 public:
  CIFXSImage() = default;

  void clear() override;
  // On a change of rate: a new 10 ms buffer and the delay length for the TIME target.
  void setSampleRate(float rate) override;
  void getParameterDisplay(int index, float value, char* text) const override;
  void setParameters(const float params[kParameterCount]) override;
  void allocateBuffers() override;
  // Restarts the delay line with the length of the TIME target.
  void updateCoefficients() override;
  void process(float* left, float* right, int frames) override;

  std::unique_ptr<float[]> delayBuffer;
  int bufferLength = 0;  // floats in delayBuffer
  int delayIndex = 0;    // read, then written, once per frame
  int delayLength = 0;   // frames; 0 = no delay
  bool delayUnfilled = true;
};
