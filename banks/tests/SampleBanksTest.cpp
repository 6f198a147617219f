#include "banks/SampleBanks.h"
#include "banks/tests/BankTestLibrary.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>

namespace {

class SampleBanksTest : public ::testing::Test
{
protected:
    void SetUp() override { freeLibrary(); }
    void TearDown() override { freeLibrary(); }

    // Compares a loaded record with what was written, guards included.
    static void expectSample(const SampleRecord &record, const banks::SampleSource &source)
    {
        ASSERT_NE(record.data, nullptr);
        EXPECT_EQ(record.rate, source.rate);
        EXPECT_EQ(record.loopStart, source.loopStart);
        ASSERT_EQ(record.size, source.size);
        EXPECT_EQ(0, std::memcmp(record.data + 1, source.values, sizeof(int16_t) * static_cast<size_t>(source.size)));
        EXPECT_EQ(record.data[0], record.data[1]);
        EXPECT_EQ(record.data[source.size + 1], record.data[source.loopStart]);
        EXPECT_EQ(record.data[source.size + 2], record.data[source.loopStart + 1]);
    }

    LibraryFolder lib;
    TestLibrary content;
};

TEST_F(SampleBanksTest, LibraryLoadsTheSameInEitherByteOrder)
{
    for (uint8_t mark : {banks::kLittleEndianMark, banks::kBigEndianMark}) {
        SCOPED_TRACE(mark);
        LibraryFolder fresh;
        ASSERT_TRUE(content.write(fresh.setup.folder, mark));
        ASSERT_TRUE(banks::loadSampleBanks(fresh.setup));
        EXPECT_TRUE(fresh.report.boxes.empty()) << fresh.report.boxTexts();
        ASSERT_EQ(numSampleBanks, 2);
        EXPECT_EQ(sampleBanks[0].number, 3);
        EXPECT_STREQ(sampleBanks[0].name, "Tones");
        EXPECT_EQ(sampleBanks[1].number, 12);
        EXPECT_STREQ(sampleFileNames[1].getNarrow(), "012 Noise");
        EXPECT_EQ(sampleBankIndex[3], 0);
        EXPECT_EQ(sampleBankIndex[12], 1);
        EXPECT_EQ(sampleBankIndex[4], banks::kNoIndex);
        ASSERT_EQ(sampleBanks[0].numSamples, 2);
        const auto tonal = content.tonal();
        expectSample(sampleBanks[0].samples[0], tonal[0]);
        expectSample(sampleBanks[0].samples[1], tonal[1]);
        expectSample(sampleBanks[1].samples[0], content.noisy()[0]);
        EXPECT_EQ(sampleBanks[1].samples[0].data[301], content.noise[0]) << "a one-shot's end guards repeat data[1]";
        EXPECT_TRUE(fresh.report.logged("Kestrane:Quorix: Total 3 Samples (Loop 2, 1shot 1)"));
        EXPECT_EQ(fresh.report.logged("Kestrane:Quorix: [000 Tones] Sample endian doesn't matched."),
                  mark == banks::kBigEndianMark);
    }
}

TEST_F(SampleBanksTest, NoFilesIsAnEmptyLibraryNotAFailure)
{
    ASSERT_TRUE(banks::loadSampleBanks(lib.setup));
    EXPECT_EQ(numSampleBanks, 0);
    EXPECT_EQ(sampleBanks, nullptr);
    EXPECT_TRUE(lib.report.boxes.empty());
    EXPECT_TRUE(lib.report.logged("Kestrane:Quorix: Total 0 Samples (Loop 0, 1shot 0)"));
    EXPECT_EQ(&banks::findSample(KeyZone{0, 0, 60, 127}), &emptySample);
}

TEST_F(SampleBanksTest, ZonesResolveOnlyToSamplesOfThisLoad)
{
    ASSERT_TRUE(content.write(lib.setup.folder, banks::kLittleEndianMark));
    ASSERT_TRUE(banks::loadSampleBanks(lib.setup));
    EXPECT_EQ(banks::findSample(KeyZone{3, 1, 60, 127}).data, sampleBanks[0].samples[1].data);
    EXPECT_EQ(&banks::findSample(KeyZone{3, 2, 60, 127}), &emptySample) << "index past the bank";
    EXPECT_EQ(&banks::findSample(KeyZone{3, -1, 60, 127}), &emptySample);
    EXPECT_EQ(&banks::findSample(KeyZone{0, 0, 60, 127}), &emptySample) << "no file carries bank 0";
    EXPECT_EQ(&banks::findSample(KeyZone{1000, 0, 60, 127}), &emptySample);
    EXPECT_EQ(&banks::findSample(KeyZone{-4, 0, 60, 127}), &emptySample);

    // A later load without bank 12: its number must not reach whatever sits at its old index.
    LibraryFolder other;
    const auto tonal = content.tonal();
    ASSERT_TRUE(banks::writeSampleBank(other.setup.folder, 5, "Other", tonal.data(), 2, 76));
    ASSERT_TRUE(banks::writeSampleBank(other.setup.folder, 6, "More", tonal.data(), 1, 76));
    ASSERT_TRUE(banks::loadSampleBanks(other.setup));
    EXPECT_EQ(sampleBankIndex[12], banks::kNoIndex);
    EXPECT_EQ(&banks::findSample(KeyZone{12, 0, 60, 127}), &emptySample);
    EXPECT_EQ(&banks::findSample(KeyZone{3, 0, 60, 127}), &emptySample);
}

TEST_F(SampleBanksTest, SameNumberTwiceResolvesToTheLaterFile)
{
    const auto tonal = content.tonal();
    const auto noisy = content.noisy();
    ASSERT_TRUE(banks::writeSampleBank(lib.setup.folder, 7, "A", tonal.data(), 2, 76));
    ASSERT_TRUE(banks::writeSampleBank(lib.setup.folder, 7, "B", noisy.data(), 1, 76));
    ASSERT_TRUE(banks::loadSampleBanks(lib.setup));
    ASSERT_EQ(numSampleBanks, 2);
    EXPECT_EQ(sampleBankIndex[7], 1);
    EXPECT_EQ(banks::findSample(KeyZone{7, 0, 60, 127}).rate, 32000);
}

TEST_F(SampleBanksTest, ImpossibleSamplesLoadEmptyAndTheNextRecordIsReadWhereItLies)
{
    const int16_t values[4] = {10, 20, 30, 40};
    banks::BankWriter out(76);
    out.header(banks::BankKind::samples, 1);
    struct Record {
        int32_t rate, loopStart, byteSize;
    };
    const Record records[] = {
        {44100, 0, 1},  // size 0 (and an odd byte size: the next record starts after 0 bytes)
        {44100, 3, 4},  // loop start past size 2
        {44100, -1, 4}, // loop start negative
        {0, 0, 4},      // rate 0
        {44100, 2, 5},  // playable: size 2, the fifth byte belongs to the next record
        {22050, 4, 8},  // playable, looped at its last sample
    };
    out.i32(6);
    for (const Record &r : records) {
        out.i32(r.rate);
        out.i32(r.loopStart);
        out.i32(r.byteSize);
        for (int i = 0; i < r.byteSize / 2; ++i)
            out.i16(values[i]);
    }
    lib.write("001 Odd.smp", out.data());
    ASSERT_TRUE(banks::loadSampleBanks(lib.setup)) << lib.report.boxTexts();
    ASSERT_EQ(sampleBanks[0].numSamples, 6);
    for (int k = 0; k < 4; ++k) {
        SCOPED_TRACE(k);
        EXPECT_EQ(sampleBanks[0].samples[k].data, nullptr);
        EXPECT_EQ(&banks::findSample(KeyZone{1, static_cast<int16_t>(k), 60, 127}), &emptySample);
    }
    const SampleRecord &fifth = sampleBanks[0].samples[4];
    ASSERT_EQ(fifth.size, 2);
    EXPECT_EQ(fifth.data[1], 10);
    EXPECT_EQ(fifth.data[2], 20);
    EXPECT_EQ(fifth.data[3], 20) << "guard after the end repeats the loop start";
    const SampleRecord &sixth = sampleBanks[0].samples[5];
    ASSERT_EQ(sixth.size, 4);
    EXPECT_EQ(sixth.rate, 22050);
    EXPECT_EQ(sixth.data[4], 40);
    EXPECT_EQ(sixth.data[5], 40);
    EXPECT_EQ(sixth.data[6], 40);
    EXPECT_TRUE(lib.report.logged(
        "Kestrane:Quorix: [000 Odd] (001) sample is not playable (rate 44100, loop 3, size 2)"));
}

// A bank file built field by field, for damaged variants.
std::vector<uint8_t> bankBytes(const std::function<void(banks::BankWriter &)> &body, int32_t version = 1)
{
    banks::BankWriter out(76);
    out.header(banks::BankKind::samples, version);
    body(out);
    return out.data();
}

void oneSample(banks::BankWriter &out, int32_t byteSize, int32_t actualValues)
{
    out.i32(44100);
    out.i32(1);
    out.i32(byteSize);
    for (int i = 0; i < actualValues; ++i)
        out.i16(static_cast<int16_t>(i));
}

TEST_F(SampleBanksTest, ADamagedFileIsAnEmptyBankAndTheNextIsReadAllTheSame)
{
    struct Case {
        const char *what;
        std::vector<uint8_t> bytes;
        const char *box;
    };
    std::vector<uint8_t> wrongMagic = bankBytes([](banks::BankWriter &out) { out.i32(0); });
    wrongMagic[20] = 'x';
    std::vector<uint8_t> cutData = bankBytes([](banks::BankWriter &out) {
        out.i32(2);
        oneSample(out, 8, 4);
        oneSample(out, 8, 4);
    });
    cutData.resize(cutData.size() - 3);
    const Case cases[] = {
        {"wrong magic", wrongMagic, "Samples file ID is not correct."},
        {"version 2", bankBytes([](banks::BankWriter &out) { out.i32(0); }, 2),
         "Samples file version is not supported."},
        {"head cut short", std::vector<uint8_t>(cutData.begin(), cutData.begin() + 41), "Samples file is damaged."},
        {"no count", bankBytes([](banks::BankWriter &) {}), "Samples file is damaged."},
        {"negative count", bankBytes([](banks::BankWriter &out) { out.i32(-1); }), "Samples file is damaged."},
        {"count 1025", bankBytes([](banks::BankWriter &out) { out.i32(1025); }), "Too many samples in a bank."},
        {"count the file cannot hold",
         bankBytes([](banks::BankWriter &out) {
             out.i32(1000);
             oneSample(out, 8, 4);
         }),
         "Samples file is damaged."},
        {"negative byte size",
         bankBytes([](banks::BankWriter &out) {
             out.i32(2);
             oneSample(out, 8, 4);
             oneSample(out, -8, 4);
         }),
         "Samples file is damaged."},
        {"huge byte size",
         bankBytes([](banks::BankWriter &out) {
             out.i32(2);
             oneSample(out, 8, 4);
             oneSample(out, 0x7FFFFFFF, 4);
         }),
         "Samples file is damaged."},
        {"data cut short", cutData, "Samples file is damaged."},
        {"ends in a record head",
         bankBytes([](banks::BankWriter &out) {
             out.i32(2);
             oneSample(out, 8, 4);
             out.i32(44100);
         }),
         "Samples file is damaged."},
    };
    const auto tonal = content.tonal();
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        LibraryFolder fresh;
        ASSERT_TRUE(banks::writeSampleBank(fresh.setup.folder, 1, "Good", tonal.data(), 2, 76));
        fresh.write("002 Bad.smp", c.bytes);
        ASSERT_TRUE(banks::writeSampleBank(fresh.setup.folder, 3, "After", tonal.data(), 2, 76));

        EXPECT_FALSE(banks::loadSampleBanks(fresh.setup));
        ASSERT_EQ(fresh.report.boxes.size(), 1u) << fresh.report.boxTexts();
        EXPECT_EQ(fresh.report.boxes[0].message, c.box);
        EXPECT_EQ(fresh.report.boxes[0].detail, fresh.folder.path("002 Bad.smp"));
        ASSERT_EQ(numSampleBanks, 3);
        EXPECT_NE(banks::findSample(KeyZone{1, 1, 60, 127}).data, nullptr) << "the bank before stays";
        const SampleBank &bad = sampleBanks[1];
        EXPECT_EQ(bad.numSamples, 0) << "nothing half read is kept";
        EXPECT_EQ(bad.samples, nullptr);
        EXPECT_EQ(&banks::findSample(KeyZone{2, 1, 60, 127}), &emptySample);
        EXPECT_EQ(sampleBanks[2].numSamples, 2) << "the file after the damaged one is read";
        EXPECT_NE(banks::findSample(KeyZone{3, 1, 60, 127}).data, nullptr);
        banks::freeSamples(false, fresh.setup); // the walks of a partial library are safe
        banks::freeSamples(true, fresh.setup);
    }
}

TEST_F(SampleBanksTest, CountLimitsAreInclusive)
{
    const int16_t one[1] = {5};
    std::vector<banks::SampleSource> many(1024, banks::SampleSource{8000, 0, one, 1});
    ASSERT_TRUE(banks::writeSampleBank(lib.setup.folder, 1, "Full", many.data(), 1024, 76));
    ASSERT_TRUE(banks::writeSampleBank(lib.setup.folder, 2, "Empty", nullptr, 0, 76));
    ASSERT_TRUE(banks::loadSampleBanks(lib.setup));
    EXPECT_EQ(sampleBanks[0].numSamples, 1024);
    EXPECT_EQ(sampleBanks[0].samples[1023].data[1], 5);
    EXPECT_EQ(sampleBanks[1].numSamples, 0);
}

TEST_F(SampleBanksTest, ReleasedDataComesBackFromTheFile)
{
    ASSERT_TRUE(content.write(lib.setup.folder, banks::kBigEndianMark));
    ASSERT_TRUE(banks::loadSampleBanks(lib.setup));
    banks::freeSamples(false, lib.setup);
    EXPECT_EQ(sampleBanks[0].samples[1].data, nullptr);
    EXPECT_EQ(sampleBanks[0].samples[1].size, 0);
    EXPECT_EQ(&banks::findSample(KeyZone{3, 1, 60, 127}), &emptySample);

    // Sample 1 first: the walk must find its offset from the records' heads, not the released sizes.
    ASSERT_TRUE(banks::reloadSample(KeyZone{3, 1, 72, 84}, lib.setup));
    expectSample(sampleBanks[0].samples[1], content.tonal()[1]);
    // The reader stays open on the bank: the file can go and the next zone still loads.
    std::filesystem::remove(lib.folder.path("003 Tones.smp"));
    ASSERT_TRUE(banks::reloadSample(KeyZone{3, 0, 48, 59}, lib.setup));
    expectSample(sampleBanks[0].samples[0], content.tonal()[0]);
    EXPECT_TRUE(banks::reloadSample(KeyZone{3, 0, 48, 59}, lib.setup)) << "present: no file needed";

    EXPECT_FALSE(banks::reloadSample(KeyZone{3, 5, 48, 59}, lib.setup)) << "no such sample";
    EXPECT_FALSE(banks::reloadSample(KeyZone{4, 0, 48, 59}, lib.setup)) << "no such bank";
    EXPECT_TRUE(lib.report.boxes.empty()) << lib.report.boxTexts();

    // Another bank whose file went bad meanwhile: refused with a message, nothing half-read.
    lib.folder.write("012 Noise.smp", "ORVANEX -Quorix    -Samples");
    EXPECT_FALSE(banks::reloadSample(KeyZone{12, 0, 60, 127}, lib.setup));
    EXPECT_EQ(sampleBanks[1].samples[0].data, nullptr);
    ASSERT_EQ(lib.report.boxes.size(), 1u);
    EXPECT_EQ(lib.report.boxes[0].message, "Samples file is damaged.");
}

// A whole bank read back in one pass: only the released samples, each into its own record, and
// only while the bank is the one that was located.
TEST_F(SampleBanksTest, ABankReloadBringsBackEveryReleasedSampleOfItsBank)
{
    ASSERT_TRUE(content.write(lib.setup.folder, banks::kBigEndianMark));
    ASSERT_TRUE(banks::loadSampleBanks(lib.setup));
    banks::freeSamples(false, lib.setup);
    // Sample 0 came back on its own meanwhile: it keeps its data.
    ASSERT_TRUE(banks::reloadSample(KeyZone{3, 0, 48, 59}, lib.setup));
    const int16_t *kept = sampleBanks[0].samples[0].data;

    banks::BankReload reload;
    ASSERT_TRUE(banks::locateBankReload(0, lib.setup, reload));
    ASSERT_TRUE(banks::readBankReload(reload, lib.setup));
    EXPECT_EQ(reload.records[0].data, nullptr) << "present: not read again";
    banks::publishBankReload(reload);
    EXPECT_EQ(sampleBanks[0].samples[0].data, kept);
    expectSample(sampleBanks[0].samples[0], content.tonal()[0]);
    expectSample(sampleBanks[0].samples[1], content.tonal()[1]);
    EXPECT_EQ(sampleBanks[1].samples[0].data, nullptr) << "another bank";
    banks::BankReload none;
    EXPECT_FALSE(banks::locateBankReload(0, lib.setup, none)) << "nothing released";
    EXPECT_FALSE(banks::locateBankReload(2, lib.setup, none)) << "no such bank";

    // A library loaded between the read and the publication keeps its own data.
    banks::BankReload stale;
    ASSERT_TRUE(banks::locateBankReload(1, lib.setup, stale));
    ASSERT_TRUE(banks::readBankReload(stale, lib.setup));
    ASSERT_NE(stale.records[0].data, nullptr);
    ASSERT_TRUE(banks::loadSampleBanks(lib.setup));
    const int16_t *loaded = sampleBanks[1].samples[0].data;
    banks::freeSamples(false, lib.setup);
    sampleFileNames[1] = "099 Other";
    banks::publishBankReload(stale);
    EXPECT_EQ(sampleBanks[1].samples[0].data, nullptr) << "another file at that index";
    EXPECT_NE(loaded, nullptr);

    // A file damaged since the load is refused with a message; what was read before stays usable.
    lib.folder.write("012 Noise.smp", "ORVANEX -Quorix    -Samples");
    sampleFileNames[1] = "012 Noise";
    banks::BankReload damaged;
    ASSERT_TRUE(banks::locateBankReload(1, lib.setup, damaged));
    EXPECT_FALSE(banks::readBankReload(damaged, lib.setup));
    banks::publishBankReload(damaged);
    EXPECT_EQ(sampleBanks[1].samples[0].data, nullptr);
    ASSERT_EQ(lib.report.boxes.size(), 1u) << lib.report.boxTexts();
    EXPECT_EQ(lib.report.boxes[0].message, "Samples file is damaged.");
}

TEST_F(SampleBanksTest, ReloadOfAWavetableBringsBackEachZone)
{
    ASSERT_TRUE(content.write(lib.setup.folder, banks::kLittleEndianMark));
    ASSERT_TRUE(banks::loadSampleBanks(lib.setup));
    ASSERT_TRUE(banks::loadWavetables(lib.setup));
    banks::freeSamples(false, lib.setup);
    WaveLocation sines{2, 1};
    EXPECT_TRUE(banks::reloadWavetableSamples(WaveLocation{2, 0}, lib.setup));
    EXPECT_EQ(sampleBanks[0].samples[0].data, nullptr) << "index 0 names no wave";
    EXPECT_TRUE(banks::reloadWavetableSamples(sines, lib.setup));
    EXPECT_NE(sampleBanks[0].samples[0].data, nullptr);
    EXPECT_NE(sampleBanks[0].samples[1].data, nullptr);
    EXPECT_EQ(sampleBanks[1].samples[0].data, nullptr) << "the noise is not in that wavetable";
}

TEST_F(SampleBanksTest, ReloadRefusesARecordThatIsNotPlayable)
{
    banks::BankWriter out(76);
    out.header(banks::BankKind::samples, 1);
    out.i32(1);
    out.i32(0); // rate 0
    out.i32(0);
    out.i32(4);
    out.i16(1);
    out.i16(2);
    lib.write("001 Bad.smp", out.data());
    ASSERT_TRUE(banks::loadSampleBanks(lib.setup));
    EXPECT_FALSE(banks::reloadSample(KeyZone{1, 0, 60, 127}, lib.setup));
    EXPECT_EQ(sampleBanks[0].samples[0].data, nullptr);
}

} // namespace
