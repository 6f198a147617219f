#pragma once
// Tempo-synchronised LFO helpers shared by the modulation effects (phaser, tremolo, auto pan,
// auto wah): the cycle length from a RATE parameter, the per-frame advance from tempo and rate,
// and the lock of a phase record to the song position.

#include <cmath>

#include "effects/effectDsp.h"

// Slowest tempo the synchronised LFOs follow; slower tempos (and NaN) run at this one.
inline constexpr double kMinLfoTempo = 40.0;
// Fastest tempo they follow: no song runs faster, and an LFO driven by an absurd tempo would
// jump across its cycle every frame, which a resonant phaser does not survive.
inline constexpr double kMaxLfoTempo = 1000.0;

// Largest LFO advance per frame, in steps of the 256-step cycle: half a cycle. Faster LFOs are
// meaningless and would overflow the step count.
inline constexpr float kMaxLfoIncrement = 128.0f;

inline double clampLfoTempo(double beatsPerMinute) {
  if (!(beatsPerMinute > kMinLfoTempo)) return kMinLfoTempo;
  return beatsPerMinute < kMaxLfoTempo ? beatsPerMinute : kMaxLfoTempo;
}

// One LFO cycle in beats for a normalised RATE target; 1 beat while the target is negative
// (not set yet).
inline double lfoSyncCycleBeats(float rateTarget) {
  return rateTarget < 0.0f ? 1.0 : lfoSyncNoteLength(rateTarget).beats;
}

// Steps per frame: 256 / rate x tempo / cycle / 60 (the frequency rounded to float first).
// 0 while the rate or the tempo is unknown.
inline float syncedLfoIncrement(double tempo, double cycleBeats, float sampleRate) {
  if (usableSampleRate(sampleRate) < 0.0f || !(tempo > 0.0) || !(cycleBeats > 0.0)) return 0.0f;
  const float cyclesPerSecond = static_cast<float>(tempo / cycleBeats / 60.0);
  const float increment = (256.0f / sampleRate) * cyclesPerSecond;
  return increment < kMaxLfoIncrement ? increment : kMaxLfoIncrement;
}

// Sets phase to the position in the cycle that the song position reaches: the fractional part
// of position / cycle, taken into [0, 1) also for negative positions, in steps of 256. A
// position that is not finite leaves the phase alone.
inline void lockLfoPhase(double position, double cycleBeats, LfoPhase& phase) {
  const double r = position / cycleBeats;
  if (!std::isfinite(r)) return;
  double cycle = r - std::floor(r);
  if (cycle >= 1.0) cycle = 0.0;  // a tiny negative r rounds up to a whole cycle
  const double s = cycle * 256.0;
  const int step = static_cast<int>(s);
  phase.step = step & 255;
  phase.fraction = static_cast<float>(s - step);
}

// The sine LFO stepped inline by the phaser and the auto wah: whole steps pending in the
// fraction move into the step, the fraction then takes `advance`, and the sine table is read,
// interpolated, at the position before the advance.
inline float stepSineLfo(LfoPhase& phase, float advance) {
  const int k = static_cast<int>(phase.fraction);
  phase.step = (phase.step + k) & 255;
  const float f = phase.fraction - static_cast<float>(k);
  phase.fraction = f + advance;
  const float* t = lfoSineTable + phase.step;
  return t[0] + (t[1] - t[0]) * f;
}
