#pragma once
// Process-wide pitch and velocity tables of the voices. Pitch is counted in 1/8192 semitone
// (98,304 units per octave), 12-tone equal temperament with A = 440 Hz at key 69.
//
// Filled once when the module loads, like the tables of dspTables.h, and read-only afterwards;
// buildPitchTables() may be called again and then does nothing.

#include <cstdint>

inline constexpr int kNoteCount = 128;
inline constexpr int kSemitoneRatioCount = 256;
inline constexpr int kPitchUnitsPerSemitone = 8192;
inline constexpr int kCentRatioCount = 100;       // 0..99 cents; tunings are held to +-99
inline constexpr int kVelocityCurveCount = 7;     // the configuration's velocityCurve 0..6
inline constexpr int kIdentityVelocityCurve = 3;  // what the sequencer asks for

namespace pitch_tables_detail {
extern float noteFrequencyStorage[kNoteCount];
extern float semitoneRatioStorage[kSemitoneRatioCount];
extern float fineRatioStorage[kPitchUnitsPerSemitone];
extern float centRatioStorage[kCentRatioCount];
extern float velocityCurveStorage[kVelocityCurveCount][kNoteCount];
}  // namespace pitch_tables_detail

// N(k) = 440 x 2^((k - 69) / 12) Hz for keys 0..127.
inline constexpr const float (&noteFrequency)[kNoteCount] = pitch_tables_detail::noteFrequencyStorage;
// S(k) = 2^(k / 12) for k = 0..255 semitones.
inline constexpr const float (&semitoneRatio)[kSemitoneRatioCount] =
    pitch_tables_detail::semitoneRatioStorage;
// F(k) = 2^(k / 98304) for k = 0..8191 pitch units (less than one semitone).
inline constexpr const float (&fineRatio)[kPitchUnitsPerSemitone] = pitch_tables_detail::fineRatioStorage;
// R(k) = 2^(k / 1200) for k = 0..99 cents.
inline constexpr const float (&centRatio)[kCentRatioCount] = pitch_tables_detail::centRatioStorage;
// Curve c maps a velocity 0..127 to a level 0..127 (0 -> 0 and 127 -> 127 on every curve).
inline constexpr const float (&velocityCurves)[kVelocityCurveCount][kNoteCount] =
    pitch_tables_detail::velocityCurveStorage;

// The curve's level for a velocity, both held to their tables: a curve outside 0..6 reads as
// the identity curve, a velocity outside 0..127 as the nearest end.
inline float velocityLevel(int32_t curve, int32_t velocity) {
  if (curve < 0 || curve >= kVelocityCurveCount) curve = kIdentityVelocityCurve;
  if (velocity < 0) velocity = 0;
  if (velocity > kNoteCount - 1) velocity = kNoteCount - 1;
  return velocityCurves[curve][velocity];
}

// The ratio of a signed semitone offset: S(n) for n >= 0, 1 / S(-n) below, held to +-255.
inline float semitoneOffsetRatio(int32_t semitones) {
  if (semitones > kSemitoneRatioCount - 1) semitones = kSemitoneRatioCount - 1;
  if (semitones < -(kSemitoneRatioCount - 1)) semitones = -(kSemitoneRatioCount - 1);
  return semitones >= 0 ? semitoneRatio[semitones] : 1.0f / semitoneRatio[-semitones];
}

// The ratio of a signed offset in cents, held to the table's +-99.
inline float centOffsetRatio(int32_t cents) {
  if (cents > kCentRatioCount - 1) cents = kCentRatioCount - 1;
  if (cents < -(kCentRatioCount - 1)) cents = -(kCentRatioCount - 1);
  return cents >= 0 ? centRatio[cents] : 1.0f / centRatio[-cents];
}

// The frequency ratio of a pitch in units (key x 8192 + fraction) to its key's note: the note
// frequency times the fine ratio. Pitches below key 0 play key 0, above key 127 key 127 with
// their fraction kept.
inline float pitchFrequency(int32_t units) {
  if (units < 0) return noteFrequency[0];
  int32_t note = units / kPitchUnitsPerSemitone;
  const int32_t fraction = units % kPitchUnitsPerSemitone;
  if (note > kNoteCount - 1) note = kNoteCount - 1;
  return noteFrequency[note] * fineRatio[fraction];
}

void buildPitchTables();
