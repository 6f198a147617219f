#include "effects/DelayLine.h"

#include <new>

#include "effects/effectDsp.h"

bool DelayLine::allocate(int frames) {
  buffer.reset();
  length = 0;
  reset();
  if (frames <= 0) return true;
  buffer.reset(new (std::nothrow) float[frames]());
  if (!buffer) return false;
  length = frames;
  return true;
}

namespace {

bool isPrime(int n) {
  for (int d = 3; d * d <= n; d += 2)
    if (n % d == 0) return false;
  return true;  // n is odd here; 1 counts as prime
}

}  // namespace

int delayLineLength(int baseLength, float sampleRate) {
  if (usableSampleRate(sampleRate) < 0.0f || baseLength <= 0) return 0;
  int n = static_cast<int>(static_cast<float>(baseLength) * sampleRate * 2.2675737e-5f + 0.5f);
  if (n % 2 == 0) ++n;
  while (!isPrime(n)) n += 2;
  return n;
}
