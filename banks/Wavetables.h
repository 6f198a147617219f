#pragma once
// The wavetable categories: one ".wvt" file each, up to 128 wavetables of up to 16 key zones,
// loaded once per process after the samples. A wave number (0 none, else number - 1 = category
// number x 128 + position) becomes a WaveLocation; a note start finds the zone of its key.
//
// Written only while a library is loaded or freed (under the process lock); read by note starts
// under the engine's shared lock and by the editor's wave menus. Every record the counts cover
// is either filled or empty (no table, count 0).

#include "banks/BankFile.h"
#include "banks/KeyZone.h"

#include <cstdint>
#include <vector>

struct WavetableRecord {
    char name[banks::kNameSize]; // as stored: 24 bytes, not necessarily terminated
    uint8_t keyFollow;           // 1: the oscillator is pitched from the played key
    int16_t numWaves;            // 0..16
    KeyZone *zones;              // numWaves zones, owned
};

struct WavetableCategory {
    int32_t number;
    char name[banks::kNameSize];
    int32_t kind;  // 0 melody, any other value drum
    int32_t count; // 0..128
    WavetableRecord *wavetables;
};

namespace banks {
inline constexpr int kMaxWavetablesPerCategory = 128;
inline constexpr int kMaxZonesPerWavetable = 16;
inline constexpr int kWavetableRecordHead = 27; // name, key-follow byte, numWaves
inline constexpr int kZoneSize = 8;
inline constexpr int kMaxWaveNumber = 16384;  // category 127, position 127
inline constexpr int kWaveCategories = 128;   // category numbers a wave number can reach
} // namespace banks

extern int32_t numWavetableCategories;
extern WavetableCategory *wavetableCategories;
// Category number -> index; 0 for a number no file of this load carries, so such a wave number
// resolves through the first category in sorted order.
extern int32_t wavetableCategoryIndex[banks::kBankNumberCount];

namespace banks {

// Loads every ".wvt" file of setup.folder in place of what a previous load left. False when a
// file could not be read whole; it stays as an empty category in its place.
bool loadWavetables(const BankLoadSetup &setup);

// Wavetable categories read apart from the tables note starts read (see SampleTables).
struct WavetableTables {
    int32_t count = 0;
    WavetableCategory *categories = nullptr;
    int32_t index[kBankNumberCount] = {};
    WavetableTables() = default;
    WavetableTables(const WavetableTables &) = delete;
    WavetableTables &operator=(const WavetableTables &) = delete;
    ~WavetableTables(); // frees the categories it holds
};
// loadWavetables into tables of the caller's; touches no shared table.
bool readWavetableTables(const BankLoadSetup &setup, WavetableTables &into);
// Exchanges the tables with the process's, without allocating or freeing. Caller holds the
// library exclusively.
void swapWavetableTables(WavetableTables &other);

// One category from a source at the start of a file (the loader's step, and the fuzzers' entry).
// False when the load must stop; the category then holds what was read completely.
bool readWavetableCategory(BankReader &reader, const BankLoadSetup &setup, int index, const podoStr &path,
                           WavetableCategory &category);

void freeWavetables(const BankLoadSetup &setup);
// Frees one category's wavetables and zones (a category read outside the tables).
void freeWavetableCategory(WavetableCategory &category);

// The location of a wave number, or zeros when no loaded wavetable answers it.
void waveLocation(int32_t waveNumber, WaveLocation *location);

// The wavetable at a location, or null: the location is checked against the present tables, so
// one kept across a reload never reads outside them.
const WavetableRecord *findWavetable(const WaveLocation &location);

// The first zone of the location's wavetable, in stored order, whose upperKey is at or above
// the key; null when there is none. A linear scan of at most 16 zones, no allocation.
const KeyZone *findZone(const WaveLocation &location, int32_t key);

// One wavetable as a writer stores it.
struct WavetableSource {
    const char *name;
    bool keyFollow;
    const KeyZone *zones;
    int16_t numWaves;
};

// A ".wvt" file in the given byte order (76 or 66): kind 0 for melody, 1 for drum.
std::vector<uint8_t> encodeWavetableCategory(bool drum, const WavetableSource *wavetables, int32_t count,
                                             uint8_t byteOrderMark);
bool writeWavetableCategory(const podoStr &folder, int32_t number, const char *name, bool drum,
                            const WavetableSource *wavetables, int32_t count, uint8_t byteOrderMark);

} // namespace banks
