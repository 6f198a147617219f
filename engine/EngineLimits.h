#pragma once
// Capacities and fixed sizes of the engine, in one place.

#include <cstdint>

namespace engine {

inline constexpr int kChannelCount = 16;
inline constexpr int kMasterParameterCount = 17;    // indexes 0..16
inline constexpr int kChannelParameterCount = 1789; // local ids 17..1,805 of one channel
inline constexpr int kFirstLocalId = 17;
inline constexpr int kLastLocalId = 1805;
inline constexpr int kParameterCount = kMasterParameterCount + kChannelCount * kChannelParameterCount; // 28,641
inline constexpr int kLastParameterIndex = kParameterCount - 1;
static_assert(kParameterCount == 28641);

inline constexpr int kInsertSlotsPerChannel = 2;
inline constexpr int kSequencerLanes = 5;
inline constexpr int kSequencerSteps = 64;
inline constexpr int kDrumKeys = 65;             // drum key k answers MIDI key 24 + k
inline constexpr int kDrumKeyValues = 17;        // parameters of one drum key
inline constexpr int kDrumKitSlots = 16;         // patches of the drum kit category
inline constexpr int kSecondElectronicKitProgram = 25;
inline constexpr int kSecondElectronicKitSlot = 8; // the first slot no group of eight programs takes

// The kit slot a rhythm part's program selects: its group of eight (0, 8, ..., 56 for the first
// eight slots, 120..127 the last), except program 25, a kit of its own beside 24 on GS devices.
inline constexpr int drumKitSlotOfProgram(int program)
{
    return program == kSecondElectronicKitProgram ? kSecondElectronicKitSlot : program / 8;
}
inline constexpr int kVoicesPerChannel = 128;    // a 129th voice drops the oldest
inline constexpr int kHeldKeysPerChannel = 128;  // a 129th held key drops the oldest
inline constexpr int kSequencerHeldKeys = 5;     // a sixth drops the oldest
inline constexpr int kArpHeldKeys = 128;
inline constexpr int kArpOctavesMax = 6;
inline constexpr int kArpNotes = kArpHeldKeys * kArpOctavesMax;  // 768
inline constexpr int kArpOrderLength = 2 * kArpNotes;          // up and down with both ends twice
inline constexpr int kHeldNoteCapacity = 2048;   // 16 x 128: one pair per started voice
inline constexpr int kMasterVoiceLimitMax = 1024;
inline constexpr int kMaxSubBlock = 16;          // samples per render step

inline constexpr int kTemperamentCount = 16;     // 0..7 built in, 8..15 user rows
inline constexpr int kBuiltInTemperaments = 8;
inline constexpr int kPitchClasses = 12;
inline constexpr int kMaxTuningCents = 99;       // the render's cent-ratio table covers 0..99

inline constexpr uint8_t kByteOrderMark = 76;    // stamped into every block this machine writes
inline constexpr uint8_t kOtherByteOrderMark = 66; // a block written in the other byte order

} // namespace engine
