#pragma once
// The arpeggiator of a melody channel: the playing order built from the held keys, the octave
// range and the pattern, and the step that plays it in time with the song position.

#include "engine/EngineState.h"
#include "engine/PatternClock.h"

#include <cstdint>

namespace engine {

inline constexpr int kArpPatterns = 8;

// 0: every note once; 1: up and back down (or down and back up) with the ends once; 2: with the
// ends twice. Patterns outside 0..7 are held to the table.
int32_t arpPatternKind(int32_t pattern);

// Steps of the arpeggio of heldCount keys over octaves (both held to what the note table holds):
// c = octaves x keys, or 2c - 2 (kind 1) and 2c (kind 2) when c > 1. At most kArpOrderLength.
int32_t arpeggioLength(int32_t pattern, int32_t octaves, int32_t heldCount);

// Fills notes (octave after octave, keys in held order) and order (indexes into notes, one per
// step); returns the length. notes holds kArpNotes entries and order kArpOrderLength.
int32_t buildArpeggio(const HeldKey* held, int32_t heldCount, int32_t pattern, int32_t octaves, HeldKey* notes,
                      int32_t* order);

// Integers 0..32767 from the instance's generator.
int32_t nextArpeggioRandom(uint32_t& seed);

// One sub-block of a channel's arpeggiator (the caller checks that the arpeggiator runs and the
// step sequencer does not): rebuilds the order when invalid, releases the arpeggiator's own note
// once the gate time of its step has passed and starts the note of a new step. True when a new
// step was reached (the patterns run).
bool tickArpeggiator(const MelodyState& settings, ChannelPlayState& play, const PatternTime& time,
                     PatternVoices& voices, uint32_t& randomSeed);

} // namespace engine
