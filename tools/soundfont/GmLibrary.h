// The General MIDI factory library planned from a SoundFont: the 128 melodic programs, the
// drum kits and the sixteen-channel setup, with the wavetables and samples they play.
//
// A melodic program becomes one channel with up to two oscillators: at every key the loudest
// sound the preset plays at velocity 100 goes to the first, the next loudest to the second (any
// further sound is heard through the one of them that falls most like it), and each
// oscillator's keys are cut into at most 16 zones. The channel's envelope falls and releases as
// the sound near middle C that lasts longest. A drum kit gives every key 24..88 the
// loudest sound of its key, with its own pitch, level, pan, envelope and sends. Both halves of a
// stereo pair (or one sample panned both ways) are mixed into one mono sample.
#pragma once

#include "engine/EngineLimits.h"
#include "tools/soundfont/LibraryPlan.h"
#include "tools/soundfont/SoundFont.h"

namespace sfconv {

inline constexpr int kMelodyPatchCategory = 0;
inline constexpr int kDrumPatchCategory = 1;
inline constexpr int kSetupPatchCategory = 50;
inline constexpr int kMelodyWaveCategories = 16; // one per instrument family, numbered 0..15
inline constexpr int kFirstDrumWaveCategory = 16;
using engine::kDrumKitSlots; // a rhythm part's program selects engine::drumKitSlotOfProgram

// The SoundFont preset that plays melodic program p (0..127): bank 0, else the lowest other
// melodic bank that has it; -1 when none has.
int findMelodyPreset(const sf2::SoundFont &sf, int program);

// The bank-128 preset of a drum program, or -1.
int findDrumPreset(const sf2::SoundFont &sf, int program);

// The drum program stored in kit slot s (0..15): 0, 8, ..., 56 for the first eight, 25 in the
// ninth, 127 in the last, and Standard (0) in the others.
int drumProgramOfSlot(int slot);

LibraryPlan planGmLibrary(const sf2::SoundFont &sf);

} // namespace sfconv
