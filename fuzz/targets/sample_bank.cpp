// Sample banks (".smp"): any bytes through the bank reader, then the same bytes as the middle
// file of a library folder through the loader and the reload of released samples.
//
// What must hold: every record a bank's count covers is either a playable sample with its
// guards or wholly empty; a bank reported as loaded writes back to the same bank; a failure
// tells the user; the banks before a failing file stay as they were, those after it are empty;
// the file loader reads exactly what the memory reader reads; a released sample reads back the
// same values.
#include "banks/SampleBanks.h"
#include "fuzz/FuzzSupport.h"

#include <cstring>

using namespace banks;
using fuzz::CountingReport;

namespace {

void checkRecord(const SampleRecord &r)
{
    if (!r.data) {
        FUZZ_CHECK(r.rate == 0 && r.loopStart == 0 && r.size == 0);
        return;
    }
    FUZZ_CHECK(isPlayableSample(r.rate, r.loopStart, r.size));
    FUZZ_CHECK(r.data[0] == r.data[1]);
    FUZZ_CHECK(r.data[r.size + 1] == r.data[r.loopStart]);
    FUZZ_CHECK(r.data[r.size + 2] == r.data[r.loopStart + 1]);
}

void checkBank(const SampleBank &bank)
{
    FUZZ_CHECK(bank.numSamples >= 0 && bank.numSamples <= kMaxSamplesPerBank);
    FUZZ_CHECK((bank.samples != nullptr) == (bank.numSamples > 0));
    for (int32_t k = 0; k < bank.numSamples; ++k)
        checkRecord(bank.samples[k]);
}

bool sameRecord(const SampleRecord &a, const SampleRecord &b)
{
    if (a.rate != b.rate || a.loopStart != b.loopStart || a.size != b.size || !a.data != !b.data)
        return false;
    return !a.data || std::memcmp(a.data, b.data, sizeof(int16_t) * (static_cast<size_t>(a.size) + 3)) == 0;
}

bool sameBank(const SampleBank &a, const SampleBank &b)
{
    if (a.numSamples != b.numSamples)
        return false;
    for (int32_t k = 0; k < a.numSamples; ++k)
        if (!sameRecord(a.samples[k], b.samples[k]))
            return false;
    return true;
}

std::vector<SampleSource> sourcesOf(const SampleBank &bank)
{
    std::vector<SampleSource> sources;
    for (int32_t k = 0; k < bank.numSamples; ++k) {
        const SampleRecord &r = bank.samples[k];
        sources.push_back({r.rate, r.loopStart, r.data ? r.data + 1 : nullptr, r.data ? r.size : 0});
    }
    return sources;
}

// One bank read from memory; result and report through the arguments.
bool readFromMemory(const uint8_t *data, size_t size, SampleBank &bank, CountingReport &report)
{
    MemoryBankSource source(data, size);
    BankReader reader(source);
    const BankLoadSetup setup = fuzz::loadSetup("", &report);
    int32_t looped = 0, oneShot = 0;
    const bool loaded = readSampleBank(reader, setup, 1, "fuzz", bank, looped, oneShot);
    checkBank(bank);
    if (loaded)
        FUZZ_CHECK(looped + oneShot == bank.numSamples);
    return loaded;
}

struct Library {
    std::string folder;
    std::vector<int16_t> tone;
    SampleBank first{}, last{};

    Library()
    {
        folder = fuzz::freshFolder("samples");
        for (int i = 0; i < 40; ++i)
            tone.push_back(static_cast<int16_t>(i * 800 - 16000));
        const SampleSource a[] = {{44100, 1, tone.data(), 40}, {22050, 0, tone.data(), 7}};
        const SampleSource b[] = {{8000, 40, tone.data(), 40}};
        const uint8_t mark = machineByteOrderMark();
        if (!writeSampleBank(podoStr(folder.c_str()), 0, "First", a, 2, mark) ||
            !writeSampleBank(podoStr(folder.c_str()), 2, "Last", b, 1, mark == 76 ? 66 : 76))
            fuzz::fail(__FILE__, __LINE__, "library not written");
        CountingReport report;
        const auto bytesA = encodeSampleBank(a, 2, mark), bytesB = encodeSampleBank(b, 1, mark == 76 ? 66 : 76);
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

void checkFolderLoad(const uint8_t *data, size_t size, const SampleBank &fromMemory, bool memoryLoaded)
{
    Library &lib = library();
    fuzz::writeFile(lib.folder + "001 Fuzz.smp", data, size);
    CountingReport report;
    const BankLoadSetup setup = fuzz::loadSetup(lib.folder, &report);
    const bool loaded = loadSampleBanks(setup);
    FUZZ_CHECK(loaded == memoryLoaded);
    FUZZ_CHECK(loaded || report.boxes > 0);
    FUZZ_CHECK(numSampleBanks == 3);
    for (int j = 0; j < 3; ++j)
        checkBank(sampleBanks[j]);
    FUZZ_CHECK(sampleBankIndex[0] == 0 && sampleBankIndex[1] == 1);
    FUZZ_CHECK(sameBank(sampleBanks[0], lib.first));
    if (loaded)
        FUZZ_CHECK(sameBank(sampleBanks[1], fromMemory));
    else // a damaged file keeps its slot, empty
        FUZZ_CHECK(sampleBanks[1].numSamples == 0 && sampleBanks[1].samples == nullptr);
    // The file after it is read either way.
    FUZZ_CHECK(sampleBankIndex[2] == 2);
    FUZZ_CHECK(sameBank(sampleBanks[2], lib.last));

    // Release every sample, then read back each one the load had read.
    freeSamples(false, setup);
    for (int b = 0; b < 3; ++b) {
        const SampleBank &original = b == 0 ? lib.first : b == 1 ? fromMemory : lib.last;
        if (b == 1 && !loaded)
            continue;
        for (int32_t k = 0; k < original.numSamples; ++k) {
            const KeyZone zone{static_cast<int16_t>(b), static_cast<int16_t>(k), 60, 127};
            const SampleRecord &r = original.samples[k];
            const bool back = reloadSample(zone, setup);
            FUZZ_CHECK(back == (r.data != nullptr));
            if (back) {
                const SampleRecord &found = findSample(zone);
                FUZZ_CHECK(found.size == r.size && found.loopStart == r.loopStart && found.rate == r.rate);
                FUZZ_CHECK(std::memcmp(found.data, r.data, sizeof(int16_t) * (static_cast<size_t>(r.size) + 3)) == 0);
            } else {
                FUZZ_CHECK(&findSample(zone) == &emptySample);
            }
        }
    }
    closeSampleReloader();
    freeSamples(true, setup);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    SampleBank bank{};
    bank.number = 1;
    copyNameField(bank.name, "Fuzz");
    CountingReport report;
    const bool loaded = readFromMemory(data, size, bank, report);
    FUZZ_CHECK(loaded || report.boxes > 0);

    if (loaded) {
        // What was read writes back, in either byte order, to a file that reads the same.
        const std::vector<SampleSource> sources = sourcesOf(bank);
        for (uint8_t mark : {kLittleEndianMark, kBigEndianMark}) {
            const std::vector<uint8_t> bytes = encodeSampleBank(sources.data(), bank.numSamples, mark);
            SampleBank again{};
            FUZZ_CHECK(readFromMemory(bytes.data(), bytes.size(), again, report));
            FUZZ_CHECK(sameBank(bank, again));
            freeSampleBank(again);
        }
    }

    checkFolderLoad(data, size, bank, loaded);
    freeSampleBank(bank);
    return 0;
}
