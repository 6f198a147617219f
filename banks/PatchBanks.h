#pragma once
// The patch categories: stored sounds (one channel or a run of channels, the system-effect
// settings and a tempo), grouped in categories. The factory categories come from the ".pth"
// files of the application folder, one per file; the user banks follow them in the same table.
//
// Written while a library is loaded or freed (under the process lock) and by patch store; read
// by recall (under the instance lock and the engine's shared lock) and the editor's browser.
// Every record the counts cover is either filled or empty (no table, count 0).

#include "banks/BankFile.h"

#include <cstdint>
#include <vector>

namespace banks {
inline constexpr int kMaxPatchCategories = 128;
// User banks always number at least this many, so the factory categories leave them room.
inline constexpr int kMinUserBanks = 4;
inline constexpr int kMaxFactoryCategories = kMaxPatchCategories - kMinUserBanks;
inline constexpr int kMaxPatchesPerCategory = 128;
inline constexpr int kMaxChannelsPerPatch = 16;
inline constexpr int kChannelProgramValues = 1789; // local ids 17..1,805 of one channel
inline constexpr int kPatchGlobalValues = 9;      // system effects 9..16, then the tempo
inline constexpr int kSeqOnValue = 20;            // "Seq.On", local id 37
inline constexpr int kPatchRecordHead = 32;       // name, colour, numChannels, payload
inline constexpr int kChannelRecordHead = 28;     // name, numValues
} // namespace banks

// One channel's stored values: value i is local id 17 + i; entries from numValues on are zero.
struct ChannelProgram {
    char name[banks::kNameSize];
    int32_t numValues; // 0..1789
    float values[banks::kChannelProgramValues];
};

struct PatchRecord {
    char name[banks::kNameSize]; // as stored: 24 bytes, not necessarily terminated
    int16_t colour;              // 0..8, shown by the browser
    int16_t numChannels;         // 0..16
    ChannelProgram *channels;    // owned
    int32_t numGlobalValues;     // 0..9
    float *globals;              // owned: values 0..7 master parameters 9..16, value 8 the tempo (0 none)
};

struct PatchCategory {
    int32_t number;
    char name[banks::kNameSize];
    int16_t type;          // look in the browser, by number range; 3 for user banks
    int32_t numPatches;    // 0..128
    PatchRecord *patches;  // patchCapacity records, the first numPatches in use; owned
    int32_t patchCapacity; // records the table holds: a store appends only within it or grows it
};

// The table has kMaxPatchCategories records once a load has run; factory categories first.
extern PatchCategory *patchCategories;
extern int32_t numPatchCategories;
extern int32_t firstUserCategory;
// Category number -> index; banks::kNoIndex for a number no category of this load carries.
extern int32_t patchCategoryIndex[banks::kBankNumberCount];

namespace banks {

// The browser's look of a factory category by its number.
int16_t factoryCategoryType(int32_t number);

// Loads every ".pth" file of setup.folder in place of what a previous load left (user banks
// included: they follow, from firstUserCategory on). False when a file could not be read whole
// (number, open, identification, counts, damage, memory); it stays as an empty category in its
// place, as does a file of another version or whose stored number differs from its name's.
bool loadPatches(const BankLoadSetup &setup);

// Factory categories read apart from the table recalls read (see SampleTables); no user banks.
struct PatchTables {
    PatchCategory *categories = nullptr; // kMaxPatchCategories records
    int32_t count = 0;
    int32_t firstUser = 0;
    int32_t index[kBankNumberCount];
    PatchTables();
    PatchTables(const PatchTables &) = delete;
    PatchTables &operator=(const PatchTables &) = delete;
    ~PatchTables(); // frees the categories it holds
};
// loadPatches into tables of the caller's; touches no shared table.
bool readPatchTables(const BankLoadSetup &setup, PatchTables &into);
// Exchanges the tables with the process's, without allocating or freeing. Caller holds the
// library exclusively.
void swapPatchTables(PatchTables &other);

// What reading one patch file did.
enum class PatchFileResult { loaded, skipped, abort };

// One factory category from a source at the start of a file (the loader's step, and the
// fuzzers' entry). Adds the patches read to the counts.
PatchFileResult readPatchFile(BankReader &reader, const BankLoadSetup &setup, int index, const podoStr &path,
                              PatchCategory &category, int32_t &combinations, int32_t &singles);

// Frees every category, factory and user, and the table.
void freePatches(const BankLoadSetup &setup);

// Frees a patch's channels and globals and leaves it without them.
void clearPatch(PatchRecord &patch);
// Frees one category's patches and table (a category read outside the tables).
void freePatchCategory(PatchCategory &category);

// The patch record a store writes: the existing one at patchIndex (its contents freed), or,
// for an index outside 0..numPatches - 1, a new one at numPatches (appended set), growing the
// table up to kMaxPatchesPerCategory. Null when the category is full or memory ran out.
PatchRecord *patchForStore(PatchCategory &category, int32_t patchIndex, bool *appended);

// What a store into a table that renders read needs and what it takes out, so that the table
// changes under the lock without allocating or freeing: made before the lock, freed after it.
struct PatchStoreRoom {
    PatchStoreRoom() = default;
    PatchStoreRoom(const PatchStoreRoom &) = delete;
    PatchStoreRoom &operator=(const PatchStoreRoom &) = delete;
    ~PatchStoreRoom(); // frees what it holds

    PatchRecord *table = nullptr; // a larger table for an append, then the table it replaced
    int32_t capacity = 0;         // records of the larger table
    PatchRecord replaced{};       // the contents of the patch a store wrote over
};

// The records the category's table must grow to for a store at patchIndex; 0 when it has room
// (or is full).
int32_t patchTableGrowth(const PatchCategory &category, int32_t patchIndex);
// A larger table of the given size for the room; false without memory.
bool makePatchStoreRoom(int32_t capacity, PatchStoreRoom &room);
// patchForStore taking its larger table from the room and leaving there what it takes out.
// Only when the category grew since the room was made does it allocate itself.
PatchRecord *patchForStore(PatchCategory &category, int32_t patchIndex, bool *appended, PatchStoreRoom &room);

// The patch a recall copies: patchIndex clamped to the last patch; null for a category index
// outside the table, a category with no patches, or a negative patch index.
const PatchRecord *patchForRecall(int32_t categoryIndex, int32_t patchIndex, int32_t *clampedIndex);

// The tempo a patch carries: global 8 when it is a finite positive number, else 0 (none).
float patchTempo(const PatchRecord &patch);

// A ".pth" file of version 78 in the given byte order (76 or 66), carrying the category's number.
std::vector<uint8_t> encodePatchFile(const PatchCategory &category, uint8_t byteOrderMark);
// Writes it as folder + "%03d %s.pth" with the category's number and name, so the number in
// the file name and the number stored agree.
bool writePatchFile(const podoStr &folder, const PatchCategory &category, uint8_t byteOrderMark);

} // namespace banks
