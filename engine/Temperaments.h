#pragma once
// The sixteen temperaments a program's tuning can take: eight built in, eight user rows kept
// in the global configuration. Offsets are cents per pitch class C, C#, D ... B.

#include "engine/ConfigurationBlock.h"
#include "engine/EngineLimits.h"
#include "engine/ProgramBlock.h"

#include <cstdint>

namespace engine {

extern const int32_t builtInTemperaments[kBuiltInTemperaments][kPitchClasses];
extern const char* const temperamentNames[kTemperamentCount];

// Offsets are held to what the render's cent-ratio table covers.
int32_t limitTuningCents(int32_t cents);

inline bool isPitchClass(int32_t pitchClass) {
    return pitchClass >= 0 && pitchClass < kPitchClasses;
}

// Stores temperament t (negative: the tuning's own; outside 0..15: 0) in the tuning and copies
// its row over the offsets; rows 8..15 come from the configuration's user rows.
void selectTemperamentRow(TuningBlock& tuning, int32_t temperament, const ConfigurationBlock& configuration);

// Sets one offset of the tuning, limited to -99..+99; when the tuning's temperament is a user
// one, the configuration's row takes the same value. A pitch class outside 0..11 is refused.
bool setTuningOffsetIn(TuningBlock& tuning, ConfigurationBlock& configuration, int32_t pitchClass, int32_t cents);

} // namespace engine
