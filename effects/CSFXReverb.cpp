#include "effects/CSFXReverb.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <new>
#include <xmmintrin.h>

namespace {

constexpr float kSignLeft[CSFXReverb::kLineCount] = {1, -1, 1, -1, 1, -1, 1, -1, 1, -1, 1, -1};
constexpr float kSignRight[CSFXReverb::kLineCount] = {1, 1, -1, -1, 1, 1, -1, -1, 1, 1, -1, -1};

float decaySeconds(float x) { return x * 4.9f + 0.099999994f; }

}  // namespace

void CSFXReverb::clear() {
  if (cleared) return;
  cleared = true;
  predelayIndex = 0;
  predelayUnfilled = true;
  // The pre-delay is emptied as well: a pre-delay that grows before the write position has
  // wrapped would otherwise read the tail from before the clear.
  if (predelayCapacity > 0) {
    std::fill_n(predelayLeft.get(), predelayCapacity, 0.0f);
    std::fill_n(predelayRight.get(), predelayCapacity, 0.0f);
  }
  for (FdnLine& line : lines) {
    line.reset();
    line.lastRaw = 0.0f;
    line.damped = 0.0f;
  }
}

void CSFXReverb::setSampleRate(float rate) {
  rate = usableSampleRate(rate);
  if (rate == sampleRate) return;
  sampleRate = rate;
  allocateBuffers();
  updateCoefficients();
}

void CSFXReverb::allocateBuffers() {
  allocateCommonBuffers();
  bool allocated = true;
  for (int k = 0; k < kLineCount; ++k) {
    FdnLine& line = lines[k];
    allocated = line.allocate(delayLineLength(fdnDelayLengths[k], sampleRate)) && allocated;
    line.signLeft = kSignLeft[k];
    line.signRight = kSignRight[k];
  }
  predelayLeft.reset();
  predelayRight.reset();
  predelayCapacity = 0;
  predelayUnfilled = true;
  predelayIndex = 0;
  const int capacity = sampleRate > 0.0f ? static_cast<int>(sampleRate * 0.15f + 0.5f) : 0;
  if (capacity > 0) {
    // Zeroed, so that no read can ever meet memory that was never written.
    predelayLeft.reset(new (std::nothrow) float[capacity]());
    predelayRight.reset(new (std::nothrow) float[capacity]());
    allocated = allocated && predelayLeft && predelayRight;
    predelayCapacity = capacity;
  }
  if (!allocated) {  // out of memory: no network at all, audio passes untouched
    for (FdnLine& line : lines) line.allocate(0);
    predelayLeft.reset();
    predelayRight.reset();
    predelayCapacity = 0;
  }
}

void CSFXReverb::updateCoefficients() {
  if (sampleRate <= 0.0f) return;
  const double rate = sampleRate;
  const double seconds = decaySeconds(target[1]);
  for (FdnLine& line : lines)
    line.gain = static_cast<float>(std::pow(10.0, -3.0 * line.length / (seconds * rate)));
  const float tone = target[2];
  const float omega = tone * tone * tone * 113097.336f + 31415.928f;  // rad/s
  const float twiceRate = 2.0f * sampleRate;
  const float c = 1.0f / (omega + twiceRate);
  dampA = omega * c;
  dampB = (twiceRate - omega) * c;
}

void CSFXReverb::setParameters(const float params[kParameterCount]) {
  const float predelay = clampUnit(params[0]);
  target[0] = predelay * predelay;
  const float time = clampUnit(params[1]);
  const float tone = clampUnit(params[2]);
  const float level = clampUnit(params[3]);
  target[3] = level * level;
  if (time != target[1] || tone != target[2]) {
    target[1] = time;
    target[2] = tone;
    updateCoefficients();
  }
}

void CSFXReverb::getParameterDisplay(int index, float value, char* text) const {
  switch (index) {
    case 0: std::snprintf(text, kEffectDisplayTextSize, "%.1f ms", value * 150.0f); break;
    case 1: std::snprintf(text, kEffectDisplayTextSize, "%.2f sec", decaySeconds(value)); break;
    case 2: std::snprintf(text, kEffectDisplayTextSize, "%.1f %%", value * 100.0f); break;
    case 3: formatDecibels(value, text); break;
    default: break;
  }
}

void CSFXReverb::process(float* left, float* right, int frames) {
  if (lines[0].length <= 0 || predelayCapacity <= 0) return;
  ScopedFlushDenormals flushDenormals;

  // A value written into a line is read no sooner than length - 1 frames later, so a run of
  // frames shorter than the shortest line reads nothing the same run writes: its reads, damping
  // and taps go line-parallel, four lines to a vector, and its writes follow.
  int shortest = lines[0].length;
  for (const FdnLine& line : lines) shortest = std::min(shortest, line.length);
  const int most = std::min(kRun, shortest - 1);
  if (most < 1) {
    for (int frame = 0; frame < frames; ++frame) processFrame(left + frame, right + frame);
    return;
  }
  for (int done = 0; done < frames;) {
    const int count = std::min(most, frames - done);
    processRun(left + done, right + done, count);
    done += count;
  }
}

float CSFXReverb::predelayed(float left, float right, int predelay) {
  float* const preL = predelayLeft.get();
  float* const preR = predelayRight.get();
  if (predelayIndex >= predelayCapacity) {
    // Every position has been written once now: at the longest pre-delay the read position
    // never gets ahead of the write position, so this is where such a read becomes valid.
    predelayIndex %= predelayCapacity;
    predelayUnfilled = false;
  }
  int q = predelayIndex - predelay;
  float e = 0.0f;
  if (q < 0) {
    q += predelayCapacity;
    if (!predelayUnfilled) e = (preL[q] + preR[q]) * 0.5f;
  } else {
    predelayUnfilled = false;
    e = (preL[q] + preR[q]) * 0.5f;
  }
  preL[predelayIndex] = sanitizeSample(left);
  preR[predelayIndex] = sanitizeSample(right);
  ++predelayIndex;
  return e;
}

int CSFXReverb::predelayFrames() const {
  // In 1..capacity frames.
  return static_cast<int>(static_cast<float>(predelayCapacity - 1) * target[0]) + 1;
}

void CSFXReverb::processFrame(float* left, float* right) {
  const float a = dampA, b = dampB;
  float level = smoothed[3];
  slewParameter(&level, target[3], 1);
  const float e = predelayed(*left, *right, predelayFrames());

  float sum = 0.0f, accL = 0.0f, accR = 0.0f;
  for (FdnLine& line : lines) {
    line.wrap();
    const float raw = line.read() * line.gain;
    const float y = (line.lastRaw + raw) * a + line.damped * b;
    line.lastRaw = raw;
    line.damped = y;
    sum += y;
    accL += line.signLeft * y;
    accR += line.signRight * y;
  }

  // Feedback through P - (2/12) J: each line takes the next line's output minus a sixth of
  // the sum, plus the pre-delayed input.
  const float g = e - sum * 0.16666667f;
  for (int k = 0; k < kLineCount; ++k) lines[k].write(g + lines[(k + 1) % kLineCount].damped);

  *left = accL * level + e;
  *right = accR * level + e;
  smoothed[3] = level;
  cleared = false;
}

void CSFXReverb::processRun(float* left, float* right, int frames) {
  constexpr int kGroups = kLineCount / 4;
  const int predelay = predelayFrames();
  float e[kRun], level[kRun];
  float current = smoothed[3];
  for (int f = 0; f < frames; ++f) {
    slewParameter(&current, target[3], 1);
    level[f] = current;
    e[f] = predelayed(left[f], right[f], predelay);
  }
  smoothed[3] = current;

  // Each line's reads for the run, by frame, the lines side by side.
  alignas(16) float raw[kRun][kLineCount];
  for (int k = 0; k < kLineCount; ++k) {
    FdnLine& line = lines[k];
    // At most one wrap: the run is shorter than the line.
    for (int f = 0; f < frames;) {
      if (line.readIndex >= line.length) {
        line.readIndex -= line.length;
        line.unfilled = false;
      }
      const int end = std::min(frames, f + line.length - line.readIndex);
      const float* from = line.buffer.get() + line.readIndex - f;
      line.readIndex += end - f;
      if (line.unfilled) {
        for (; f < end; ++f) raw[f][k] = 0.0f;
      } else {
        for (; f < end; ++f) raw[f][k] = from[f];
      }
    }
  }

  // The damping low-passes, four lines at a time; y holds every line's output by frame.
  alignas(16) float y[kRun][kLineCount];
  alignas(16) float sums[kRun][4], tapsLeft[kRun][4], tapsRight[kRun][4];
  const __m128 a = _mm_set1_ps(dampA), b = _mm_set1_ps(dampB);
  __m128 gain[kGroups], lastRaw[kGroups], damped[kGroups], signLeft[kGroups], signRight[kGroups];
  for (int g = 0; g < kGroups; ++g) {
    const FdnLine* four = lines + 4 * g;
    gain[g] = _mm_setr_ps(four[0].gain, four[1].gain, four[2].gain, four[3].gain);
    lastRaw[g] = _mm_setr_ps(four[0].lastRaw, four[1].lastRaw, four[2].lastRaw, four[3].lastRaw);
    damped[g] = _mm_setr_ps(four[0].damped, four[1].damped, four[2].damped, four[3].damped);
    signLeft[g] = _mm_setr_ps(four[0].signLeft, four[1].signLeft, four[2].signLeft, four[3].signLeft);
    signRight[g] = _mm_setr_ps(four[0].signRight, four[1].signRight, four[2].signRight, four[3].signRight);
  }
  for (int f = 0; f < frames; ++f) {
    __m128 sum = _mm_setzero_ps(), accL = _mm_setzero_ps(), accR = _mm_setzero_ps();
    for (int g = 0; g < kGroups; ++g) {
      const __m128 r = _mm_mul_ps(_mm_load_ps(raw[f] + 4 * g), gain[g]);
      const __m128 out = _mm_add_ps(_mm_mul_ps(_mm_add_ps(lastRaw[g], r), a), _mm_mul_ps(damped[g], b));
      lastRaw[g] = r;
      damped[g] = out;
      _mm_store_ps(y[f] + 4 * g, out);
      sum = _mm_add_ps(sum, out);
      accL = _mm_add_ps(accL, _mm_mul_ps(signLeft[g], out));
      accR = _mm_add_ps(accR, _mm_mul_ps(signRight[g], out));
    }
    _mm_store_ps(sums[f], sum);
    _mm_store_ps(tapsLeft[f], accL);
    _mm_store_ps(tapsRight[f], accR);
  }
  for (int g = 0; g < kGroups; ++g) {
    alignas(16) float r[4], d[4];
    _mm_store_ps(r, lastRaw[g]);
    _mm_store_ps(d, damped[g]);
    for (int i = 0; i < 4; ++i) {
      lines[4 * g + i].lastRaw = r[i];
      lines[4 * g + i].damped = d[i];
    }
  }

  // Feedback through P - (2/12) J: each line takes the next line's output minus a sixth of
  // the sum, plus the pre-delayed input.
  float feedback[kRun];
  for (int f = 0; f < frames; ++f) {
    const float* s = sums[f];
    const float* l = tapsLeft[f];
    const float* r = tapsRight[f];
    feedback[f] = e[f] - ((s[0] + s[1]) + (s[2] + s[3])) * 0.16666667f;
    left[f] = ((l[0] + l[1]) + (l[2] + l[3])) * level[f] + e[f];
    right[f] = ((r[0] + r[1]) + (r[2] + r[3])) * level[f] + e[f];
  }
  for (int k = 0; k < kLineCount; ++k) {
    FdnLine& line = lines[k];
    const int next = (k + 1) % kLineCount;
    for (int f = 0; f < frames;) {
      if (line.writeIndex >= line.length) line.writeIndex -= line.length;
      const int end = std::min(frames, f + line.length - line.writeIndex);
      float* to = line.buffer.get() + line.writeIndex - f;
      line.writeIndex += end - f;
      for (; f < end; ++f) to[f] = feedback[f] + y[f][next];
    }
  }
  cleared = false;
}
