#pragma once
// What one parameter value does to the running state. The decision is a pure function over the
// state: it writes the decoded value into the target image and names the one operation, if any,
// that the instance must then run (stopping sound, clearing or building an effect, assigning a
// wave, ordering a range). Storing the value and posting it are the instance's part.

#include "engine/EngineState.h"

#include <cstdint>

namespace engine {

enum class SideEffect : uint8_t {
    None,
    StopAll,           // every channel into its fast release
    StopChannel,       // channel into its fast release
    StopSpan,          // every channel first..last into its fast release
    ResetChannel,      // channel reset: voices dropped, insert and system effects cleared
    DropVoices,        // channel's voices dropped at once, nothing else reset
    ClearAllInserts,   // every existing insert effect of every channel cleared
    ClearInsert,       // insert slot `slot` of channel cleared
    ClearSystemEffect, // slot 0 chorus, 1 reverb
    SetInsertType,     // build effect type `number` into insert slot `slot` of channel
    AssignWave,        // wave `number` to oscillator or drum key `slot`; failure stores 0
    OrderMelodyRanges, // key and velocity windows of channel put in order
    OrderDrumRange,    // key window of the kit of channel put in order
    SwitchPattern,     // channel's sequencer (slot 0) or arpeggiator (slot 1) went on (number 1)
                       // or off (0) without a stop: see Quorix::switchPattern
};

struct ApplyOutcome {
    SideEffect effect = SideEffect::None;
    int32_t channel = -1;
    int32_t first = 0, last = -1; // StopSpan
    int32_t slot = 0;
    int32_t number = 0;
};

// Applies parameter index (0..28,640) with the normalised value x to state; indexes outside
// the parameters change nothing.
ApplyOutcome applyParameterValue(EngineState& state, int32_t index, float x);

// The values of one whole sequencer lane of a channel (local ids from its first step on: 64
// note and volume pairs, then On and Base), made safe in place and applied as
// applyParameterValue applies them one by one; none of them asks for an operation.
inline constexpr int kLaneValueCount = 2 * kSequencerSteps + 2;
void applyLaneValues(EngineState& state, int32_t channel, int32_t lane, float* values);

// The values of one drum key of a channel in drum mode (its kDrumKeyValues local ids from its
// wave on), made safe in place and applied as applyParameterValue applies them one by one;
// returns the wave number, whose assignment (the one operation they ask for) is the caller's.
int32_t applyDrumKeyValues(EngineState& state, int32_t channel, int32_t key, float* values);

} // namespace engine
