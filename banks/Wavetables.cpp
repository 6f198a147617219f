#include "banks/Wavetables.h"

#include "foundation/podoFile.h"

#include <algorithm>
#include <cinttypes>
#include <cstring>
#include <new>
#include <utility>

int32_t numWavetableCategories = 0;
WavetableCategory *wavetableCategories = nullptr;
int32_t wavetableCategoryIndex[banks::kBankNumberCount] = {};

namespace banks {

namespace {

podoStr categoryPrefix(int index, const char *name)
{
    return formatText("%s:%s: [%03d %s] ", kMakerWord, kProductWord, index, name);
}

void reportDamage(const BankLoadSetup &setup, int index, const char *name, const podoStr &path,
                  const podoStr &what)
{
    setup.log(4, true, categoryPrefix(index, name) + "wavetable file is damaged: " + what);
    setup.showError("Wavetables file is damaged.", path);
}

// A stored name as text: at most 24 characters, terminated.
podoStr storedName(const char (&field)[kNameSize])
{
    char name[kNameSize + 1] = {};
    std::memcpy(name, field, kNameSize);
    return podoStr(name);
}

} // namespace

bool readWavetableCategory(BankReader &reader, const BankLoadSetup &setup, int index, const podoStr &path,
                           WavetableCategory &category)
{
    const char *name = category.name;
    BankHeader header;
    switch (readBankHeader(reader, BankKind::wavetables, setup.byteOrderMark, header)) {
    case HeaderStatus::wrongId:
        setup.log(4, true, formatText("Wavetables file ID is not correct : %03d %s", index, name));
        setup.showError("Wavetables file ID is not correct.", path);
        return false;
    case HeaderStatus::damaged:
        reportDamage(setup, index, name, path, "the head is cut short");
        return false;
    case HeaderStatus::ok:
        break;
    }
    if (header.swap)
        setup.log(1, false, categoryPrefix(index, name) + "Wavetable endian doesn't matched.");
    if (header.version != 1) {
        setup.log(4, true, categoryPrefix(index, name) + "wavetable file version is not supported.");
        setup.showError("Wavetables file version is not supported.", path);
        return false;
    }
    int32_t kind = 0, count = 0;
    if (!reader.i32(kind) || !reader.i32(count) || count < 0) {
        reportDamage(setup, index, name, path, formatText("count = %d", count));
        return false;
    }
    category.kind = kind;
    if (count > kMaxWavetablesPerCategory) {
        setup.log(4, true, categoryPrefix(index, name) + "Too many wavetables in a category.");
        setup.showError("too many wavetables in a category.", path);
        return false;
    }
    if (static_cast<uint64_t>(count) * kWavetableRecordHead > reader.remaining()) {
        reportDamage(setup, index, name, path,
                     formatText("count = %d in %" PRIu64 " bytes", count, reader.remaining()));
        return false;
    }
    if (count > 0) {
        category.wavetables = new (std::nothrow) WavetableRecord[count]();
        if (!category.wavetables) {
            setup.log(4, true, categoryPrefix(index, name) + "memory allocation for wavetables is failed.");
            setup.showError("Memory allocation for wavetables is failed.", path);
            return false;
        }
    }
    category.count = count;
    for (int32_t k = 0; k < count; ++k) {
        WavetableRecord &wavetable = category.wavetables[k];
        char stored[kNameSize];
        uint8_t follow = 0;
        int16_t numWaves = 0;
        if (!reader.bytes(stored, sizeof stored) || !reader.u8(follow) || !reader.i16(numWaves)) {
            reportDamage(setup, index, name, path, formatText("(%03d) the file ends in the record", k));
            return false;
        }
        std::memcpy(wavetable.name, stored, sizeof stored);
        wavetable.keyFollow = follow != 0 ? 1 : 0;
        const podoStr waveName = storedName(wavetable.name);
        if (numWaves > kMaxZonesPerWavetable) {
            setup.log(4, true,
                      categoryPrefix(index, name) +
                          formatText("(%03d %s) too many waves in wavetables", k, waveName.getNarrow()));
            setup.showError("Too many waves in a wavetables.", path);
            return false;
        }
        if (numWaves < 0 || static_cast<uint64_t>(numWaves) * kZoneSize > reader.remaining()) {
            reportDamage(setup, index, name, path,
                         formatText("(%03d %s) numWaves = %d in %" PRIu64 " bytes", k, waveName.getNarrow(),
                                    numWaves, reader.remaining()));
            return false;
        }
        if (numWaves == 0)
            continue;
        KeyZone *zones = new (std::nothrow) KeyZone[numWaves]();
        if (!zones) {
            setup.log(4, true,
                      categoryPrefix(index, name) +
                          formatText("(%03d %s) memory allocation for waves is failed.", k, waveName.getNarrow()));
            setup.showError("Memory allocation for waves is failed.", path);
            return false;
        }
        for (int16_t z = 0; z < numWaves; ++z) {
            KeyZone &zone = zones[z];
            reader.i16(zone.sampleBank);
            reader.i16(zone.sample);
            reader.i16(zone.rootKey);
            reader.i16(zone.upperKey);
            // Note starts index the key-frequency table with it.
            zone.rootKey = std::clamp<int16_t>(zone.rootKey, 0, 127);
        }
        wavetable.zones = zones;
        wavetable.numWaves = numWaves;
    }
    return true;
}

WavetableTables::~WavetableTables()
{
    for (int32_t i = 0; i < count && categories; ++i)
        freeWavetableCategory(categories[i]);
    delete[] categories;
}

bool readWavetableTables(const BankLoadSetup &setup, WavetableTables &into)
{
    podoStr stems[kMaxBankFiles];
    const int n = listBankFiles(setup.folder, ".wvt", 0, stems);
    if (n > 0) {
        into.categories = new (std::nothrow) WavetableCategory[n]();
        if (!into.categories) {
            setup.showError("Memory allocation for wavetable list is failed.", "");
            return false;
        }
    }
    into.count = n;
    int32_t total = 0, melody = 0, drum = 0;
    // A damaged file stays as an empty category in its place: wave numbers count from the category
    // numbers, so the files after it keep theirs.
    bool whole = true;
    for (int j = 0; j < n; ++j) {
        WavetableCategory &category = into.categories[j];
        category.number = bankFileNumber(stems[j]);
        if (category.number >= 0 && category.number < kBankNumberCount)
            into.index[category.number] = j;
        bankFileName(stems[j], category.name);
        const podoStr path = setup.folder + stems[j] + ".wvt";
        podoFile file;
        if (file.open(path, podoFileFlags::read) != 0) {
            setup.log(4, true, formatText("Wavetables file open error : %03d %s", j, category.name));
            setup.showError("Wavetables file open error.", path);
            whole = false;
            continue;
        }
        FileBankSource source(file);
        BankReader reader(source);
        const bool complete = readWavetableCategory(reader, setup, j, path, category);
        file.close();
        if (!complete) {
            freeWavetableCategory(category);
            whole = false;
            continue;
        }
        total += category.count;
        (category.kind == 0 ? melody : drum) += category.count;
    }
    setup.log(1, false,
              formatText("%s:%s: Total %d Wavetables (Melody %d, Drum %d)", kMakerWord, kProductWord, total, melody,
                         drum));
    return whole;
}

void swapWavetableTables(WavetableTables &other)
{
    std::swap(numWavetableCategories, other.count);
    std::swap(wavetableCategories, other.categories);
    std::swap(wavetableCategoryIndex, other.index);
}

bool loadWavetables(const BankLoadSetup &setup)
{
    // Whatever a previous load left goes with the fresh tables.
    WavetableTables fresh;
    const bool whole = readWavetableTables(setup, fresh);
    swapWavetableTables(fresh);
    return whole;
}

void freeWavetables(const BankLoadSetup &setup)
{
    for (int32_t i = 0; i < numWavetableCategories && wavetableCategories; ++i) {
        WavetableCategory &category = wavetableCategories[i];
        if (category.count > kMaxWavetablesPerCategory)
            setup.log(2, true,
                      formatText("freeWavetables() - ctg[%d] = %p | numWvTbls = %d", i, static_cast<void *>(&category),
                                 category.count));
        for (int32_t j = 0; j < category.count && category.wavetables; ++j) {
            WavetableRecord &wavetable = category.wavetables[j];
            if (wavetable.numWaves > kMaxZonesPerWavetable)
                setup.log(2, true,
                          formatText("freeWavetables() - ctg[%d] wvt[%d] = %p | numWaves = %d", i, j,
                                     static_cast<void *>(&wavetable), wavetable.numWaves));
        }
        freeWavetableCategory(category);
    }
    delete[] wavetableCategories;
    wavetableCategories = nullptr;
    numWavetableCategories = 0;
}

void freeWavetableCategory(WavetableCategory &category)
{
    for (int32_t j = 0; j < category.count && category.wavetables; ++j) {
        delete[] category.wavetables[j].zones;
        category.wavetables[j].zones = nullptr;
        category.wavetables[j].numWaves = 0;
    }
    delete[] category.wavetables;
    category.wavetables = nullptr;
    category.count = 0;
}

void waveLocation(int32_t waveNumber, WaveLocation *location)
{
    if (!location)
        return;
    *location = WaveLocation{0, 0};
    if (waveNumber <= 0 || waveNumber > kMaxWaveNumber || !wavetableCategories)
        return;
    const int32_t categoryNumber = (waveNumber - 1) / kMaxWavetablesPerCategory;
    const int32_t position = (waveNumber - 1) % kMaxWavetablesPerCategory;
    if (categoryNumber >= kWaveCategories)
        return;
    const int32_t c = wavetableCategoryIndex[categoryNumber];
    if (c < 0 || c >= numWavetableCategories)
        return;
    const WavetableCategory &category = wavetableCategories[c];
    if (position >= category.count)
        return;
    location->category = static_cast<int16_t>(category.number);
    location->index = static_cast<int16_t>(position + 1);
}

const WavetableRecord *findWavetable(const WaveLocation &location)
{
    if (location.index <= 0 || location.category < 0 || location.category >= kBankNumberCount ||
        !wavetableCategories)
        return nullptr;
    const int32_t c = wavetableCategoryIndex[location.category];
    if (c < 0 || c >= numWavetableCategories)
        return nullptr;
    const WavetableCategory &category = wavetableCategories[c];
    if (!category.wavetables || location.index > category.count)
        return nullptr;
    return &category.wavetables[location.index - 1];
}

const KeyZone *findZone(const WaveLocation &location, int32_t key)
{
    const WavetableRecord *wavetable = findWavetable(location);
    if (!wavetable || !wavetable->zones)
        return nullptr;
    for (int16_t z = 0; z < wavetable->numWaves; ++z)
        if (wavetable->zones[z].upperKey >= key)
            return &wavetable->zones[z];
    return nullptr;
}

std::vector<uint8_t> encodeWavetableCategory(bool drum, const WavetableSource *wavetables, int32_t count,
                                             uint8_t byteOrderMark)
{
    BankWriter out(byteOrderMark);
    out.header(BankKind::wavetables, 1);
    out.i32(drum ? 1 : 0);
    out.i32(count);
    for (int32_t k = 0; k < count; ++k) {
        const WavetableSource &w = wavetables[k];
        out.name(w.name);
        out.u8(w.keyFollow ? 1 : 0);
        out.i16(w.numWaves);
        for (int16_t z = 0; z < w.numWaves; ++z) {
            out.i16(w.zones[z].sampleBank);
            out.i16(w.zones[z].sample);
            out.i16(w.zones[z].rootKey);
            out.i16(w.zones[z].upperKey);
        }
    }
    return out.data();
}

bool writeWavetableCategory(const podoStr &folder, int32_t number, const char *name, bool drum,
                            const WavetableSource *wavetables, int32_t count, uint8_t byteOrderMark)
{
    return writeBankFile(bankFilePath(folder, number, name, ".wvt"),
                         encodeWavetableCategory(drum, wavetables, count, byteOrderMark));
}

} // namespace banks
