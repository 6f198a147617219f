#pragma once
// The step sequencer of a channel: five lanes of 64 steps played in time with the song
// position, relative to a fixed key or to one of the held keys.
//
// Note codes of a step: -48..48 start a note at the lane's key + code; 49 continues the lane's
// note with this step's level; 50 as 49, and the note ends at the lane's next step; 51 and 52
// end the lane's note (52 is what a cleared step holds); above 52 nothing.

#include "engine/EngineState.h"
#include "engine/PatternClock.h"

#include <cstdint>

namespace engine {

inline constexpr int32_t kLaneHeldKeyBase = 128; // lane base 128 + k: the k-th held key in note order

// seqOrder: the held keys' indexes in the order of the presses (noteOrder 0), by key ascending
// (1) or descending (2); equal keys keep the order of their presses.
void orderSequencerKeys(int32_t noteOrder, ChannelPlayState& play);

struct SequencerTick {
    bool fired;        // a step played (the patterns run)
    int32_t shownStep; // the pattern step it played, 0..length - 1
};

// One sub-block of a channel's step sequencer (the caller checks seqOn). The lanes' own runtime
// (tied, last key and level, note id) lives in channel's lanes.
SequencerTick tickSequencer(ChannelState& channel, ChannelPlayState& play, const PatternTime& time,
                            PatternVoices& voices);

} // namespace engine
