#pragma once
// "Quorix.plc": the colour code of every patch of every category, factory and user, kept in the
// user folder so colour choices survive restarts. Codes are held to 0..8 wherever they are read,
// since the browser indexes its colour table with them.
//
// Layout, in the writer's byte order: the 44-byte head (kind "Patch Color", version 1), int32
// number of category records, then per record int32 category number, int32 patch count and that
// many int16 codes in patch order.

#include "banks/BankFile.h"

#include <cstdint>
#include <vector>

namespace banks {

inline constexpr const char *kPatchColourFileName = "Quorix.plc";
inline constexpr int32_t kPatchColourVersion = 1;

// Applies a colour file to the loaded categories. False when it is not a colour file of version
// 1 or is corrupted (a number outside 0..999, a negative count, the file ends early); the
// colours set before the failure stay. A record for a category number this load does not carry
// is skipped; records beyond the loaded categories are not read.
bool readPatchColours(BankReader &reader, const BankLoadSetup &setup, const podoStr &path);

// setup.folder + "Quorix.plc"; false also when it cannot be opened.
bool loadPatchColours(const BankLoadSetup &setup);

// The file image of every category's colours; each code is first brought to 0..8 in the patch.
std::vector<uint8_t> encodePatchColours(uint8_t byteOrderMark);

// Writes setup.folder + "Quorix.plc"; false when it cannot be written.
bool writePatchColours(const BankLoadSetup &setup);

} // namespace banks
