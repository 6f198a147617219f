#pragma once
// The editor's own tags, from 28,641 up: controls that edit no engine parameter, and the
// notifications the engine posts. Engine parameters keep their index as their tag.

#include <cstdint>

namespace editorTag {

inline constexpr int32_t firstEditorTag = 28641;
inline constexpr int32_t panic = 28641;             // also the beat the engine posts
inline constexpr int32_t previousPatch = 28642;
inline constexpr int32_t nextPatch = 28643;
inline constexpr int32_t background = 28645;
inline constexpr int32_t categoryRow = 28646;       // + row 0..127
inline constexpr int32_t entryRow = 28774;          // + row 0..127
inline constexpr int32_t channelName = 28902;       // + channel
inline constexpr int32_t channelActivity = 28918;   // + channel
inline constexpr int32_t loadPattern = 28934;
inline constexpr int32_t savePattern = 28935;
inline constexpr int32_t sequencerPart = 28936;     // + part 0..3
inline constexpr int32_t loadLane = 28940;          // + lane 0..4
inline constexpr int32_t saveLane = 28945;          // + lane 0..4
inline constexpr int32_t waveDown = 28950;          // + oscillator 0..1
inline constexpr int32_t waveUp = 28952;
inline constexpr int32_t pitchDown = 28954;
inline constexpr int32_t pitchUp = 28956;
inline constexpr int32_t drumWaveDown = 28958;
inline constexpr int32_t drumWaveUp = 28959;
inline constexpr int32_t drumPitchDown = 28960;
inline constexpr int32_t drumPitchUp = 28961;
inline constexpr int32_t muteGroup = 28962;         // + 0..1
inline constexpr int32_t toInsertEffect = 28964;    // + 0..1
inline constexpr int32_t skinName = 28967;
inline constexpr int32_t zoom = 28968;
inline constexpr int32_t channelMeter = 28969;      // + channel
inline constexpr int32_t lfoLevel = 28985;          // + 2 × channel, + 1 for the scaled one
inline constexpr int32_t drumSlot = 29017;          // + slot 0..64
inline constexpr int32_t pitchWheel = 29082;
inline constexpr int32_t modulationWheel = 29083;
inline constexpr int32_t key = 29063;               // + MIDI note 21..108
inline constexpr int32_t firstKey = 29084;
inline constexpr int32_t lastKey = 29171;
inline constexpr int32_t outputMeter = 29172;       // + 0..3
inline constexpr int32_t clipIndicator = 29176;     // + 0..1
inline constexpr int32_t recalledPatch = 29178;
inline constexpr int32_t programName = 29179;
inline constexpr int32_t patchLabel = 29180;
inline constexpr int32_t pageButton = 29181;        // + view 0..4
inline constexpr int32_t temperament = 29185;       // posted by the engine (the setup button shares it)
inline constexpr int32_t saveMenu = 29186;
inline constexpr int32_t tempo = 29187;
inline constexpr int32_t hostTempoSync = 29188;
inline constexpr int32_t voiceCount = 29189;
inline constexpr int32_t gmReset = 29190;
inline constexpr int32_t lcdValue = 29191;          // also the bulk-loading notice
inline constexpr int32_t sequencerPosition = 29192; // + channel
inline constexpr int32_t midiLearn = 29208;
inline constexpr int32_t resetConfiguration = 29209;
inline constexpr int32_t velocityCurve = 29210;     // + curve 0..6
inline constexpr int32_t lastSetupOption = 29239;
inline constexpr int32_t resetMidiAssignments = 29240;
inline constexpr int32_t clearMidiAssignments = 29241;
inline constexpr int32_t reportMidiAssignments = 29242;
inline constexpr int32_t oversampling = 29243;
inline constexpr int32_t skinMenu = 29244;
inline constexpr int32_t zoomMenu = 29245;
inline constexpr int32_t tuningMenu = 29246;
inline constexpr int32_t tuningCents = 29247;       // + pitch class 0..11
inline constexpr int32_t version = 29264;
inline constexpr int32_t manual = 29266;
inline constexpr int32_t userFolder = 29267;

} // namespace editorTag
