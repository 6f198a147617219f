#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <limits>

#include "engine/dsp/denormals.h"
#include "engine/dsp/slewParameter.h"

namespace {

TEST(SlewParameter, MovesAtMostThreeTenThousandthsPerFrameNeverPast) {
  struct Case {
    float value, target;
    int frames;
    float expected;
  } const cases[] = {
      {0.5f, 1.0f, 16, 0.5f + 0.0048f},  // one sub-block up
      {0.5f, 0.0f, 16, 0.5f - 0.0048f},  // one sub-block down
      {0.5f, 0.501f, 16, 0.501f},        // stops at the target
      {0.5f, 0.499f, 16, 0.499f},
      {0.25f, 0.25f, 16, 0.25f},         // equal stays
      {0.5f, 1.0f, 1, 0.5003f},          // per frame
      {0.5f, NAN, 16, 0.5f},             // a NaN target leaves the value alone
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.value << " -> " << c.target << " x" << c.frames);
    float value = c.value;
    slewParameter(&value, c.target, c.frames);
    EXPECT_FLOAT_EQ(value, c.expected);
  }
}

TEST(SanitizeSample, KeepsNormalSamplesAndRemovesWhatWouldPoisonState) {
  const float inf = std::numeric_limits<float>::infinity();
  struct Case {
    float in, out;
  } const cases[] = {
      {0.25f, 0.25f},   {-1.0f, -1.0f},   {0.0f, 0.0f},
      {NAN, 0.0f},      {inf, 0.0f},      {-inf, 0.0f},
      {1e-40f, 0.0f},   {-1e-40f, 0.0f},  {FLT_MIN, FLT_MIN},
      {1e30f, 0.0f},   {-1e30f, 0.0f},   {kSampleLimit, kSampleLimit},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.in);
    EXPECT_EQ(sanitizeSample(c.in), c.out);
  }
}

TEST(ClampUnit, HoldsParametersToTheUnitRange) {
  EXPECT_EQ(clampUnit(0.3f), 0.3f);
  EXPECT_EQ(clampUnit(-0.1f), 0.0f);
  EXPECT_EQ(clampUnit(1.5f), 1.0f);
  EXPECT_EQ(clampUnit(NAN), 0.0f);
  EXPECT_EQ(clampUnit(std::numeric_limits<float>::infinity()), 1.0f);
}

#ifdef QUORIX_HAS_MXCSR
// Through volatile copies, so the products are computed at run time.
float multiply(float a, float b) {
  volatile float x = a, y = b;
  return x * y;
}

TEST(ScopedFlushDenormals, FlushesAndRoundsToNearestInsideAndRestoresTheCallersMode) {
  const unsigned original = _mm_getcsr();
  // A host that keeps denormals and rounds toward zero.
  const unsigned hostMode = (original & ~0x8040u) | 0x6000u;
  _mm_setcsr(hostMode);
  EXPECT_NE(multiply(1e-30f, 1e-10f), 0.0f);  // a denormal result
  {
    ScopedFlushDenormals guard;
    EXPECT_EQ(multiply(1e-30f, 1e-10f), 0.0f);
    EXPECT_EQ(roundHalfEven(2.5f), 2);
    EXPECT_EQ(roundHalfEven(3.5f), 4);
    EXPECT_EQ(roundHalfEven(-0.7f), -1);
    EXPECT_EQ(roundHalfEven(0.7f), 1);
  }
  // Control bits only: the status flags are sticky and record what the products did.
  EXPECT_EQ(_mm_getcsr() & 0xFFC0u, hostMode & 0xFFC0u);
  EXPECT_NE(multiply(1e-30f, 1e-10f), 0.0f);
  _mm_setcsr(original);
}
#endif

}  // namespace
