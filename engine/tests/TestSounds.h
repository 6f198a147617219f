// A small sound library in memory, built through the same tables the bank loaders fill: one
// sample bank (number 0) and one melody wavetable category (number 0), so that voices find
// their zones and samples exactly as with files.
#pragma once

#include "banks/SampleBanks.h"
#include "banks/Wavetables.h"

#include <cstdint>

namespace enginetest {

// Sample rate and cycle of the test sine: 100 values a cycle at 44,000 Hz is 440 Hz, key 69.
inline constexpr int32_t kSineRate = 44000;
inline constexpr int32_t kSineCycle = 100;
inline constexpr int16_t kSineAmplitude = 16384;

// Wave numbers of the wavetables (category 0, positions 0..).
enum TestWave : int32_t {
    waveNone = 0,
    waveSine = 1,       // looped sine, root key 69, follows the key
    waveNoiseBurst = 2, // one-shot noise, 2,000 values, root key 69
    waveFixedSine = 3,  // the looped sine, root key 69, not following the key
    waveSplit = 4,      // below key 60 the noise burst (root 48), from 60 the sine (root 69)
};

// Installs the library into the process's tables (replacing whatever was there) and frees it
// again. Install it after the instances a test makes: a first instance may reload the tables.
class TestLibrary
{
public:
    TestLibrary();
    ~TestLibrary();
    TestLibrary(const TestLibrary &) = delete;
    TestLibrary &operator=(const TestLibrary &) = delete;

    // The shared records, for tests that look at or change them.
    SampleRecord &sine();
    SampleRecord &noiseBurst();
};

// Frees whatever the tables hold.
void freeTestLibrary();

} // namespace enginetest
