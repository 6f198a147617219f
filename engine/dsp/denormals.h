#pragma once
// Keeping denormal numbers and non-finite values out of the audio state.

#include <cfloat>
#include <cmath>

#if defined(__SSE__) || defined(__x86_64__)
#include <xmmintrin.h>
#define QUORIX_HAS_MXCSR 1
#endif

// Sets flush-to-zero, denormals-are-zero and rounding to nearest for one processing call and
// gives the host its own floating-point mode back on return. Cheap enough to use per sub-block.
class ScopedFlushDenormals {
 public:
#ifdef QUORIX_HAS_MXCSR
  ScopedFlushDenormals() : saved_(_mm_getcsr()) {
    _mm_setcsr((saved_ & ~kRoundingBits) | kFlushBits);
  }
  ~ScopedFlushDenormals() { _mm_setcsr(saved_); }
#else
  ScopedFlushDenormals() = default;
#endif
  ScopedFlushDenormals(const ScopedFlushDenormals&) = delete;
  ScopedFlushDenormals& operator=(const ScopedFlushDenormals&) = delete;

 private:
#ifdef QUORIX_HAS_MXCSR
  static constexpr unsigned kFlushBits = 0x8040;     // FTZ (bit 15) | DAZ (bit 6)
  static constexpr unsigned kRoundingBits = 0x6000;  // rounding control; 0 = to nearest
  unsigned saved_;
#endif
};

// x rounded to the nearest integer, halves to even. Inside a ScopedFlushDenormals scope (which
// sets rounding to nearest) this is one instruction.
inline int roundHalfEven(float x) {
#ifdef QUORIX_HAS_MXCSR
  return _mm_cvtss_si32(_mm_set_ss(x));
#else
  return static_cast<int>(std::nearbyint(x));
#endif
}

// Largest sample magnitude an effect takes into its state (+100 dB over full scale). Louder
// values cannot be audio; letting them in would let feedback paths overflow into infinities.
inline constexpr float kSampleLimit = 100000.0f;

// An input sample made safe to store: NaN, infinities, denormals and magnitudes beyond
// kSampleLimit become silence.
inline float sanitizeSample(float x) {
  const float magnitude = std::fabs(x);
  return (magnitude >= FLT_MIN && magnitude <= kSampleLimit) ? x : 0.0f;
}

// A normalised parameter held to 0..1; NaN becomes 0.
inline float clampUnit(float x) { return x >= 0.0f ? (x <= 1.0f ? x : 1.0f) : 0.0f; }
