#include "banks/PatchBanks.h"

#include "foundation/podoFile.h"

#include <algorithm>
#include <cinttypes>
#include <cmath>
#include <cstring>
#include <new>
#include <utility>

PatchCategory *patchCategories = nullptr;
int32_t numPatchCategories = 0;
int32_t firstUserCategory = 0;
int32_t patchCategoryIndex[banks::kBankNumberCount] = {};

namespace banks {

namespace {

podoStr storedName(const char (&field)[kNameSize])
{
    char name[kNameSize + 1] = {};
    std::memcpy(name, field, kNameSize);
    return podoStr(name);
}

void reportDamage(const BankLoadSetup &setup, int index, const char *name, const podoStr &path,
                  const podoStr &what)
{
    setup.log(4, true, formatText("%03d %s : patch file is damaged: ", index, name) + what);
    setup.showError("Patches file is damaged.", path);
}

// Reads count floats of which the record keeps the first `keep`; the rest are read past.
bool readValues(BankReader &reader, float *values, int32_t count, int32_t keep)
{
    return reader.f32s(values, static_cast<size_t>(keep)) &&
           reader.skip(static_cast<uint64_t>(count - keep) * 4);
}

// One patch record; false when the load must stop (the patch is then left without channels
// and globals).
bool readPatch(BankReader &reader, const BankLoadSetup &setup, int index, const char *categoryName,
               const podoStr &path, int32_t j, PatchRecord &patch)
{
    int16_t colour = 0, numChannels = 0;
    int32_t payload = 0;
    if (!reader.bytes(patch.name, kNameSize) || !reader.i16(colour) || !reader.i16(numChannels) ||
        !reader.i32(payload)) {
        reportDamage(setup, index, categoryName, path, formatText("(%03d) the file ends in the record", j));
        return false;
    }
    const podoStr patchName = storedName(patch.name);
    const podoStr where = formatText("%03d %s - %03d %s", index, categoryName, j, patchName.getNarrow());
    if (numChannels > kMaxChannelsPerPatch) {
        setup.log(4, true, where);
        setup.showError("Too many channels in a patch.", path);
        return false;
    }
    if (numChannels < 0 ||
        static_cast<uint64_t>(numChannels) * kChannelRecordHead + 4 > reader.remaining()) {
        reportDamage(setup, index, categoryName, path,
                     formatText("(%03d) numChannels = %d in %" PRIu64 " bytes", j, numChannels, reader.remaining()));
        return false;
    }
    if (numChannels > 0) {
        patch.channels = new (std::nothrow) ChannelProgram[numChannels]();
        if (!patch.channels) {
            setup.log(4, true, where);
            setup.showError("Memory allocation for channels is failed.", path);
            return false;
        }
    }
    patch.numChannels = numChannels;
    for (int16_t c = 0; c < numChannels; ++c) {
        ChannelProgram &channel = patch.channels[c];
        int32_t numValues = 0;
        if (!reader.bytes(channel.name, kNameSize) || !reader.i32(numValues) || numValues < 0 ||
            static_cast<uint64_t>(numValues) * 4 > reader.remaining()) {
            reportDamage(setup, index, categoryName, path,
                         formatText("(%03d) channel %d: numValues = %d", j, c, numValues));
            clearPatch(patch);
            return false;
        }
        // A record holds 1,789 values: more are read past and dropped.
        channel.numValues = std::min(numValues, kChannelProgramValues);
        readValues(reader, channel.values, numValues, channel.numValues);
    }
    int32_t numGlobals = 0;
    if (!reader.i32(numGlobals) || numGlobals < 0 || static_cast<uint64_t>(numGlobals) * 4 > reader.remaining()) {
        reportDamage(setup, index, categoryName, path, formatText("(%03d) numGlobalValues = %d", j, numGlobals));
        clearPatch(patch);
        return false;
    }
    const int32_t kept = std::min(numGlobals, kPatchGlobalValues);
    if (kept > 0) {
        patch.globals = new (std::nothrow) float[kept]();
        if (!patch.globals) {
            setup.log(4, true, where);
            setup.showError("Memory allocation for a patch is failed.", path);
            clearPatch(patch);
            return false;
        }
    }
    patch.numGlobalValues = kept;
    readValues(reader, patch.globals, numGlobals, kept);
    if (numChannels == 1)
        copyNameField(patch.name, patch.channels[0].name);
    bool sequenced = false;
    for (int16_t c = 0; c < numChannels; ++c)
        if (patch.channels[c].numValues > kSeqOnValue && patch.channels[c].values[kSeqOnValue] > 0.5f)
            sequenced = true;
    patch.colour = static_cast<int16_t>((numChannels < 2 ? 1 : 2) + (sequenced ? 2 : 0));
    return true;
}

} // namespace

int16_t factoryCategoryType(int32_t number)
{
    if (number < 10)
        return 1;
    if (number < 40)
        return 4;
    if (number < 60)
        return 1;
    if (number < 100)
        return 2;
    if (number < 102)
        return 5;
    if (number < 120)
        return 6;
    return 3;
}

PatchFileResult readPatchFile(BankReader &reader, const BankLoadSetup &setup, int index, const podoStr &path,
                              PatchCategory &category, int32_t &combinations, int32_t &singles)
{
    const char *name = category.name;
    BankHeader header;
    switch (readBankHeader(reader, BankKind::patches, setup.byteOrderMark, header)) {
    case HeaderStatus::wrongId:
        setup.log(4, true, formatText("%03d %s", index, name));
        setup.showError("Patches file ID is not correct.", path);
        return PatchFileResult::abort;
    case HeaderStatus::damaged:
        reportDamage(setup, index, name, path, "the head is cut short");
        return PatchFileResult::abort;
    case HeaderStatus::ok:
        break;
    }
    if (header.swap)
        setup.log(1, false, formatText("[%03d %s] Patch endian doesn't matched.", index, name));
    switch (header.version) {
    case 62:
    case 78: {
        int32_t stored = 0;
        if (!reader.i32(stored)) {
            reportDamage(setup, index, name, path, "the head is cut short");
            return PatchFileResult::abort;
        }
        if (stored != category.number)
            return PatchFileResult::skipped;
        break;
    }
    case 1:
    case 46:
        break;
    default:
        setup.log(4, true, formatText("%03d %s : patch file version not supported. (%d)", index, name, header.version));
        return PatchFileResult::skipped;
    }
    int32_t count = 0;
    if (!reader.i32(count) || count < 0) {
        reportDamage(setup, index, name, path, formatText("numPatches = %d", count));
        return PatchFileResult::abort;
    }
    if (count > kMaxPatchesPerCategory) {
        setup.log(4, true, formatText("%03d %s", index, name));
        setup.showError("Too many patches in a category.", path);
        return PatchFileResult::abort;
    }
    if (static_cast<uint64_t>(count) * (kPatchRecordHead + 4) > reader.remaining()) {
        reportDamage(setup, index, name, path,
                     formatText("numPatches = %d in %" PRIu64 " bytes", count, reader.remaining()));
        return PatchFileResult::abort;
    }
    if (count > 0) {
        category.patches = new (std::nothrow) PatchRecord[count]();
        if (!category.patches) {
            setup.log(4, true, formatText("%03d %s", index, name));
            setup.showError("Memory allocation for patches is failed.", path);
            return PatchFileResult::abort;
        }
    }
    category.numPatches = count;
    category.patchCapacity = count;
    for (int32_t j = 0; j < count; ++j) {
        if (!readPatch(reader, setup, index, name, path, j, category.patches[j]))
            return PatchFileResult::abort;
        ++(category.patches[j].numChannels > 1 ? combinations : singles);
    }
    return PatchFileResult::loaded;
}

PatchTables::PatchTables() { std::fill(std::begin(index), std::end(index), kNoIndex); }

PatchTables::~PatchTables()
{
    for (int32_t i = 0; i < count && categories; ++i)
        freePatchCategory(categories[i]);
    delete[] categories;
}

bool readPatchTables(const BankLoadSetup &setup, PatchTables &into)
{
    podoStr stems[kMaxBankFiles];
    const int listed = listBankFiles(setup.folder, ".pth", 0, stems);
    const int n = std::min(listed, kMaxFactoryCategories);
    if (listed > n)
        setup.log(3, true, formatText("%s:%s: %d patch files not loaded: the user banks need their room", kMakerWord,
                                      kProductWord, listed - n));
    into.categories = new (std::nothrow) PatchCategory[kMaxPatchCategories]();
    if (!into.categories) {
        setup.showError("Memory allocation for patch list is failed.", "");
        return false;
    }
    // The user banks go after the factory categories.
    into.count = n;
    into.firstUser = n;
    int32_t combinations = 0, singles = 0;
    // A damaged file keeps its slot as an empty category, so the later categories and the first user
    // bank keep their indexes; the next file is read all the same.
    bool whole = true;
    for (int i = 0; i < n; ++i) {
        PatchCategory &category = into.categories[i];
        char name[kNameSize];
        bankFileName(stems[i], name);
        const int32_t number = bankFileNumber(stems[i]);
        const podoStr path = setup.folder + stems[i] + ".pth";
        std::memcpy(category.name, name, sizeof name);
        if (number < 0 || number >= kBankNumberCount) {
            setup.log(4, true, formatText("%03d %s", i, name));
            setup.showError("Patches file No. is overflow.", path);
            category.number = number;
            whole = false;
            continue;
        }
        category.number = number;
        into.index[number] = i;
        category.type = factoryCategoryType(number);
        podoFile file;
        if (file.open(path, podoFileFlags::read) != 0) {
            setup.log(4, true, formatText("%03d %s", i, name));
            setup.showError("Patches file open error.", path);
            whole = false;
            continue;
        }
        FileBankSource source(file);
        BankReader reader(source);
        int32_t fileCombinations = 0, fileSingles = 0;
        const PatchFileResult result =
            readPatchFile(reader, setup, i, path, category, fileCombinations, fileSingles);
        file.close();
        if (result == PatchFileResult::abort) {
            freePatchCategory(category);
            whole = false;
            continue;
        }
        combinations += fileCombinations;
        singles += fileSingles;
    }
    setup.log(1, false,
              formatText("%s:%s: Total %d Patches (Combi %d, Single %d)", kMakerWord, kProductWord,
                         combinations + singles, combinations, singles));
    return whole;
}

void swapPatchTables(PatchTables &other)
{
    std::swap(patchCategories, other.categories);
    std::swap(numPatchCategories, other.count);
    std::swap(firstUserCategory, other.firstUser);
    std::swap(patchCategoryIndex, other.index);
}

bool loadPatches(const BankLoadSetup &setup)
{
    // Whatever a previous load left, user banks included, goes with the fresh tables.
    PatchTables fresh;
    const bool whole = readPatchTables(setup, fresh);
    swapPatchTables(fresh);
    return whole;
}

void clearPatch(PatchRecord &patch)
{
    delete[] patch.channels;
    patch.channels = nullptr;
    patch.numChannels = 0;
    delete[] patch.globals;
    patch.globals = nullptr;
    patch.numGlobalValues = 0;
}

void freePatches(const BankLoadSetup &setup)
{
    for (int32_t i = 0; i < numPatchCategories && patchCategories; ++i) {
        PatchCategory &category = patchCategories[i];
        if (category.numPatches > kMaxPatchesPerCategory)
            setup.log(2, true,
                      formatText("freePatches() - ctg[%d] = %p | numPatches = %d", i, static_cast<void *>(&category),
                                 category.numPatches));
        // A store that failed may have left a record past numPatches: walk the whole table.
        const int32_t records = std::max(category.numPatches, category.patchCapacity);
        for (int32_t j = 0; j < records && category.patches; ++j) {
            PatchRecord &patch = category.patches[j];
            if (patch.numChannels > kMaxChannelsPerPatch || patch.numGlobalValues > kPatchGlobalValues)
                setup.log(2, true,
                          formatText("freePatches() - ctg[%d] pth[%d] = %p | numChs = %d | numVals = %d", i, j,
                                     static_cast<void *>(&patch), patch.numChannels, patch.numGlobalValues));
        }
        freePatchCategory(category);
    }
    delete[] patchCategories;
    patchCategories = nullptr;
    numPatchCategories = 0;
}

void freePatchCategory(PatchCategory &category)
{
    // A store that failed may have left a record past numPatches: walk the whole table.
    const int32_t records = std::max(category.numPatches, category.patchCapacity);
    for (int32_t j = 0; j < records && category.patches; ++j)
        clearPatch(category.patches[j]);
    delete[] category.patches;
    category.patches = nullptr;
    category.numPatches = 0;
    category.patchCapacity = 0;
}

PatchRecord *patchForStore(PatchCategory &category, int32_t patchIndex, bool *appended)
{
    PatchStoreRoom room;
    return patchForStore(category, patchIndex, appended, room);
}

PatchStoreRoom::~PatchStoreRoom()
{
    clearPatch(replaced);
    delete[] table;
}

int32_t patchTableGrowth(const PatchCategory &category, int32_t patchIndex)
{
    if (patchIndex >= 0 && patchIndex < category.numPatches && category.patches)
        return 0;
    const int32_t at = std::max(category.numPatches, 0);
    if (at >= kMaxPatchesPerCategory || (at < category.patchCapacity && category.patches))
        return 0;
    return std::min(kMaxPatchesPerCategory, std::max(at + 1, category.patchCapacity * 2));
}

bool makePatchStoreRoom(int32_t capacity, PatchStoreRoom &room)
{
    delete[] room.table;
    room.table = capacity > 0 ? new (std::nothrow) PatchRecord[capacity]() : nullptr;
    room.capacity = room.table ? capacity : 0;
    return room.table || capacity <= 0;
}

PatchRecord *patchForStore(PatchCategory &category, int32_t patchIndex, bool *appended, PatchStoreRoom &room)
{
    if (appended)
        *appended = false;
    if (patchIndex >= 0 && patchIndex < category.numPatches && category.patches) {
        PatchRecord &patch = category.patches[patchIndex];
        // The old contents go to the room, freed after the lock.
        clearPatch(room.replaced);
        room.replaced.channels = patch.channels;
        room.replaced.numChannels = patch.numChannels;
        room.replaced.globals = patch.globals;
        room.replaced.numGlobalValues = patch.numGlobalValues;
        patch.channels = nullptr;
        patch.numChannels = 0;
        patch.globals = nullptr;
        patch.numGlobalValues = 0;
        return &patch;
    }
    const int32_t at = std::max(category.numPatches, 0);
    if (at >= kMaxPatchesPerCategory)
        return nullptr;
    if (const int32_t capacity = patchTableGrowth(category, patchIndex)) {
        // The category grew since the room was made: a table of its own.
        if (room.capacity < capacity && !makePatchStoreRoom(capacity, room))
            return nullptr;
        PatchRecord *grown = room.table;
        if (category.patches)
            std::memcpy(static_cast<void *>(grown), category.patches,
                        sizeof(PatchRecord) * static_cast<size_t>(std::min(category.patchCapacity, room.capacity)));
        room.table = category.patches; // the records moved: only the old array is freed
        category.patches = grown;
        category.patchCapacity = room.capacity;
        room.capacity = 0;
    }
    clearPatch(category.patches[at]);
    if (appended)
        *appended = true;
    return &category.patches[at];
}

const PatchRecord *patchForRecall(int32_t categoryIndex, int32_t patchIndex, int32_t *clampedIndex)
{
    if (!patchCategories || categoryIndex < 0 || categoryIndex >= numPatchCategories || patchIndex < 0)
        return nullptr;
    const PatchCategory &category = patchCategories[categoryIndex];
    if (category.numPatches <= 0 || !category.patches)
        return nullptr;
    const int32_t index = std::min(patchIndex, category.numPatches - 1);
    if (clampedIndex)
        *clampedIndex = index;
    return &category.patches[index];
}

float patchTempo(const PatchRecord &patch)
{
    if (patch.numGlobalValues < kPatchGlobalValues || !patch.globals)
        return 0.0f;
    const float tempo = patch.globals[kPatchGlobalValues - 1];
    return std::isfinite(tempo) && tempo > 0.0f ? tempo : 0.0f;
}

std::vector<uint8_t> encodePatchFile(const PatchCategory &category, uint8_t byteOrderMark)
{
    BankWriter out(byteOrderMark);
    out.header(BankKind::patches, 78);
    out.i32(category.number);
    const int32_t count = category.patches ? std::max(category.numPatches, 0) : 0;
    out.i32(count);
    for (int32_t j = 0; j < count; ++j) {
        const PatchRecord &patch = category.patches[j];
        const int32_t channels = patch.channels ? std::max<int32_t>(patch.numChannels, 0) : 0;
        const int32_t globals = patch.globals ? std::max(patch.numGlobalValues, 0) : 0;
        int32_t payload = 4 + 4 * globals;
        for (int32_t c = 0; c < channels; ++c)
            payload += kChannelRecordHead + 4 * patch.channels[c].numValues;
        out.bytes(patch.name, kNameSize);
        out.i16(patch.colour);
        out.i16(static_cast<int16_t>(channels));
        out.i32(payload);
        for (int32_t c = 0; c < channels; ++c) {
            const ChannelProgram &channel = patch.channels[c];
            out.name(channel.name);
            out.i32(channel.numValues);
            for (int32_t v = 0; v < channel.numValues; ++v)
                out.f32(channel.values[v]);
        }
        out.i32(globals);
        for (int32_t g = 0; g < globals; ++g)
            out.f32(patch.globals[g]);
    }
    return out.data();
}

bool writePatchFile(const podoStr &folder, const PatchCategory &category, uint8_t byteOrderMark)
{
    return writeBankFile(bankFilePath(folder, category.number, category.name, ".pth"),
                         encodePatchFile(category, byteOrderMark));
}

} // namespace banks
