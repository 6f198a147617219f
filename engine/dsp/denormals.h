#pragma once
// Keeping denormal numbers and non-finite values out of the audio state.

#include <cfloat>
#include <cmath>

#if defined(__SSE__) || defined(__x86_64__)
#include <xmmintrin.h>
#define QUORIX_HAS_MXCSR 1
#endif

// Sets flush-to-zero and denormals-are-zero for one processing call and gives the host its own
// floating-point mode back on return. Cheap enough to use per sub-block.
class ScopedFlushDenormals {
 public:
#ifdef QUORIX_HAS_MXCSR
  ScopedFlushDenormals() : saved_(_mm_getcsr()) { _mm_setcsr(saved_ | kFlushBits); }
  ~ScopedFlushDenormals() { _mm_setcsr(saved_); }
#else
  ScopedFlushDenormals() = default;
#endif
  ScopedFlushDenormals(const ScopedFlushDenormals&) = delete;
  ScopedFlushDenormals& operator=(const ScopedFlushDenormals&) = delete;

 private:
#ifdef QUORIX_HAS_MXCSR
  static constexpr unsigned kFlushBits = 0x8040;  // FTZ (bit 15) | DAZ (bit 6)
  unsigned saved_;
#endif
};

// Largest sample magnitude an effect takes into its state (+100 dB over full scale); anything
// louder is held there so that feedback paths cannot overflow into infinities.
inline constexpr float kSampleLimit = 100000.0f;

// An input sample made safe to store: NaN, infinities and denormals become 0, finite values
// beyond kSampleLimit are held at it.
inline float sanitizeSample(float x) {
  const float magnitude = std::fabs(x);
  if (magnitude >= FLT_MIN && magnitude <= kSampleLimit) return x;
  if (magnitude > kSampleLimit && magnitude <= FLT_MAX) return std::copysign(kSampleLimit, x);
  return 0.0f;
}

// A normalised parameter held to 0..1; NaN becomes 0.
inline float clampUnit(float x) { return x >= 0.0f ? (x <= 1.0f ? x : 1.0f) : 0.0f; }
