#include "engine/Temperaments.h"

#include <algorithm>

namespace engine {

const int32_t builtInTemperaments[kBuiltInTemperaments][kPitchClasses] = {
    {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
    {0, -6, -4, -22, -8, -25, -12, -2, -10, -6, -25, -10},
    {0, -6, -8, -22, -10, -25, -12, -4, -10, -12, -25, -8},
    {0, -14, -8, 12, -16, 4, -22, -4, -29, -12, -2, -18},
    {0, 12, 4, 16, -14, -2, -10, 2, 14, -26, -4, -12},
    {0, -29, -18, 16, -14, -2, -10, 2, 14, -26, -4, -12},
    {0, 50, 0, 0, -50, 0, 0, 0, -50, 0, 0, -50},
    {0, 17, 4, 1, 8, -2, 12, 2, 14, 6, -2, 10},
};

const char* const temperamentNames[kTemperamentCount] = {
    "Equal Temperament",
    "Well Temperament Vallotti-Young",
    "Well Temperament Werckmeister III",
    "Meantone Scale",
    "Pure Temperament C Major",
    "Pure Temperament C Minor",
    "Arabic Scale",
    "Pythagorean Tuning",
    "User Tuning Scale 1",
    "User Tuning Scale 2",
    "User Tuning Scale 3",
    "User Tuning Scale 4",
    "User Tuning Scale 5",
    "User Tuning Scale 6",
    "User Tuning Scale 7",
    "User Tuning Scale 8",
};

int32_t limitTuningCents(int32_t cents) {
    return std::clamp(cents, -kMaxTuningCents, kMaxTuningCents);
}

void selectTemperamentRow(TuningBlock& tuning, int32_t temperament, const ConfigurationBlock& configuration) {
    int32_t t = temperament < 0 ? tuning.temperament : temperament;
    if (t < 0 || t >= kTemperamentCount)
        t = 0;
    tuning.temperament = t;
    for (int p = 0; p < kPitchClasses; ++p) {
        const int32_t cents = t < kBuiltInTemperaments
                                  ? builtInTemperaments[t][p]
                                  : configuration.userTemperaments[t - kBuiltInTemperaments][p];
        tuning.offsets[p] = limitTuningCents(cents);
    }
}

bool setTuningOffsetIn(TuningBlock& tuning, ConfigurationBlock& configuration, int32_t pitchClass, int32_t cents) {
    if (!isPitchClass(pitchClass))
        return false;
    const int32_t limited = limitTuningCents(cents);
    tuning.offsets[pitchClass] = limited;
    const int32_t t = tuning.temperament;
    if (t >= kBuiltInTemperaments && t < kTemperamentCount)
        configuration.userTemperaments[t - kBuiltInTemperaments][pitchClass] = limited;
    return true;
}

} // namespace engine
