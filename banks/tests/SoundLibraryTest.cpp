#include "banks/tests/BankTestLibrary.h"

#include <gtest/gtest.h>

namespace {

// The whole small library, as a note start uses it: wave number -> location -> zone -> sample.
TEST(SoundLibrary, KeysFindTheirSamplesInEitherByteOrder)
{
    TestLibrary content;
    for (uint8_t mark : {banks::kLittleEndianMark, banks::kBigEndianMark}) {
        SCOPED_TRACE(mark);
        freeLibrary();
        LibraryFolder lib;
        ASSERT_TRUE(content.write(lib.setup.folder, mark));
        ASSERT_TRUE(banks::loadSampleBanks(lib.setup));
        ASSERT_TRUE(banks::loadWavetables(lib.setup));
        ASSERT_TRUE(banks::loadPatches(lib.setup));
        EXPECT_TRUE(lib.report.boxes.empty()) << lib.report.boxTexts();

        WaveLocation sines{}, kit{};
        banks::waveLocation(2 * 128 + 1, &sines);
        banks::waveLocation(40 * 128 + 1, &kit);
        struct Case {
            WaveLocation location;
            int32_t key;
            int32_t rate; // of the sample played; 0 none
            int16_t rootKey;
        };
        const Case cases[] = {
            {sines, 21, 44100, 48}, {sines, 59, 44100, 48}, {sines, 60, 22050, 72},
            {sines, 84, 22050, 72}, {sines, 85, 0, 0},      {kit, 36, 32000, 60},
        };
        for (const Case &c : cases) {
            SCOPED_TRACE(c.key);
            const KeyZone *zone = banks::findZone(c.location, c.key);
            if (c.rate == 0) {
                EXPECT_EQ(zone, nullptr);
                continue;
            }
            ASSERT_NE(zone, nullptr);
            EXPECT_EQ(zone->rootKey, c.rootKey);
            const SampleRecord &sample = banks::findSample(*zone);
            EXPECT_EQ(sample.rate, c.rate);
            ASSERT_NE(sample.data, nullptr);
        }
        const SampleRecord &low = banks::findSample(*banks::findZone(sines, 40));
        EXPECT_EQ(low.data[26], content.sineLow[25]) << "positions count from 1";
        EXPECT_EQ(patchCategories[patchCategoryIndex[50]].numPatches, 2);
    }
    freeLibrary();
}

// One damaged file of any kind, sorted before the good ones, costs only itself: its message once,
// the loader's false, an empty record in its place, and every other file still plays.
TEST(SoundLibrary, ADamagedFileOfEachKindLeavesTheRestPlaying)
{
    TestLibrary content;
    struct Case {
        const char *file;
        std::string bytes;
    };
    const Case cases[] = {
        {"000 Broken.smp", ""},
        {"000 Broken.smp", "ORVANEX -Quorix  damaged"},
        {"000 Broken.wvt", ""},
        {"000 Broken.wvt", std::string(300, 'x')},
        {"000 Broken.pth", ""},
        {"000 Broken.pth", std::string(60, '\xff')},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.file << " of " << c.bytes.size() << " bytes");
        freeLibrary();
        LibraryFolder lib;
        ASSERT_TRUE(content.write(lib.setup.folder, banks::kLittleEndianMark));
        lib.folder.write(c.file, c.bytes);
        const bool samples = banks::loadSampleBanks(lib.setup);
        const bool wavetables = banks::loadWavetables(lib.setup);
        const bool patches = banks::loadPatches(lib.setup);
        EXPECT_EQ(samples + wavetables + patches, 2) << "the damaged kind's loader says so";
        EXPECT_EQ(lib.report.boxes.size(), 1u) << lib.report.boxTexts();

        EXPECT_EQ(numSampleBanks, 3 - samples);
        EXPECT_EQ(numWavetableCategories, 3 - wavetables);
        EXPECT_EQ(numPatchCategories, 2 - patches);
        WaveLocation sines{}, kit{};
        banks::waveLocation(2 * 128 + 1, &sines);
        banks::waveLocation(40 * 128 + 1, &kit);
        const KeyZone *low = banks::findZone(sines, 40);
        const KeyZone *drum = banks::findZone(kit, 36);
        ASSERT_NE(low, nullptr);
        ASSERT_NE(drum, nullptr);
        EXPECT_EQ(banks::findSample(*low).data[26], content.sineLow[25]);
        EXPECT_NE(banks::findSample(*drum).data, nullptr);
        EXPECT_EQ(patchCategories[patchCategoryIndex[50]].numPatches, 2);
    }
    freeLibrary();
}

// Every cut of a good file is damage to its reader: it stops with one message, keeps records it
// read whole, and leaves nothing that the free cannot walk. Read from memory, as a fuzzer does.
TEST(SoundLibrary, EveryCutOfAGoodFileStopsItsReaderCleanly)
{
    TestLibrary content;
    const auto tonal = content.tonal();
    const banks::WavetableSource tables[] = {{"Sines", true, content.sineZones.data(), 2}, {"Empty", false, nullptr, 0}};
    LibraryFolder lib;
    ASSERT_TRUE(TestLibrary::writePatches(lib.setup.folder, 66));
    const std::string patchText = lib.folder.read("050 Leads.pth");
    const std::vector<uint8_t> patchBytes(patchText.begin(), patchText.end());
    const std::vector<uint8_t> sampleBytes = banks::encodeSampleBank(tonal.data(), 2, 66);
    const std::vector<uint8_t> waveBytes = banks::encodeWavetableCategory(false, tables, 2, 66);

    for (size_t size = 0; size <= sampleBytes.size(); size += 7) {
        RecordingReport report;
        banks::BankLoadSetup setup;
        setup.report = &report;
        banks::MemoryBankSource source(sampleBytes.data(), size);
        banks::BankReader reader(source);
        SampleBank bank{};
        int32_t looped = 0, oneShot = 0;
        const bool complete = banks::readSampleBank(reader, setup, 0, "mem", bank, looped, oneShot);
        EXPECT_EQ(complete, size == sampleBytes.size()) << size;
        EXPECT_EQ(report.boxes.size(), complete ? 0u : 1u) << size;
        for (int32_t k = 0; k < bank.numSamples; ++k)
            EXPECT_TRUE(bank.samples[k].data == nullptr || bank.samples[k].size == tonal[static_cast<size_t>(k)].size);
        banks::freeSampleBank(bank);
        if (size + 7 > sampleBytes.size() && size != sampleBytes.size())
            size = sampleBytes.size() - 7; // end on the whole file
    }
    for (size_t size = 0; size <= waveBytes.size(); ++size) {
        RecordingReport report;
        banks::BankLoadSetup setup;
        setup.report = &report;
        banks::MemoryBankSource source(waveBytes.data(), size);
        banks::BankReader reader(source);
        WavetableCategory category{};
        const bool complete = banks::readWavetableCategory(reader, setup, 0, "mem", category);
        EXPECT_EQ(complete, size == waveBytes.size()) << size;
        EXPECT_EQ(report.boxes.size(), complete ? 0u : 1u) << size;
        banks::freeWavetableCategory(category);
    }
    for (size_t size = 0; size <= patchBytes.size(); size += 5) {
        RecordingReport report;
        banks::BankLoadSetup setup;
        setup.report = &report;
        banks::MemoryBankSource source(patchBytes.data(), size);
        banks::BankReader reader(source);
        PatchCategory category{};
        category.number = 50;
        int32_t combinations = 0, singles = 0;
        const banks::PatchFileResult result =
            banks::readPatchFile(reader, setup, 0, "mem", category, combinations, singles);
        EXPECT_EQ(result == banks::PatchFileResult::loaded, size == patchBytes.size()) << size;
        EXPECT_EQ(report.boxes.size(), result == banks::PatchFileResult::loaded ? 0u : 1u) << size;
        for (int32_t j = 0; j < category.numPatches; ++j) {
            const PatchRecord &p = category.patches[j];
            EXPECT_EQ(p.numChannels == 0, p.channels == nullptr) << size;
            EXPECT_EQ(p.numGlobalValues == 0, p.globals == nullptr) << size;
        }
        banks::freePatchCategory(category);
        if (size + 5 > patchBytes.size() && size != patchBytes.size())
            size = patchBytes.size() - 5;
    }
}

} // namespace
