#pragma once
// User banks: the patch categories the user fills, one ".usr" file per bank in the user folder,
// appended to patchCategories after the factory categories (type 3). There are always at least
// four; a damaged bank file is kept under its backup name and the bank renewed empty.
//
// The files on disk follow the table: a bank loaded under another number or name than its file
// carries (numbers must ascend) has its file renamed, so the same files load the same way at the
// next start; no bank is ever written over another bank's file; every write replaces its file
// whole (BankFile's replaceBankFile).

#include "banks/PatchBanks.h"

#include <cstdint>
#include <functional>
#include <vector>

namespace banks {

inline constexpr int32_t kFirstUserBankNumber = 120;
inline constexpr int32_t kUserBankVersion = 1;

// What an empty patch is made of: channel 0 of the default program (local ids 17..1,805) and its
// system-effect values 9..16 followed by 0 (no tempo).
struct EmptyPatchTemplate {
    float values[kChannelProgramValues];
    float globals[kPatchGlobalValues];
};

struct UserBankSetup : BankLoadSetup {
    const EmptyPatchTemplate *emptyPatch = nullptr; // null: all values 0
    // Moves a file to its backup name; false when it could not be moved.
    std::function<bool(const podoStr &path)> backup;
};

// Puts every ".usr" bank of setup.folder after the factory categories (from firstUserCategory on,
// in place of the user banks loaded before). False only when memory ran out.
bool loadUserBanks(const UserBankSetup &setup);

// loadUserBanks in steps, so that a caller touches files holding no lock of its own and changes
// the table in one short step:
// - readUserBanks reads every bank file into categories of the load (first: the table index the
//   first user bank takes; false when memory ran out); needs no lock;
// - backUpDamagedUserBanks moves each damaged bank's file to its backup name (a bank whose file
//   cannot be moved is left empty and not renewed); needs no lock;
// - renewUserBanks makes each damaged bank empty in the load, under its own number unless another
//   category carries it, and encodes its file (false when memory ran out); reads the factory
//   categories: the caller holds the table at least shared;
// - installUserBanks puts the load into the table, taking back what stood there (user banks of an
//   earlier load included) to be freed with the load (false without memory for the table); the
//   caller holds the table exclusively;
// - finishUserBanks brings the file names in line with the load and writes the renewed banks;
//   it reads only the load, so it needs no lock.
struct UserBankLoad {
    UserBankLoad() = default;
    UserBankLoad(const UserBankLoad &) = delete;
    UserBankLoad &operator=(const UserBankLoad &) = delete;
    ~UserBankLoad(); // frees the categories it holds

    int32_t first = 0;
    int32_t count = 0;
    PatchCategory categories[kMaxBankFiles] = {};
    podoStr files[kMaxBankFiles]; // the file stem each bank came from
    bool outside[kMaxBankFiles] = {}; // its number lies outside the table
    bool renew[kMaxBankFiles] = {};   // damaged: renewed empty before the install
    bool unread[kMaxBankFiles] = {};
    int32_t numbers[kMaxBankFiles] = {};     // number and name each bank was given
    char names[kMaxBankFiles][kNameSize] = {};
    std::vector<uint8_t> renewed[kMaxBankFiles]; // a renewed bank's file
    int32_t combinations = 0, singles = 0;
};
bool readUserBanks(const UserBankSetup &setup, int32_t first, UserBankLoad &load);
void backUpDamagedUserBanks(const UserBankSetup &setup, UserBankLoad &load);
bool renewUserBanks(const UserBankSetup &setup, UserBankLoad &load);
bool installUserBanks(const UserBankSetup &setup, UserBankLoad &load);
bool finishUserBanks(const UserBankSetup &setup, UserBankLoad &load);

// -1: adds empty banks up to four user banks; an index: makes that user bank empty (keeping its
// number when no other bank carries it). False when memory ran out.
bool initUserBank(const UserBankSetup &setup, int32_t index);

// Writes bank index (-1: every user bank) as folder + "%03d %s.usr". A bank without patches has
// no file to write and is skipped. False when a file cannot be written.
bool saveUserBanks(const UserBankSetup &setup, int32_t index);

// saveUserBanks in two steps, so that a caller can take the images under its lock and write
// them after releasing it.
struct UserBankImage {
    podoStr path;
    std::vector<uint8_t> bytes;
};
std::vector<UserBankImage> encodeUserBanks(const UserBankSetup &setup, int32_t index);
bool writeUserBanks(const UserBankSetup &setup, const std::vector<UserBankImage> &images);

// What reading one bank file found.
enum class UserBankResult { loaded, damaged, outOfMemory };

// One bank from a source at the start of its file (the loader's step, and the fuzzers' entry).
// On damaged, the category holds no patches and the message was shown.
UserBankResult readUserBankFile(BankReader &reader, const UserBankSetup &setup, int32_t index, const podoStr &path,
                                PatchCategory &category, int32_t &combinations, int32_t &singles);

// The file image of a bank in the given byte order (76 or 66). A patch without channels or
// globals is written as the empty patch, so the file always reads back.
std::vector<uint8_t> encodeUserBank(const PatchCategory &category, uint8_t byteOrderMark,
                                    const EmptyPatchTemplate *emptyPatch);

// A colour code as the browser indexes its table with it: 0..8 (-2 reads as 7, 10 as 1).
int16_t normalisedColour(int32_t code);

} // namespace banks
