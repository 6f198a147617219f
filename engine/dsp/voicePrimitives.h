#pragma once
// The numeric building blocks of the voice renders: the crossfade curve, the envelope curve
// lookup and the two envelope generators, the low-pass design and its sections, the LFO
// waveforms, the advance of a sample read position and four-point interpolation of 16-bit data.
//
// Each works on one value, one voice or one sub-block of at most 16 samples; none allocates or
// locks. The generators and the filter design run once per sub-block; the sections, the
// interpolations and the read-position advance run per sample and call no transcendental
// function.

#include <cstdint>
#include <emmintrin.h>

#include "engine/dsp/dspTables.h"

// Moves value toward target by at most 0.0003 x n, like slewParameter, without storing it.
inline float rampValue(float value, float target, int n) {
  const float step = 0.0003f * static_cast<float>(n);
  if (target > value) return value + step < target ? value + step : target;
  if (target < value) return value - step > target ? value - step : target;
  return value;
}

// An S-shaped 0..1 -> 0..1 curve with zero slope at both ends and 0.5 at the middle.
inline float crossfadeCurve(float x) {
  if (x < 0.5f) {
    const float a = 2.0f * x;
    return a * a * a * 0.5f;
  }
  const float b = 2.0f - 2.0f * x;
  return 1.0f - b * b * b * 0.5f;
}

// Catmull-Rom through p0..p3 at t: p1 at t = 0, p2 at t = 1.
inline float catmullRom(float p0, float p1, float p2, float p3, float t) {
  return p1 + 0.5f * t *
                  ((p2 - p0) +
                   t * ((2.0f * p0 - 5.0f * p1 + 4.0f * p2 - p3) + t * (3.0f * (p1 - p2) + p3 - p0)));
}

// The envelope curve C at a level 0..255 (levels outside are held to it), interpolated between
// its nearest entries. Inline: the generators look up two levels at once, and each voice's
// envelopes run every sub-block.
inline float curveLookup(double level) {
  if (!(level > 0.0)) level = 0.0;  // NaN reads as 0
  if (level > 255.0) level = 255.0;
  // Halves to even under the default rounding, in one instruction (nearbyint is a library call).
  const int index = _mm_cvtsd_si32(_mm_set_sd(level));
  const float t = static_cast<float>(level - static_cast<double>(index));
  return catmullRom(envelopeCurve[index - 1], envelopeCurve[index], envelopeCurve[index + 1],
                    envelopeCurve[index + 2], t);
}

// Four-point interpolation of 16-bit sample data between data[i] (t = 0) and data[i + 1]
// (t = 1). Reads data[i - 1] .. data[i + 2]: for i in 1..size the sample's guards cover them.
inline float cubicSample(const int16_t* data, int32_t i, float t) {
  return catmullRom(data[i - 1], data[i], data[i + 1], data[i + 2], t);
}

// The same read backwards: from data[i + 1] (t = 0) toward data[i] (t = 1). The farthest value
// is read no further than the last guard, data[size + 2], so i = size + 1 (the first step of a
// reversed sample) stays inside the data.
inline float cubicSampleReverse(const int16_t* data, int32_t size, int32_t i, float t) {
  const int32_t far = i + 2 <= size + 2 ? i + 2 : size + 2;
  return catmullRom(data[far], data[i + 1], data[i], data[i - 1], t);
}

// Moves a read position by the whole part of its accumulator and returns the fraction left.
// Past the end a looped sample (loopStart 1..size) continues inside its loop, whatever the size
// of the step; a one-shot sample (loopStart 0) stops at its last value with fraction 0 and sets
// stopped.
inline float advanceReadPosition(int32_t& index, float accumulator, int32_t size, int32_t loopStart,
                                 bool& stopped) {
  const int32_t whole = static_cast<int32_t>(accumulator);
  index += whole;
  float fraction = accumulator - static_cast<float>(whole);
  if (index > size) {
    if (loopStart > 0 && loopStart <= size) {
      const int32_t length = size - loopStart + 1;
      index = loopStart + (index - loopStart) % length;
    } else {
      index = size;
      fraction = 0.0f;
      stopped = true;
    }
  }
  return fraction;
}

// Envelope states.
inline constexpr int32_t kEnvAttack = 1;
inline constexpr int32_t kEnvDecay = 2;
inline constexpr int32_t kEnvSustain = 3;
inline constexpr int32_t kEnvHold = 4;
inline constexpr int32_t kEnvRelease = 5;

// One envelope of a voice. level runs 0..255 along the envelope's time axis; output is the gain
// 0..1 the render applies, moved by step once per sample during the sub-block.
struct EnvelopeState {
  int32_t state;
  double level;
  float output;
  float step;
  float releaseFrom;  // output when the release began
};

// Level units (of 0..255) per sub-block.
struct EnvelopeRates {
  double attack;
  double decay;
  double release;
};

// One sub-block of n samples of an attack-decay-sustain-release envelope. attackTime is only
// tested for 0 (an instant attack); sustain is the level 0..1 the decay ends at.
void adsrStep(float attackTime, float sustain, EnvelopeState& envelope, const EnvelopeRates& rates, int n);

// One sub-block of the drum envelope: attack, then hold while hold is set, else release along
// the envelope curve from 1.0.
void arStep(bool hold, float attackTime, EnvelopeState& envelope, double attackRate, double releaseRate, int n);

// One two-pole low-pass section: feedback a1, a2 and the gain of the feed-forward 1, 2, 1.
struct FilterSection {
  float a1, a2, gain;
};

// Sections of the low-pass at normalised cutoff x (0..1: 19 Hz to 20 kHz before the limit of
// 0.46 x rate) and resonance r (0..1), running at rate. Slope 1 gives one section (2-pole); any
// other slope two (4-pole). Returns the number of sections.
int lowPassCoefficients(float x, float r, float rate, int32_t slope, FilterSection sections[2]);

// The cutoff in Hz that lowPassCoefficients designs for.
float lowPassCutoffHz(float x, float rate);

// One section, direct form II: memory holds w1, w2.
inline float biquadSection(const FilterSection& c, float* memory, float x) {
  const float w = x - c.a1 * memory[0] - c.a2 * memory[1];
  const float y = c.gain * (w + 2.0f * memory[0] + memory[1]);
  memory[1] = memory[0];
  memory[0] = w;
  return y;
}

inline float biquadTwoPole(const FilterSection* c, float* memory, float x) { return biquadSection(c[0], memory, x); }

inline float biquadFourPole(const FilterSection* c, float* memory, float x) {
  return biquadSection(c[1], memory + 2, biquadSection(c[0], memory, x));
}

// The LFO's phase and the state of its random waves.
struct LfoState {
  int32_t index;       // 0..255, one cycle is 256 steps
  float fraction;      // may hold several steps before the next normalisation
  int32_t lastIndex;   // index at the previous call (random waves)
  float heldRandom;    // value of the random waves
  uint32_t randomSeed; // generator state of the random waves
};

// The LFO value -1..1 of wave 0..9 at the phase, which it normalises (whole steps of the fraction
// go into the index, the index wraps to 0..255). Waves 1, 3, 5, 7 are 0, 2, 4, 6 inverted
// (sine, triangle, rising saw, square); 8 a random walk and 9 sample-and-hold, both taking a
// new value when a cycle begins; any other wave gives 0.
float lfoValue(int32_t wave, LfoState& phase);
