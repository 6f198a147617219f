#include "engine/tests/TestSounds.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>

namespace enginetest {

namespace {

// A record as the loader makes it: size + 3 values, the guards around the data.
SampleRecord makeSample(int32_t rate, int32_t loopStart, int32_t size, int16_t (*value)(int32_t))
{
    SampleRecord r{};
    r.rate = rate;
    r.loopStart = loopStart;
    r.size = size;
    r.data = new int16_t[static_cast<size_t>(size) + 3];
    for (int32_t i = 1; i <= size; ++i)
        r.data[i] = value(i - 1);
    r.data[0] = r.data[1];
    r.data[size + 1] = r.data[loopStart];
    r.data[size + 2] = r.data[loopStart + 1];
    return r;
}

int16_t sineValue(int32_t i)
{
    return static_cast<int16_t>(std::lround(kSineAmplitude * std::sin(2.0 * std::numbers::pi * i / kSineCycle)));
}

constexpr int32_t kNoiseSize = 2000;

// Noise that fades out over its last 100 values.
int16_t noiseValue(int32_t i)
{
    uint32_t x = static_cast<uint32_t>(i) * 2654435761u + 12345u;
    x ^= x >> 13;
    const int32_t value = static_cast<int32_t>(x % 32768u) - 16384;
    return static_cast<int16_t>(value * std::min(kNoiseSize - 1 - i, 100) / 100);
}

WavetableRecord makeWavetable(const char *name, bool keyFollow, std::initializer_list<KeyZone> zones)
{
    WavetableRecord w{};
    std::strncpy(w.name, name, sizeof w.name - 1);
    w.keyFollow = keyFollow ? 1 : 0;
    w.numWaves = static_cast<int16_t>(zones.size());
    w.zones = new KeyZone[zones.size()];
    std::copy(zones.begin(), zones.end(), w.zones);
    return w;
}

} // namespace

void freeTestLibrary()
{
    banks::freeSamples(true, banks::BankLoadSetup{});
    banks::freeWavetables(banks::BankLoadSetup{});
}

TestLibrary::TestLibrary()
{
    freeTestLibrary();
    numSampleBanks = 1;
    sampleBanks = new SampleBank[1]{};
    SampleBank &bank = sampleBanks[0];
    bank.number = 0;
    std::strcpy(bank.name, "Test");
    bank.numSamples = 2;
    bank.samples = new SampleRecord[2];
    bank.samples[0] = makeSample(kSineRate, 1, 20 * kSineCycle, sineValue);
    bank.samples[1] = makeSample(kSineRate, 0, kNoiseSize, noiseValue);
    std::fill(std::begin(sampleBankIndex), std::end(sampleBankIndex), banks::kNoIndex);
    sampleBankIndex[0] = 0;

    numWavetableCategories = 1;
    wavetableCategories = new WavetableCategory[1]{};
    WavetableCategory &category = wavetableCategories[0];
    category.number = 0;
    std::strcpy(category.name, "Test");
    category.kind = 0;
    category.count = 4;
    category.wavetables = new WavetableRecord[4];
    category.wavetables[0] = makeWavetable("Sine", true, {{0, 0, 69, 127}});
    category.wavetables[1] = makeWavetable("Noise", true, {{0, 1, 69, 127}});
    category.wavetables[2] = makeWavetable("Fixed", false, {{0, 0, 69, 127}});
    category.wavetables[3] = makeWavetable("Split", true, {{0, 1, 48, 59}, {0, 0, 69, 127}});
    std::fill(std::begin(wavetableCategoryIndex), std::end(wavetableCategoryIndex), 0);
}

TestLibrary::~TestLibrary() { freeTestLibrary(); }

SampleRecord &TestLibrary::sine() { return sampleBanks[0].samples[0]; }

SampleRecord &TestLibrary::noiseBurst() { return sampleBanks[0].samples[1]; }

} // namespace enginetest
