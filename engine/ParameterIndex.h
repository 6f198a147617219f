#pragma once
// The numbering of the engine's 28,641 parameters and of the editor tags above them:
// which index is which parameter, and how an index is taken apart.

#include "engine/EngineLimits.h"

#include <cstdint>

// What an index or a local id stands for.
enum ParameterKind : int32_t {
    kindNone = 0,             // editor tag without a group, or an id that is none of the below
    kindMaster = 1,           // 0..16
    kindChannelSetting = 2,   // local 17..36
    kindSequencerSetting = 3, // local 37..47
    kindLane = 4,             // local 48..697 (lane "On" and "Base" once split)
    kindStep = 5,             // a step's note or volume
    kindInstrument = 6,       // local 698..1,805 (a drum kit's whole-kit values once split)
    kindDrumKey = 7,          // one of the 17 values of a drum key
    kindEditorSpecial = 11,   // tags 28,641..28,645
    kindEditorList = 12,      // browser list rows
    kindChannelStrip = 13,    // per-channel editor groups
    kindEditorGroupA = 15,    // tags of the current channel
    kindEditorGroupB = 16,
    kindEditorGroupC = 17,
};

namespace engine {

// Master parameter indexes.
namespace master {
inline constexpr int Volume = 0;
inline constexpr int Tune = 1;
inline constexpr int Transpose = 2;
inline constexpr int VoiceLimit = 3;
inline constexpr int InsertEffectsOn = 4;
inline constexpr int PriorityMode = 5;
inline constexpr int Page = 6;
inline constexpr int ChorusOn = 7;
inline constexpr int ReverbOn = 8;
inline constexpr int ChorusFirst = 9;  // 9..12
inline constexpr int ReverbFirst = 13; // 13..16
} // namespace master

// Local ids of a channel's parameters.
namespace local {
inline constexpr int Mode = 17;
inline constexpr int On = 18;
inline constexpr int Link = 19;
inline constexpr int Volume = 20;
inline constexpr int Pan = 21;
inline constexpr int VoiceLimit = 22;
inline constexpr int Transpose = 23;
inline constexpr int OutputBus = 24;
inline constexpr int ChorusSend = 25;
inline constexpr int ReverbSend = 26;
inline constexpr int InsertOn = 27;      // 27, 28
inline constexpr int InsertType = 29;    // 29, 30
inline constexpr int InsertParams = 31;  // 31..33 slot 0, 34..36 slot 1
inline constexpr int LastChannelSetting = 36;

inline constexpr int SeqOn = 37;
inline constexpr int SeqNoteOrder = 38;
inline constexpr int SeqRate = 39;
inline constexpr int SeqTriplet = 40;
inline constexpr int SeqSwing = 41;
inline constexpr int SeqLength = 42;
inline constexpr int SeqPart = 43;
inline constexpr int SeqSync = 44;
inline constexpr int SeqLatch = 45;
inline constexpr int SeqRootPitch = 46;
inline constexpr int SeqVelocityAmount = 47;

inline constexpr int FirstLane = 48;
inline constexpr int LaneSpan = 130;     // 64 step pairs, then "On" and "Base"
inline constexpr int StepNote = 48;      // base ids after splitting
inline constexpr int StepVolume = 49;
inline constexpr int LaneOn = 176;
inline constexpr int LaneBase = 177;
inline constexpr int LastLane = 697;

inline constexpr int FirstInstrument = 698;
// Melody layout.
inline constexpr int KeyRangeLow = 698;
inline constexpr int KeyRangeHigh = 699;
inline constexpr int VelocityRangeLow = 700;
inline constexpr int VelocityRangeHigh = 701;
inline constexpr int GlideTime = 702;
inline constexpr int GlideAuto = 703;
inline constexpr int PitchBendRange = 704;
inline constexpr int LfoWave = 705;
inline constexpr int LfoRate = 706;
inline constexpr int LfoKeySync = 707;
inline constexpr int LfoBpmSync = 708;
inline constexpr int LfoLevel = 709;
inline constexpr int LfoDelayTime = 710;
inline constexpr int LfoAttackTime = 711;
inline constexpr int OscWave = 712;        // 712, 713
inline constexpr int OscSemitone = 714;    // 714, 715
inline constexpr int OscFinetone = 716;    // 716, 717
inline constexpr int OscMix = 718;
inline constexpr int OscLfoAmount = 719;
inline constexpr int FilterSlope = 720;
inline constexpr int FilterCutoff = 721;
inline constexpr int FilterResonance = 722;
inline constexpr int FilterMix = 723;
inline constexpr int FilterEnvelope = 724; // 724..727 A, D, S, R
inline constexpr int FilterEnvAmount = 728;
inline constexpr int FilterEnvVelocityAmount = 729;
inline constexpr int FilterLfoAmount = 730;
inline constexpr int FilterKeyTracking = 731;
inline constexpr int AmpEnvelope = 732;    // 732..735 A, D, S, R
inline constexpr int AmpEnvVelocityAmount = 736;
inline constexpr int ArpOn = 737;
inline constexpr int ArpKeySync = 738;
inline constexpr int ArpGateTime = 739;
inline constexpr int ArpLatch = 740;
inline constexpr int ArpPattern = 741;
inline constexpr int ArpRate = 742;
inline constexpr int ArpOctave = 743;
inline constexpr int LastMelody = 743;

// Drum layout: key k's values are base + 17k, bases 698..714.
inline constexpr int DrumWave = 698;
inline constexpr int DrumReverse = 699;
inline constexpr int DrumSemitone = 700;
inline constexpr int DrumFinetone = 701;
inline constexpr int DrumFilterCutoff = 702;
inline constexpr int DrumFilterResonance = 703;
inline constexpr int DrumFilterVelocityAmount = 704;
inline constexpr int DrumVolume = 705;
inline constexpr int DrumPan = 706;
inline constexpr int DrumAttack = 707;
inline constexpr int DrumRelease = 708;
inline constexpr int DrumHold = 709;
inline constexpr int DrumAmpEnvVelocityAmount = 710;
inline constexpr int DrumMuteGroup = 711;
inline constexpr int DrumInsertBus = 712;
inline constexpr int DrumChorusSend = 713;
inline constexpr int DrumReverbSend = 714;
inline constexpr int LastDrumKeyValue = 1802;
inline constexpr int KitKeyRangeLow = 1803;
inline constexpr int KitKeyRangeHigh = 1804;
inline constexpr int KitMidiSelect = 1805;
} // namespace local

// Editor tags from 28,641 up that the engine posts.
namespace tag {
inline constexpr int BeatIndicator = 28641;
inline constexpr int ChannelStrip = 28902;   // + channel
inline constexpr int ChannelActivity = 28918; // + channel
inline constexpr int SkinName = 28967;
inline constexpr int Zoom = 28968;
inline constexpr int DrumKey = 29017;        // + drum key
inline constexpr int Key = 29063;            // + MIDI key 21..108
inline constexpr int KeyboardClear = 29084;
inline constexpr int PitchWheel = 29082;
inline constexpr int ModulationWheel = 29083;
inline constexpr int RecalledPatch = 29178;
inline constexpr int ProgramName = 29179;
inline constexpr int Tuning = 29185;
inline constexpr int Tempo = 29187;
inline constexpr int HostTempoSync = 29188;
inline constexpr int VoiceCount = 29189;
inline constexpr int BulkLoading = 29191;
inline constexpr int SequencerPosition = 29192; // + channel: the step played, step / 63
inline constexpr int MidiLearn = 29208;
} // namespace tag

constexpr int parameterIndex(int channel, int localId) {
    return channel * kChannelParameterCount + localId;
}

constexpr bool isStoredParameter(int index) {
    return index >= 0 && index <= kLastParameterIndex;
}

struct Classified {
    ParameterKind kind;
    int32_t first;  // channel, list row, or 0
    int32_t second; // local id, group base or the index itself
};

// Sorts an index or editor tag; kinds 15..17 take the channel being edited as first.
Classified classifyParameter(int32_t index, int32_t currentChannel);

struct SequencerId {
    ParameterKind kind; // kindStep, kindLane or kindNone
    int32_t lane;
    int32_t step;
    int32_t base;       // 48/49 for a step, 176/177 for a lane, else the local id
};
SequencerId decodeSequencerParameter(int32_t localId);

struct DrumId {
    ParameterKind kind; // kindDrumKey, kindInstrument (whole kit) or kindNone
    int32_t key;
    int32_t base;
};
DrumId decodeDrumParameter(int32_t localId);

// The parameter's own name without channel, lane, step or key prefixes; empty when the
// index has none (master 6, a melody channel's unused locals, editor tags). mode is the
// channel's running mode (0 melody, 1 drum kit).
const char* parameterBaseName(int32_t index, int32_t mode);

} // namespace engine
