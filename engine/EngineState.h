#pragma once
// The running state of one engine instance: the program's settings decoded into typed fields,
// and what exists only while playing (voices, held keys, LFO, sequencer and arpeggiator
// positions, meters). Plain records without constructors of their own; the instance clears
// them with clearEngineState. No heap memory except the effect objects the slots own.
//
// The settings are held twice, in two EngineImages of the same layout: parameter apply writes
// the target image; the renders move the continuous fields of the smoothed image toward their
// twins with slewParameter and read everything else from the target. What exists only while
// playing lives once per channel in ChannelPlayState, outside the images.
//
// Every field is read and written under the instance's lock; the render, the MIDI handler,
// note-on and voice removal also hold the engine's shared lock.

#include "banks/KeyZone.h"
#include "effects/effectFactory.h"
#include "engine/EngineLimits.h"
#include "engine/dsp/voicePrimitives.h"

#include <cstdint>
#include <type_traits>

struct SampleRecord; // a sample of the shared sample banks

struct EngineRuntime {
    double ownSongPosition;     // beats, carried from block to block while the stored tempo is followed
    uint8_t patternsRunning;    // a sequencer or arpeggiator produces steps
    float outputMeters[4];      // peaks of main L/R, sub L/R since the last decay
    uint8_t outputClipped[2];   // main pair, sub pair
    float channelMeters[engine::kChannelCount];
    uint8_t foldSubOutputs;     // host command: mix the sub pair into the main pair
    uint8_t flushEffectTails;   // host command: run the system effects on silence
    uint32_t randomSeed;        // the instance's generator of random arpeggios
    uint8_t smoothedSettled;    // cleared until the first block (and after a resume) settles the slews
    int32_t chorusQuietSamples = 0; // samples the system chorus has had silence in and out
    int32_t reverbQuietSamples = 0; // the same for the reverb
};

struct MasterState {
    float volume;               // normalised; master gain = volume^2 x 2
    float tune;                 // normalised, 0.5 = no detune
    int32_t transpose;          // semitones -48..48
    int32_t voiceLimit;         // 1..1024 voices for the whole instance
    uint8_t insertEffectsOn;
    uint8_t priorityMode;       // every MIDI channel message goes to the channel being edited
    int32_t page;               // 0..4, kept for the editor
    SystemEffectSlot chorus;
    SystemEffectSlot reverb;
};

struct EnvelopeTimes {
    float attack, decay, sustain, release; // normalised
};

struct OscillatorState {
    WaveLocation wave;
    int32_t semitone;
    float finetone;             // 0.5 = none
};

// A melody channel's instrument settings (locals 698..743).
struct MelodyState {
    int32_t keyRangeLow, keyRangeHigh;
    int32_t velocityRangeLow, velocityRangeHigh;
    int32_t pitchBendRange;     // semitones
    float glideTime;
    uint8_t glideAuto;
    int32_t lfoWave;            // 0..9
    float lfoRate;
    uint8_t lfoBpmSync;
    uint8_t lfoKeySync;
    float lfoLevel;
    float lfoDelayTime;
    float lfoAttackTime;
    OscillatorState oscillators[2];
    uint8_t oscKeyFollow[2];    // copied at note-on from the wavetable: 1 = pitch follows the key
    float oscMix;
    float oscLfoAmount;
    int32_t filterSlope;        // 1 = 2-pole, 2 = 4-pole
    float filterCutoff, filterResonance, filterMix;
    EnvelopeTimes filterEnvelope;
    float filterEnvVelocityAmount;
    float filterEnvAmount;      // 0.5 = none
    float filterLfoAmount;
    float filterKeyTracking;
    EnvelopeTimes ampEnvelope;
    float ampEnvVelocityAmount;
    uint8_t arpOn;
    uint8_t arpKeySync;
    float arpGateTime;
    uint8_t arpLatch;
    int32_t arpPattern;         // 0..7
    int32_t arpRate;            // 0..17
    int32_t arpOctave;          // 1..6
};

// One key of a drum kit; key k answers MIDI key 24 + k.
struct DrumKeyState {
    WaveLocation wave;
    int32_t semitone;
    float finetone;             // 0.5 = none
    uint8_t reverse;
    float filterCutoff;
    float filterResonance;
    float filterVelocityAmount;
    float volume;
    float pan;
    uint8_t hold;
    float attack;
    float release;
    float ampEnvVelocityAmount;
    int32_t muteGroup;          // 0 none
    int32_t insertBus;          // 0 dry, 1 and 2 the channel's insert slots
    float chorusSend;
    float reverbSend;
};

// A drum channel's instrument settings (locals 698..1,805). Kept apart from the melody
// settings, so a channel switched between the two never reads one as the other.
struct DrumKitState {
    int32_t keyRangeLow, keyRangeHigh;
    uint8_t midiSelect;
    DrumKeyState drumKeys[engine::kDrumKeys];
};

struct SequencerStep {
    int32_t note;               // code -48..52: offsets, 49/50 continue, 51/52 silence
    float velocity;
};

struct SequencerLane {
    uint8_t on;
    int32_t base;               // 0..127 a key, 128..132 held key 1..5
    SequencerStep steps[engine::kSequencerSteps];
    // Runtime of the lane's sounding note.
    uint8_t tied;
    int32_t lastKey;            // -1 none
    float lastLevel;
    int32_t noteId;             // -1 none
};

// One channel's settings, decoded from its 1,789 parameters.
struct ChannelState {
    int32_t mode;               // 0 melody, 1 drum kit
    uint8_t on;
    uint8_t link;               // joins the channel to the one below it
    float volume;
    float pan;                  // 0.5 centre
    int32_t voiceLimit;         // 0 mono legato, 1 mono retrigger, n >= 2 up to n voices
    int32_t transpose;          // semitones
    int32_t outputBus;          // 0 main pair, otherwise the sub pair
    float chorusSend;
    float reverbSend;
    InsertEffectSlot insertEffects[engine::kInsertSlotsPerChannel];
    MelodyState melody;         // read while mode is 0
    DrumKitState drum;          // read while mode is 1
    uint8_t seqOn;
    int32_t seqNoteOrder;       // 0 as played, 1 ascending, 2 descending
    int32_t seqRate;
    uint8_t seqTriplet;
    float seqSwing;
    int32_t seqLength;          // steps 1..64
    int32_t seqPart;            // 16-step page being edited, 0..3
    int32_t seqSync;            // 0..2
    uint8_t seqLatch;
    int32_t seqRootPitch;       // a key; above 127 = off
    float seqVelocityAmount;
    SequencerLane lanes[engine::kSequencerLanes];
};

struct EngineImage {
    MasterState master;
    ChannelState channels[engine::kChannelCount];
};

struct SampleLayerPosition {
    int32_t index;              // sample positions count from 1
    float fraction;
};

// One sounding voice. A voice is born in noteOn with its key held (flags bit 0), loses bit 0 at
// the key's release, runs its release (ampEnv state 5) or, with a fade requested (bit 2), a fast
// fade that the render marks with bit 3; the block render removes it when its release has ended.
struct VoiceRecord {
    uint8_t startPending;       // the render sets the filter start at the first sub-block
    uint8_t flags;              // bit 0 key held, 1 gliding, 2 fade requested, 3 fading
    int16_t noteId;
    int16_t glideKey;           // melody: key the pitch starts from; drum: the drum key 0..64
    int16_t key;                // transposed MIDI key 0..127
    float pitch;                // 8,192 units per semitone
    float targetPitch;
    float pitchSpan;
    float level;                // velocity level 0..1 (melody)
    float targetLevel;
    float levelSpan;
    float filterStart;          // current normalised cutoff
    int32_t oversampling;       // sample steps per output sample (melody)
    // Layer 0 is oscillator 1 (the drum sample), layer 1 oscillator 2. A layer's sample belongs
    // to the shared banks; the key it sounds at its recorded rate belongs to the voice.
    const SampleRecord* layerSamples[2];
    int32_t layerRootKeys[2];
    SampleLayerPosition layerPositions[2]; // the fraction holds the step still to be applied
    float layerGains[2];        // 0 for a stopped layer; while rendering, the layer's current step
    float layerSteps[2];        // melody: sample rate / (root note frequency x output rate x oversampling)
    EnvelopeState ampEnv;       // state 1 attack, 2 decay, 3 sustain, 4 hold, 5 release
    EnvelopeState filterEnv;
    uint8_t sostenutoHeld;      // the key was down when the sostenuto pedal went down
    FilterSection filterCoefficients[2];
    float filterMemory[4];      // w1, w2 per section
    // What filterCoefficients were designed from (cutoff, resonance, rate, slope), so that a
    // sub-block that starts where the last one ended need not design them again.
    float designCutoff, designResonance, designRate;
    int32_t designSlope;        // 0: nothing designed yet
};

struct HeldKey {
    int32_t key;
    int32_t velocity;
};

struct SequencerHeldKey {
    int16_t key;
    int16_t velocity;
};

// What exists of a channel only while it plays; one per channel, not part of the images.
struct ChannelPlayState {
    // LFO (melody)
    int32_t lfoPhase;           // table index 0..255
    float lfoPhaseFraction;
    double lfoDelayProgress;
    double lfoRateRamp;
    double lfoAttackProgress;
    float lfoDisplay;
    float lfoDisplayScaled;
    float lfoHeldRandom;
    int32_t lfoLastIndex;
    uint32_t lfoRandomSeed;     // generator of the random waves
    int32_t lfoIdleSamples;     // samples the LFO has yet to move by while its channel was skipped
    // Arpeggiator (melody)
    int32_t arpCurrentStep;
    int32_t arpLastStep;
    int32_t arpSyncOffset;
    double arpPhase;
    HeldKey arpHeldKeys[engine::kArpHeldKeys];
    HeldKey arpNotes[engine::kArpNotes];
    int32_t arpHeldCount;
    int32_t arpOrder[engine::kArpOrderLength]; // indexes into arpNotes, arpLength of them
    uint8_t arpOrderValid;
    int32_t arpLength;
    int32_t arpNoteId;          // the arpeggiator's own sounding note, -1 none
    // Step sequencer
    int32_t seqHeldCount;       // 0..5
    SequencerHeldKey seqHeldKeys[engine::kSequencerHeldKeys];
    int32_t seqOrder[engine::kSequencerHeldKeys]; // indexes into seqHeldKeys in note order
    int32_t seqOrderValid;
    int32_t seqLastKey;
    int32_t seqLastVelocity;
    int32_t seqCurrentStep;
    int32_t seqLastStep;        // -1 none
    int32_t seqSyncOffset;
    double seqPhase;
    // Voices: the first voiceCount entries, in start order.
    VoiceRecord voices[engine::kVoicesPerChannel];
    int32_t voiceRingIndex;
    int32_t voiceCount;
    int32_t extraLayerCount;    // sum of (oversampling - 1) over the voices
    int32_t heldKeys[engine::kHeldKeysPerChannel]; // keys held by the player, oldest first
    int32_t heldKeyCount;
};

struct StepCell {
    int32_t note;
    float velocity;
};

// At most 5 lanes by 16 steps.
struct StepClipboard {
    int32_t rows;
    int32_t columns;
    StepCell cells[engine::kSequencerLanes][16];
};

// A channel's MIDI controller state.
struct ControllerState {
    uint8_t rhythmPart;
    int32_t bankMsb;
    int32_t bankLsb;
    int32_t pitchBend;          // 14 bits, 8,192 centre
    int32_t modulation;
    float volumeCurrent, volumeTarget;
    float panCurrent, panTarget;
    float expressionCurrent, expressionTarget;
    int32_t sostenuto;
    int32_t damper;
    int32_t nrpn;               // 0x7F7F none
    int32_t rpn;                // 0x7F7F none
    int32_t dataEntryMsb;
    uint8_t channelOnly;
};

struct HeldNote {
    int32_t channel;
    int32_t noteId;
};

// One pair per started voice, in start order; the master voice limit counts them.
struct HeldNoteList {
    int32_t count;
    HeldNote notes[engine::kHeldNoteCapacity];
};

struct EngineState {
    EngineRuntime runtime;
    EngineImage smoothed;
    EngineImage target;
    ChannelPlayState play[engine::kChannelCount];
    uint8_t bulkLoading;        // while set, single-change side effects are skipped
    StepClipboard stepClipboard;
    ControllerState controllers[engine::kChannelCount];
    int16_t noteCounter;
    HeldNoteList heldNotes;
};

// The instance clears its state with memset, so every record must stay plain data.
static_assert(std::is_trivially_copyable_v<EngineState>);

namespace engine {

// Everything zero (effect pointers null); then, in the target image, a pitch-bend range of 2
// and both oscillators following the key. Effects the slots pointed to are not deleted.
void clearEngineState(EngineState& state);

// The smoothed image and the controllers' current values jump to their targets, so that a note
// played in the very first block does not open from zero (a filter slewing open, a silent gain).
// The effect objects stay with the slots that own them.
void settleSmoothedImage(EngineState& state);

// The channels an argument of one channel or -1 (all) names; false for a channel above 15.
inline bool namedChannels(int32_t channel, int32_t& first, int32_t& last) {
    if (channel >= kChannelCount)
        return false;
    first = channel < 0 ? 0 : channel;
    last = channel < 0 ? kChannelCount - 1 : channel;
    return true;
}

// The run of channels joined by "Chan.Link" around channel: a channel's link ties it to the
// one below it.
void linkedChannelSpan(const EngineImage& image, int32_t channel, int32_t* first, int32_t* last);

} // namespace engine
