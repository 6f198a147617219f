#pragma once
// Where the step sequencer and the arpeggiator stand on the song position: step lengths in beats
// and the step a sub-block reaches. Pure functions; both pattern players tick once per sub-block
// of at most 16 samples and use these so that they agree on every boundary.

#include <cstdint>

namespace engine {

inline constexpr int kSequencerRates = 8;       // seqRate 0..7, each also as a triplet
inline constexpr int kArpeggiatorRates = 18;    // arpRate 0..17: dotted, straight, triplets

// Beats of one sequencer step; rates outside 0..7 are held to the table.
double sequencerStepLength(int32_t rate, bool triplet);
// Beats of one arpeggiator step; rates outside 0..17 are held to the table.
double arpeggiatorStepLength(int32_t rate);

// The step reached at the end of a sub-block that starts at position (beats) and spans beats.
struct StepClock {
    int64_t step;   // absolute step number, floored: positions before the song start give negatives
    double phase;   // part of that step reached, 0 <= phase < 1
    double reach;   // the same measured from the step the sub-block starts in: >= 1 when it crossed
    bool crossed;   // a step boundary lies within the sub-block (its end included)
};

// Positions within a millionth of a step of a boundary count as on it, so that a host reporting
// the next block's start a rounding error before a boundary the last sub-block already reached
// does not cross it a second time. A position that is not finite counts as 0.
StepClock stepClock(double position, double stepLength, double beats);

// step modulo length, in 0..length - 1 also for negative steps; 0 for a length below 1.
int32_t wrapStep(int64_t step, int32_t length);

// The step a pattern of length steps is on at position: the whole steps reached, floored.
int32_t patternStep(double position, double stepLength, int32_t length);

// Beats a sub-block of n samples spans at tempo (beats per minute) and sampleRate.
double subBlockBeats(int32_t n, double tempo, double sampleRate);

// The sub-block a pattern player ticks for.
struct PatternTime {
    double position; // song position in beats at the sub-block's start
    double beats;    // beats the sub-block spans
};

// What the pattern players need of their channel's voices; the instance starts and releases
// notes through noteOn and the note ids it returned.
class PatternVoices
{
public:
    virtual ~PatternVoices() = default;
    // Starts a note on the channel and returns its id.
    virtual int32_t startNote(int32_t key, int32_t velocity, int32_t shift) = 0;
    // The note's key is let go, so its voice enters its release; nothing when it has no voice.
    virtual void releaseNote(int32_t noteId) = 0;
    // The note's level glides to that of a velocity 0..127 (the sequencer's tied steps).
    virtual void glideNoteLevel(int32_t noteId, int32_t velocity) = 0;
};

} // namespace engine
