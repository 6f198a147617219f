#pragma once
// The engine's effect slots, the insert-effect factory and the names the editor shows.

#include <cstdint>

#include "effects/CIFX.h"
#include "effects/CSFX.h"

inline constexpr int kInsertEffectTypeCount = 34;  // type numbers 0..33

// One of the two insert slots of a channel. Owns `effect`: whoever replaces or drops the slot's
// effect deletes the old one (setInsertEffectType does so itself).
struct InsertEffectSlot {
  uint8_t on = 0;                          // "IFX.1.On/off" / "IFX.2.On/off"
  int32_t type = 0;                        // type actually built, 0..33, never a separator row
  float params[CIFX::kParameterCount] = {};  // normalised values passed to setParameters
  CIFX* effect = nullptr;                  // null before the first type or after a failed build
};

// The chorus or the reverb slot of the master state. Owns `effect`.
struct SystemEffectSlot {
  uint8_t on = 0;                          // "SFX.Chorus.On/off" / "SFX.Reverb.On/off"
  float params[CSFX::kParameterCount] = {};
  CSFX* effect = nullptr;
};

// Replaces the slot's effect by a new one of the given type and stores the type built: 0 for a
// number outside 1..33 (the bypass effect), the following type for a separator row. Clears the
// new effect when the slot is on. False, with no effect in the slot, when none could be built.
bool setInsertEffectType(InsertEffectSlot& slot, int type);

// Menu names by type number; "-" marks a separator row, which builds the type after it.
inline constexpr const char* insertEffectTypeNames[kInsertEffectTypeCount] = {
    "OFF",           "-",          "S'FILTER 12",     "S'FILTER 24",    "3-BAND EQ",
    "-",             "PEAK COMPRESSOR", "RMS COMPRESSOR", "-",         "OVERDRIVE",
    "DISTORTION",    "AMP DISTORTION",  "-",          "CRUSHER",        "LP NOISE",
    "-",             "STEREO IMAGE",    "AUTO WAH",   "-",              "CHORUS",
    "FLANGER",       "PHASER",          "-",          "TREMOLO",        "AUTO PAN",
    "-",             "DELAY",           "STEREO DELAY", "PING-PONG DELAY", "-",
    "GATE REVERB",   "ROOM REVERB",     "HALL REVERB", "SPRING REVERB",
};

// The three parameter captions of each type; empty for OFF and the separator rows.
inline constexpr const char* insertEffectParameterNames[kInsertEffectTypeCount][3] = {
    {"", "", ""},                  // OFF
    {"", "", ""},                  // -
    {"CUT", "RES", "MIX"},         // S'FILTER 12
    {"CUT", "RES", "MIX"},         // S'FILTER 24
    {"LOW", "MID", "HIGH"},        // 3-BAND EQ
    {"", "", ""},                  // -
    {"THRSH", "RATIO", "REL"},     // PEAK COMPRESSOR
    {"THRSH", "RATIO", "REL"},     // RMS COMPRESSOR
    {"", "", ""},                  // -
    {"DRIVE", "TONE", "LEVEL"},    // OVERDRIVE
    {"DRIVE", "TONE", "LEVEL"},    // DISTORTION
    {"DRIVE", "TONE", "LEVEL"},    // AMP DISTORTION
    {"", "", ""},                  // -
    {"RATE", "BITS", "TONE"},      // CRUSHER
    {"CRCKL", "DIRTY", "YEAR"},    // LP NOISE
    {"", "", ""},                  // -
    {"TIME", "BAL", "WIDE"},       // STEREO IMAGE
    {"RATE", "WIDTH", "CENTR"},    // AUTO WAH
    {"", "", ""},                  // -
    {"RATE", "WIDTH", "DEPTH"},    // CHORUS
    {"RATE", "WIDTH", "FBK"},      // FLANGER
    {"RATE", "WIDTH", "FBK"},      // PHASER
    {"", "", ""},                  // -
    {"WAVE", "RATE", "DEPTH"},     // TREMOLO
    {"WAVE", "RATE", "DEPTH"},     // AUTO PAN
    {"", "", ""},                  // -
    {"TIME", "FBK", "LEVEL"},      // DELAY
    {"TIME", "FBK", "LEVEL"},      // STEREO DELAY
    {"TIME", "FBK", "LEVEL"},      // PING-PONG DELAY
    {"", "", ""},                  // -
    {"TIME", "TONE", "LEVEL"},     // GATE REVERB
    {"TIME", "TONE", "LEVEL"},     // ROOM REVERB
    {"TIME", "TONE", "LEVEL"},     // HALL REVERB
    {"TIME", "TONE", "LEVEL"},     // SPRING REVERB
};
