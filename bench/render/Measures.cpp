#include "bench/render/Measures.h"

#include <ebur128.h>

#include <algorithm>
#include <cmath>
#include <limits>

namespace qbench {

namespace {

constexpr double minusInfinity = -std::numeric_limits<double>::infinity();

double toDb(double power) { return power > 0 ? 10.0 * std::log10(power) : minusInfinity; }

// Squared difference of x against itself shifted by `lag`, over `width` samples.
double difference(const float *x, size_t width, size_t lag)
{
  double sum = 0;
  for (size_t j = 0; j < width; ++j) {
    const double d = double(x[j]) - double(x[j + lag]);
    sum += d * d;
  }
  return sum;
}

// Offset in (-0.5, 0.5) of the minimum of a parabola through three neighbouring values.
double parabolaOffset(double before, double at, double after)
{
  const double curve = before - 2 * at + after;
  return curve > 0 ? std::clamp(0.5 * (before - after) / curve, -0.5, 0.5) : 0.0;
}

} // namespace

double integratedLoudness(const Stereo &audio)
{
  ebur128_state *state = ebur128_init(2, unsigned(audio.rate), EBUR128_MODE_I);
  if (!state) return minusInfinity;
  std::vector<float> interleaved(2 * 4096);
  for (size_t at = 0; at < audio.frames(); at += 4096) {
    const size_t n = std::min<size_t>(4096, audio.frames() - at);
    for (size_t i = 0; i < n; ++i) {
      interleaved[2 * i] = audio.left[at + i];
      interleaved[2 * i + 1] = audio.right[at + i];
    }
    ebur128_add_frames_float(state, interleaved.data(), n);
  }
  double loudness = minusInfinity;
  if (ebur128_loudness_global(state, &loudness) != EBUR128_SUCCESS || !std::isfinite(loudness))
    loudness = minusInfinity;
  ebur128_destroy(&state);
  return loudness;
}

Peaks peaks(const Stereo &audio)
{
  Peaks p;
  for (const std::vector<float> *channel : {&audio.left, &audio.right})
    for (float v : *channel) {
      const double a = std::fabs(double(v));
      p.peak = std::max(p.peak, a);
      if (a > 1.0) ++p.overFullScale;
    }
  return p;
}

double levelDb(const Stereo &audio, size_t begin, size_t end)
{
  end = std::min(end, audio.frames());
  if (begin >= end) return minusInfinity;
  double sum = 0;
  for (size_t i = begin; i < end; ++i)
    sum += double(audio.left[i]) * audio.left[i] + double(audio.right[i]) * audio.right[i];
  return toDb(sum / (2.0 * double(end - begin)));
}

double balanceDb(const Stereo &audio, size_t begin, size_t end)
{
  end = std::min(end, audio.frames());
  double l = 0, r = 0;
  for (size_t i = begin; i < end; ++i) {
    l += double(audio.left[i]) * audio.left[i];
    r += double(audio.right[i]) * audio.right[i];
  }
  if (l <= 0 && r <= 0) return 0;
  if (r <= 0) return std::numeric_limits<double>::infinity();
  return toDb(l / r);
}

double sideMidDb(const Stereo &audio)
{
  double side = 0, mid = 0;
  for (size_t i = 0; i < audio.frames(); ++i) {
    const double m = 0.5 * (double(audio.left[i]) + audio.right[i]);
    const double s = 0.5 * (double(audio.left[i]) - audio.right[i]);
    mid += m * m;
    side += s * s;
  }
  if (mid <= 0) return side > 0 ? std::numeric_limits<double>::infinity() : minusInfinity;
  return toDb(side / mid);
}

namespace {

// The pitch of x[0, n) as estimateF0 gives it, without the check that it holds over the span.
Pitch periodOf(const float *x, size_t n, double rate, double minHz, double maxHz)
{
  Pitch out;
  const size_t minLag = std::max<size_t>(2, size_t(std::floor(rate / maxHz)));
  const size_t maxLag = size_t(std::ceil(rate / minHz));
  if (n < 2 * maxLag + 2 || minLag + 2 >= maxLag) return out;
  const size_t width = n - maxLag - 1;

  // Cumulative-mean-normalised difference: near 0 at the period, near 1 for noise.
  std::vector<double> normalised(maxLag + 2, 1.0);
  double running = 0;
  for (size_t lag = 1; lag <= maxLag + 1; ++lag) {
    const double d = difference(x, width, lag);
    running += d;
    normalised[lag] = running > 0 ? d * double(lag) / running : 1.0;
  }
  // The first dip under the threshold (the shortest period), then down to its bottom.
  constexpr double threshold = 0.15;
  size_t best = 0;
  for (size_t lag = minLag; lag <= maxLag; ++lag)
    if (normalised[lag] < threshold) {
      while (lag + 1 <= maxLag && normalised[lag + 1] < normalised[lag]) ++lag;
      best = lag;
      break;
    }
  // No clear dip: report the deepest one, but not as periodic. A shorter lag that comes near the
  // threshold (a weak fundamental under its octave, or partials that fit another period about
  // as well) leaves the period in doubt, so that is not clear either.
  out.periodic = best != 0;
  for (size_t lag = minLag; out.periodic && lag < best; ++lag)
    if (normalised[lag] < 2 * threshold && normalised[lag] <= normalised[lag - 1] && normalised[lag] <= normalised[lag + 1])
      out.periodic = false;
  if (best == 0) {
    best = minLag;
    for (size_t lag = minLag; lag <= maxLag; ++lag)
      if (normalised[lag] < normalised[best]) best = lag;
  }
  double period = double(best) + parabolaOffset(normalised[best - 1], normalised[best], normalised[best + 1]);

  // A lag of many periods pins the period down to a small fraction of a sample; doubling the
  // count each step keeps the search within a third of a period of the right multiple.
  const size_t span = n / 2;
  for (size_t periods = 2; period * double(periods) + period < double(span); periods *= 2) {
    const size_t centre = size_t(std::lround(period * double(periods)));
    const size_t reach = std::max<size_t>(1, size_t(period / 3));
    const size_t w = n - (centre + reach + 2);
    size_t at = centre - reach;
    double lowest = difference(x, w, at);
    for (size_t lag = at + 1; lag <= centre + reach; ++lag) {
      const double d = difference(x, w, lag);
      if (d < lowest) {
        lowest = d;
        at = lag;
      }
    }
    if (at == centre - reach || at == centre + reach) break; // no dip inside: not steady enough
    const double refined = double(at) + parabolaOffset(difference(x, w, at - 1), lowest, difference(x, w, at + 1));
    period = refined / double(periods);
  }
  out.hz = rate / period;
  return out;
}

} // namespace

Pitch estimateF0(const float *x, size_t n, double rate, double minHz, double maxHz)
{
  Pitch out = periodOf(x, n, rate, minHz, maxHz);
  // A pitch that moves within the span (vibrato, detuned layers beating, a chorus) has no one
  // value to compare: each half must give the same pitch.
  constexpr double steadyCents = 10.0;
  if (out.periodic)
    for (size_t half : {size_t(0), n / 2}) {
      const Pitch part = periodOf(x + half, n / 2, rate, minHz, maxHz);
      if (!part.periodic || std::fabs(cents(part.hz, out.hz)) > steadyCents) out.periodic = false;
    }
  return out;
}

Pitch heldPitch(const float *x, size_t n, double rate, double minHz, double maxHz, size_t window)
{
  Pitch out;
  if (window == 0 || n < window) return out;
  const size_t step = std::max<size_t>(1, window / 4);
  std::vector<double> power;
  for (size_t at = 0; at + window <= n; at += step) {
    double sum = 0;
    for (size_t i = at; i < at + window; ++i) sum += double(x[i]) * x[i];
    power.push_back(sum);
  }
  const double loudest = *std::max_element(power.begin(), power.end());
  if (!(loudest > 0)) return out;
  constexpr double soundingDb = 30.0, spreadCents = 5.0;
  std::vector<double> hz;
  for (size_t w = 0; w < power.size(); ++w) {
    if (power[w] < loudest * std::pow(10.0, -soundingDb / 10.0)) continue;
    const Pitch p = estimateF0(x + w * step, window, rate, minHz, maxHz);
    if (!p.periodic) return out;
    hz.push_back(p.hz);
  }
  const auto [low, high] = std::minmax_element(hz.begin(), hz.end());
  out.hz = median(hz);
  out.periodic = cents(*high, *low) <= spreadCents;
  return out;
}

double ringSeconds(const Stereo &audio, size_t begin, size_t end, double dropDb)
{
  end = std::min(end, audio.frames());
  const size_t frame = std::max<size_t>(1, size_t(audio.rate / 100));
  std::vector<double> levels;
  for (size_t at = begin; at + frame <= end; at += frame) levels.push_back(levelDb(audio, at, at + frame));
  if (levels.empty()) return 0;
  const size_t loudest = size_t(std::max_element(levels.begin(), levels.end()) - levels.begin());
  if (!std::isfinite(levels[loudest])) return 0;
  // From the onset, so a sound that swells or holds before its loudest frame is timed whole.
  size_t first = loudest, last = loudest;
  for (size_t i = 0; i < levels.size(); ++i)
    if (levels[i] >= levels[loudest] - dropDb) {
      first = std::min(first, i);
      last = i;
    }
  return double(last - first + 1) * double(frame) / audio.rate;
}

double cents(double hz, double referenceHz) { return 1200.0 * std::log2(hz / referenceHz); }

double median(std::vector<double> values)
{
  if (values.empty()) return std::numeric_limits<double>::quiet_NaN();
  std::sort(values.begin(), values.end());
  const size_t h = values.size() / 2;
  return values.size() % 2 ? values[h] : 0.5 * (values[h - 1] + values[h]);
}

} // namespace qbench
