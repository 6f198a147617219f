#pragma once
// The two small records through which voices reach the sound library: a wave's location in the
// wavetable categories and one key zone of a wavetable.

#include <cstdint>

// Where a wave lives: category number and 1-based position; index 0 means no wave.
struct WaveLocation {
    int16_t category;
    int16_t index;
};

// A range of keys mapped to one sample; the zone starts after the previous zone's upperKey.
struct KeyZone {
    int16_t sampleBank; // bank number, resolved through sampleBankIndex
    int16_t sample;     // 0-based index in that bank
    int16_t rootKey;    // key at which the sample sounds at its recorded rate, 0..127
    int16_t upperKey;   // highest key of the zone
};
