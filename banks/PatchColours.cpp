#include "banks/PatchColours.h"

#include "banks/PatchBanks.h"
#include "banks/UserBanks.h"
#include "foundation/podoFile.h"

#include <algorithm>

namespace banks {

namespace {

bool corrupted(const BankLoadSetup &setup, const podoStr &detail)
{
    setup.log(4, true, formatText("%s:%s: Patch Color file corrupted. ", kMakerWord, kProductWord) + detail);
    return false;
}

} // namespace

bool readPatchColours(BankReader &reader, const BankLoadSetup &setup, const podoStr &path)
{
    BankHeader header;
    switch (readBankHeader(reader, BankKind::patchColour, setup.byteOrderMark, header)) {
    case HeaderStatus::wrongId:
        setup.showError("Patch Color file ID is not correct.", path);
        return false;
    case HeaderStatus::damaged:
        return corrupted(setup, "(the head is cut short)");
    case HeaderStatus::ok:
        break;
    }
    if (header.swap)
        setup.log(1, false, formatText("%s:%s: Patch Color endian doesn't matched.", kMakerWord, kProductWord));
    if (header.version != kPatchColourVersion) {
        setup.showError("Patch Color file version is not supported.", path);
        return false;
    }
    int32_t records = 0;
    if (!reader.i32(records))
        return corrupted(setup, "(the head is cut short)");
    if (records < 0)
        return corrupted(setup, formatText("(numCtgs = %d)", records));
    const int32_t n = patchCategories ? std::min(records, numPatchCategories) : 0;
    for (int32_t i = 0; i < n; ++i) {
        int32_t number = 0, count = 0;
        if (!reader.i32(number))
            return corrupted(setup, formatText("(%d: the file ends)", i));
        if (number < 0 || number >= kBankNumberCount)
            return corrupted(setup, formatText("(%d:absn = %d)", i, number));
        const int32_t index = patchCategoryIndex[number];
        if (!reader.i32(count) || count < 0)
            return corrupted(setup, formatText("([%03d] numPatches = %d)", number, count));
        // An index left from an earlier load may point at a category of another number now.
        if (index < 0 || index >= numPatchCategories || patchCategories[index].number != number) {
            setup.log(3, true,
                      formatText("%s:%s: Patch Color file data out of range. ([%03d]seqn = %d/%d)", kMakerWord,
                                 kProductWord, number, index, numPatchCategories));
            if (!reader.skip(static_cast<uint64_t>(count) * 2))
                return corrupted(setup, formatText("([%03d] numPatches = %d)", number, count));
            continue;
        }
        PatchCategory &category = patchCategories[index];
        const int32_t applied = category.patches ? std::min(count, category.numPatches) : 0;
        for (int32_t j = 0; j < applied; ++j) {
            int16_t code = 0;
            if (!reader.i16(code))
                return corrupted(setup, formatText("([%03d] numPatches = %d)", number, count));
            category.patches[j].colour = normalisedColour(code);
        }
        if (!reader.skip(static_cast<uint64_t>(count - applied) * 2))
            return corrupted(setup, formatText("([%03d] numPatches = %d)", number, count));
    }
    return true;
}

bool loadPatchColours(const BankLoadSetup &setup)
{
    if (setup.folder.isEmpty())
        return false;
    const podoStr path = setup.folder + kPatchColourFileName;
    podoFile file;
    if (file.open(path, podoFileFlags::read) != 0)
        return false;
    FileBankSource source(file);
    BankReader reader(source);
    const bool read = readPatchColours(reader, setup, path);
    file.close();
    return read;
}

std::vector<uint8_t> encodePatchColours(uint8_t byteOrderMark)
{
    BankWriter out(byteOrderMark);
    out.header(BankKind::patchColour, kPatchColourVersion);
    const int32_t count = patchCategories ? numPatchCategories : 0;
    out.i32(count);
    for (int32_t i = 0; i < count; ++i) {
        PatchCategory &category = patchCategories[i];
        const int32_t patches = category.patches ? std::max(category.numPatches, 0) : 0;
        out.i32(category.number);
        out.i32(patches);
        for (int32_t j = 0; j < patches; ++j) {
            category.patches[j].colour = normalisedColour(category.patches[j].colour);
            out.i16(category.patches[j].colour);
        }
    }
    return out.data();
}

bool writePatchColours(const BankLoadSetup &setup)
{
    if (setup.folder.isEmpty())
        return false;
    const podoStr path = setup.folder + kPatchColourFileName;
    const uint32_t error = replaceBankFile(path, encodePatchColours(setup.byteOrderMark));
    if (error != 0) {
        setup.log(4, true, formatText("file not created : %s [%08X]", path.getNarrow(), error));
        return false;
    }
    return true;
}

} // namespace banks
