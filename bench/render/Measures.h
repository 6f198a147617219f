// Measures of rendered stereo audio the render bench compares between two synthesizers: loudness,
// peaks, stereo width, note level and balance, fundamental frequency and ring time.
#pragma once

#include <cstddef>
#include <vector>

namespace qbench {

struct Stereo {
  double rate = 44100.0;
  std::vector<float> left, right;
  size_t frames() const { return left.size(); }
};

// Integrated loudness (EBU R128) in LUFS; -infinity for silence or a failure.
double integratedLoudness(const Stereo &audio);

struct Peaks {
  double peak = 0;        // largest magnitude of either channel
  long overFullScale = 0; // samples (either channel) whose magnitude is above 1.0
};
Peaks peaks(const Stereo &audio);

// Mean power of both channels over frames [begin, end) in dB full scale; -infinity for silence.
double levelDb(const Stereo &audio, size_t begin, size_t end);
// Left power over right power in dB over [begin, end): positive leans left.
double balanceDb(const Stereo &audio, size_t begin, size_t end);
// Side power over mid power in dB over the whole signal: -infinity for mono, 0 for uncorrelated.
double sideMidDb(const Stereo &audio);

struct Pitch {
  double hz = 0;
  bool periodic = false; // the signal repeats clearly at hz
};
// Fundamental frequency of x[0, n) searched between minHz and maxHz (difference function with
// cumulative-mean normalisation, refined over many periods for precision at high pitches).
// Periodic only when one period stands out (no shorter lag nearly as good) and each half of the
// span gives the same pitch within 10 cents.
Pitch estimateF0(const float *x, size_t n, double rate, double minHz, double maxHz);

// Pitch of a held note x[0, n): estimateF0 over windows of `window` values, a quarter window
// apart, and their median. Detuned layers beating, a chorus or partials that drift move the
// pitch of a short window by cents over a second while each window alone looks steady, so the
// note is periodic only when every window that sounds (within 30 dB of the loudest) is
// periodic and all of them lie within 5 cents, the closeness the bench asks of a pitch.
Pitch heldPitch(const float *x, size_t n, double rate, double minHz, double maxHz, size_t window);

// Seconds from the first 10 ms frame in [begin, end) within `dropDb` of the loudest until the
// level last stands within `dropDb` of it; the whole remaining span when it never falls that far.
double ringSeconds(const Stereo &audio, size_t begin, size_t end, double dropDb = 40.0);

double cents(double hz, double referenceHz);
double median(std::vector<double> values);

} // namespace qbench
