// Wavetable categories (".wvt"): any bytes through the category reader, then as the middle file
// of a library folder through the loader, and every wave number and key through the lookups a
// note start makes.
//
// What must hold: every wavetable a count covers has its zones or none, root keys a key table
// can index; a category reported as loaded writes back to the same category; a failure tells
// the user; the categories before a failing file stay, those after it are empty; the lookups
// only ever answer a zone of a loaded wavetable, and its sample is playable or the silent one.
#include "banks/SampleBanks.h"
#include "banks/Wavetables.h"
#include "fuzz/FuzzSupport.h"

#include <cstring>

using namespace banks;
using fuzz::CountingReport;

namespace {

void checkCategory(const WavetableCategory &category)
{
    FUZZ_CHECK(category.count >= 0 && category.count <= kMaxWavetablesPerCategory);
    FUZZ_CHECK((category.wavetables != nullptr) == (category.count > 0));
    for (int32_t k = 0; k < category.count; ++k) {
        const WavetableRecord &w = category.wavetables[k];
        FUZZ_CHECK(w.numWaves >= 0 && w.numWaves <= kMaxZonesPerWavetable);
        FUZZ_CHECK((w.zones != nullptr) == (w.numWaves > 0));
        FUZZ_CHECK(w.keyFollow <= 1);
        for (int16_t z = 0; z < w.numWaves; ++z)
            FUZZ_CHECK(w.zones[z].rootKey >= 0 && w.zones[z].rootKey <= 127);
    }
}

bool sameCategory(const WavetableCategory &a, const WavetableCategory &b)
{
    if (a.count != b.count || (a.kind != 0) != (b.kind != 0))
        return false;
    for (int32_t k = 0; k < a.count; ++k) {
        const WavetableRecord &x = a.wavetables[k], &y = b.wavetables[k];
        // A name is text up to its terminator or 24 bytes; what follows a terminator is not kept.
        if (std::strncmp(x.name, y.name, kNameSize) != 0 || x.keyFollow != y.keyFollow || x.numWaves != y.numWaves)
            return false;
        if (x.numWaves > 0 && std::memcmp(x.zones, y.zones, sizeof(KeyZone) * static_cast<size_t>(x.numWaves)) != 0)
            return false;
    }
    return true;
}

bool readFromMemory(const uint8_t *data, size_t size, WavetableCategory &category, CountingReport &report)
{
    MemoryBankSource source(data, size);
    BankReader reader(source);
    const bool loaded = readWavetableCategory(reader, fuzz::loadSetup("", &report), 1, "fuzz", category);
    checkCategory(category);
    return loaded;
}

std::vector<uint8_t> encode(const WavetableCategory &category, uint8_t mark)
{
    // Names as stored may fill all 24 bytes: the writer takes at most that many.
    std::vector<WavetableSource> sources;
    for (int32_t k = 0; k < category.count; ++k) {
        const WavetableRecord &w = category.wavetables[k];
        sources.push_back({w.name, w.keyFollow != 0, w.zones, w.numWaves});
    }
    return encodeWavetableCategory(category.kind != 0, sources.data(), category.count, mark);
}

struct Library {
    std::string folder;
    WavetableCategory first{}, last{};

    Library()
    {
        folder = fuzz::freshFolder("wavetables");
        const podoStr where(folder.c_str());
        const uint8_t mark = machineByteOrderMark();
        // The samples the zones name: bank 0 with one looped and one one-shot sample.
        const int16_t values[] = {0, 9000, 18000, 9000, 0, -9000, -18000, -9000};
        const SampleSource samples[] = {{44100, 1, values, 8}, {22050, 0, values, 8}};
        const KeyZone zonesA[] = {{0, 0, 60, 59}, {0, 1, 72, 127}};
        const KeyZone zonesB[] = {{0, 1, 36, 127}};
        const WavetableSource a[] = {{"Two", true, zonesA, 2}, {"None", false, nullptr, 0}};
        const WavetableSource b[] = {{"Kit", false, zonesB, 1}};
        CountingReport report;
        const BankLoadSetup setup = fuzz::loadSetup(folder, &report);
        if (!writeSampleBank(where, 0, "Tones", samples, 2, mark) || !loadSampleBanks(setup) ||
            !writeWavetableCategory(where, 0, "First", false, a, 2, mark) ||
            !writeWavetableCategory(where, 2, "Last", true, b, 1, mark == 76 ? 66 : 76))
            fuzz::fail(__FILE__, __LINE__, "library not written");
        const auto bytesA = encodeWavetableCategory(false, a, 2, mark);
        const auto bytesB = encodeWavetableCategory(true, b, 1, mark);
        if (!readFromMemory(bytesA.data(), bytesA.size(), first, report) ||
            !readFromMemory(bytesB.data(), bytesB.size(), last, report))
            fuzz::fail(__FILE__, __LINE__, "library not readable");
    }
};

Library &library()
{
    static Library instance;
    return instance;
}

// Every wave number of the categories present and every key: what a note start may ask.
void checkLookups()
{
    for (int32_t category = 0; category < 3; ++category)
        for (int32_t position = 0; position <= kMaxWavetablesPerCategory; ++position) {
            WaveLocation location{};
            waveLocation(category * kMaxWavetablesPerCategory + position + 1, &location);
            const WavetableRecord *wavetable = findWavetable(location);
            FUZZ_CHECK((wavetable == nullptr) == (location.index == 0));
            for (int32_t key = -1; key <= 128; key += 7) {
                const KeyZone *zone = findZone(location, key);
                if (!zone)
                    continue;
                FUZZ_CHECK(wavetable && zone >= wavetable->zones && zone < wavetable->zones + wavetable->numWaves);
                FUZZ_CHECK(zone->upperKey >= key);
                const SampleRecord &sample = findSample(*zone);
                FUZZ_CHECK(&sample == &emptySample ||
                           (sample.data && isPlayableSample(sample.rate, sample.loopStart, sample.size)));
            }
        }
}

void checkFolderLoad(const uint8_t *data, size_t size, const WavetableCategory &fromMemory, bool memoryLoaded)
{
    Library &lib = library();
    fuzz::writeFile(lib.folder + "001 Fuzz.wvt", data, size);
    CountingReport report;
    const BankLoadSetup setup = fuzz::loadSetup(lib.folder, &report);
    const bool loaded = loadWavetables(setup);
    FUZZ_CHECK(loaded == memoryLoaded);
    FUZZ_CHECK(loaded || report.boxes > 0);
    FUZZ_CHECK(numWavetableCategories == 3);
    for (int j = 0; j < 3; ++j)
        checkCategory(wavetableCategories[j]);
    FUZZ_CHECK(wavetableCategoryIndex[0] == 0 && wavetableCategoryIndex[1] == 1);
    FUZZ_CHECK(sameCategory(wavetableCategories[0], lib.first));
    if (loaded)
        FUZZ_CHECK(sameCategory(wavetableCategories[1], fromMemory));
    else // a damaged file keeps its slot, empty
        FUZZ_CHECK(wavetableCategories[1].count == 0 && wavetableCategories[1].wavetables == nullptr);
    // The file after it is read either way.
    FUZZ_CHECK(wavetableCategoryIndex[2] == 2);
    FUZZ_CHECK(sameCategory(wavetableCategories[2], lib.last));
    checkLookups();
    freeWavetables(setup);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    WavetableCategory category{};
    category.number = 1;
    copyNameField(category.name, "Fuzz");
    CountingReport report;
    const bool loaded = readFromMemory(data, size, category, report);
    FUZZ_CHECK(loaded || report.boxes > 0);
    if (loaded)
        for (uint8_t mark : {kLittleEndianMark, kBigEndianMark}) {
            const std::vector<uint8_t> bytes = encode(category, mark);
            WavetableCategory again{};
            FUZZ_CHECK(readFromMemory(bytes.data(), bytes.size(), again, report));
            FUZZ_CHECK(sameCategory(category, again));
            freeWavetableCategory(again);
        }
    checkFolderLoad(data, size, category, loaded);
    freeWavetableCategory(category);
    return 0;
}
