#pragma once
// The lo-fi insert effects: "CRUSHER" (type 13: sample-rate and bit reduction with a tone
// low-pass) and "LP NOISE" (type 14: band-limited noise and crackle added to the signal).
// Neither owns buffers; both run two two-pole low-passes whose coefficients glide across each
// sub-block.

#include <cstdint>

#include "effects/CIFX.h"

// Shared state of the lo-fi family. clear() zeroes the filters and hold registers and sets the
// clock phase to 1, so the crusher captures on the first frame after it.
class CIFXLofiPr : public CIFX {
 public:
  void clear() override;

 protected:
  CIFXLofiPr() = default;

  // Crusher: capture phase (a capture when it reaches 1). LP noise: the crackle clock, in
  // frames x 375 / s on average, wrapping at the sample rate.
  float clockPhase = 1.0f;
  LowPassSectionState filterA;  // crusher left / LP noise low band
  LowPassSectionState filterB;  // crusher right / LP noise high band
  float held[2] = {0.0f, 0.0f}; // crusher: last output of each channel
};

// RATE: capture rate x^3 x 191999 + 1 Hz (smoothed per frame). BITS: quantiser step
// 2^(15 - 16 x^2) in units of 1/32768 (applied at once). TONE: low-pass cutoff
// 2^(14.286341 x) + 19 Hz (20 Hz .. 20 kHz, smoothed per sub-block). The output replaces the
// input; between captures each filter is fed its own previous output.
class CIFXCrusher : public CIFXLofiPr {
 public:
  CIFXCrusher();

  void getParameterDisplay(int index, float value, char* text) const override;
  void setParameters(const float params[kParameterCount]) override;
  void updateCoefficients() override;
  void process(float* left, float* right, int frames) override;

  float getQuantStep() const { return quantStep; }

 private:
  float quantStep = 1.0f;  // 1/32768 units of full scale
};

// CRCKL: crackle density and level (smoothed per frame). DIRTY: noise amplitude x^2 (smoothed
// per frame). YEAR: the noise band, from 1050..3015 Hz at 0 ("1950") to 51..18000 Hz at 1
// ("2000") (smoothed per sub-block). The noise is mono, added to both channels.
class CIFXLPNoise : public CIFXLofiPr {
 public:
  CIFXLPNoise() = default;

  void clear() override;
  void getParameterDisplay(int index, float value, char* text) const override;
  void process(float* left, float* right, int frames) override;

 private:
  // Uniform integers 0..32767 from a generator of the effect's own (a linear congruential step,
  // upper bits): reproducible, lock-free, the same on every platform.
  int nextRandom() {
    randomState = randomState * 1103515245u + 12345u;
    return static_cast<int>((randomState >> 16) & 0x7FFF);
  }

  uint32_t randomState = 1;
  float crackle = 0.0f;  // the sounding crackle, decaying each frame
};
