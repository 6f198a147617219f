#include "banks/Wavetables.h"
#include "banks/tests/BankTestLibrary.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

class WavetablesTest : public ::testing::Test
{
protected:
    void SetUp() override { freeLibrary(); }
    void TearDown() override { freeLibrary(); }

    // A melody category of `count` wavetables, each with one zone naming sample `position`.
    static bool writeCategory(const podoStr &folder, int32_t number, int32_t count)
    {
        std::vector<KeyZone> zones;
        std::vector<banks::WavetableSource> tables;
        std::vector<std::string> names;
        for (int32_t i = 0; i < count; ++i) {
            zones.push_back(KeyZone{1, static_cast<int16_t>(i), 60, 127});
            names.push_back("W" + std::to_string(i));
        }
        for (int32_t i = 0; i < count; ++i)
            tables.push_back({names[static_cast<size_t>(i)].c_str(), true, &zones[static_cast<size_t>(i)], 1});
        return banks::writeWavetableCategory(folder, number, "C", false, tables.data(), count, 76);
    }

    LibraryFolder lib;
    TestLibrary content;
};

TEST_F(WavetablesTest, CategoriesLoadTheSameInEitherByteOrder)
{
    for (uint8_t mark : {banks::kLittleEndianMark, banks::kBigEndianMark}) {
        SCOPED_TRACE(mark);
        LibraryFolder fresh;
        ASSERT_TRUE(content.write(fresh.setup.folder, mark));
        ASSERT_TRUE(banks::loadWavetables(fresh.setup));
        EXPECT_TRUE(fresh.report.boxes.empty()) << fresh.report.boxTexts();
        ASSERT_EQ(numWavetableCategories, 2);
        const WavetableCategory &melody = wavetableCategories[0];
        EXPECT_EQ(melody.number, 2);
        EXPECT_STREQ(melody.name, "Melodic");
        EXPECT_EQ(melody.kind, 0);
        ASSERT_EQ(melody.count, 2);
        EXPECT_STREQ(melody.wavetables[0].name, "Sines");
        EXPECT_EQ(melody.wavetables[0].keyFollow, 1);
        ASSERT_EQ(melody.wavetables[0].numWaves, 2);
        const KeyZone &high = melody.wavetables[0].zones[1];
        EXPECT_EQ(high.sampleBank, 3);
        EXPECT_EQ(high.sample, 1);
        EXPECT_EQ(high.rootKey, 72);
        EXPECT_EQ(high.upperKey, 84);
        EXPECT_EQ(melody.wavetables[1].numWaves, 0);
        EXPECT_EQ(melody.wavetables[1].zones, nullptr);
        EXPECT_EQ(wavetableCategories[1].kind, 1) << "the writer stores 1 for a drum category";
        EXPECT_EQ(wavetableCategoryIndex[40], 1);
        EXPECT_TRUE(fresh.report.logged("Kestrane:Quorix: Total 3 Wavetables (Melody 2, Drum 1)"));
    }
}

TEST_F(WavetablesTest, StoredBytesAreTakenLeniently)
{
    // Key-follow byte 2, kind 5, root keys outside the key range.
    banks::BankWriter out(76);
    out.header(banks::BankKind::wavetables, 1);
    out.i32(5);
    out.i32(1);
    out.name("Wide");
    out.u8(2);
    out.i16(2);
    for (int16_t v : {1, 0, 200, 60, 1, 1, -5, 127})
        out.i16(v);
    lib.write("007 Odd.wvt", out.data());
    ASSERT_TRUE(banks::loadWavetables(lib.setup));
    const WavetableRecord &w = wavetableCategories[0].wavetables[0];
    EXPECT_EQ(wavetableCategories[0].kind, 5) << "any kind but 0 is a drum category";
    EXPECT_EQ(w.keyFollow, 1);
    EXPECT_EQ(w.zones[0].rootKey, 127);
    EXPECT_EQ(w.zones[1].rootKey, 0);
    EXPECT_EQ(w.zones[0].upperKey, 60) << "upper keys are kept as stored";
}

TEST_F(WavetablesTest, WaveNumbersBecomeLocations)
{
    ASSERT_TRUE(writeCategory(lib.setup.folder, 0, 3));
    ASSERT_TRUE(writeCategory(lib.setup.folder, 127, 128));
    ASSERT_TRUE(writeCategory(lib.setup.folder, 300, 5)); // loaded, but no wave number reaches it
    ASSERT_TRUE(banks::loadWavetables(lib.setup));
    ASSERT_EQ(numWavetableCategories, 3);
    struct Case {
        int32_t waveNumber;
        int16_t category, index;
    };
    const Case cases[] = {
        {0, 0, 0},        {1, 0, 1},         {3, 0, 3},
        {4, 0, 0},        // position 3 of a category of 3
        {16384, 127, 128}, {16257, 127, 1},
        {16385, 0, 0},    {-1, 0, 0},        {0x7FFFFFFF, 0, 0},
        // Category 5 is carried by no file: it resolves through index 0 (the first category).
        {5 * 128 + 2, 0, 2}, {5 * 128 + 4, 0, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.waveNumber);
        WaveLocation location{-7, -7};
        banks::waveLocation(c.waveNumber, &location);
        EXPECT_EQ(location.category, c.category);
        EXPECT_EQ(location.index, c.index);
    }
}

TEST_F(WavetablesTest, ZonesAreFoundByUpperKey)
{
    ASSERT_TRUE(content.write(lib.setup.folder, 76));
    ASSERT_TRUE(banks::loadWavetables(lib.setup));
    const WaveLocation sines{2, 1}, empty{2, 2};
    struct Case {
        int32_t key;
        int16_t rootKey; // of the zone found; -1 none
    };
    const Case cases[] = {{0, 48}, {59, 48}, {60, 72}, {84, 72}, {85, -1}, {127, -1}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.key);
        const KeyZone *zone = banks::findZone(sines, c.key);
        if (c.rootKey < 0) {
            EXPECT_EQ(zone, nullptr);
        } else {
            ASSERT_NE(zone, nullptr);
            EXPECT_EQ(zone->rootKey, c.rootKey);
        }
        EXPECT_EQ(banks::findZone(empty, c.key), nullptr);
    }
    for (const WaveLocation &stale :
         {WaveLocation{2, 0}, WaveLocation{2, 3}, WaveLocation{-2, 1}, WaveLocation{1000, 1}, WaveLocation{2, -1}}) {
        SCOPED_TRACE(stale.index);
        EXPECT_EQ(banks::findZone(stale, 60), nullptr);
    }

    // After a reload without category 2, a kept location never reads the freed tables.
    LibraryFolder other;
    ASSERT_TRUE(writeCategory(other.setup.folder, 9, 1));
    ASSERT_TRUE(banks::loadWavetables(other.setup));
    EXPECT_EQ(banks::findZone(WaveLocation{2, 2}, 60), nullptr);
    ASSERT_NE(banks::findZone(WaveLocation{2, 1}, 60), nullptr) << "category 2 now resolves through index 0";
    EXPECT_EQ(banks::findZone(WaveLocation{2, 1}, 60)->sample, 0);
}

std::vector<uint8_t> categoryBytes(const std::function<void(banks::BankWriter &)> &body, int32_t version = 1)
{
    banks::BankWriter out(76);
    out.header(banks::BankKind::wavetables, version);
    body(out);
    return out.data();
}

void wavetable(banks::BankWriter &out, int16_t numWaves, int16_t zonesWritten)
{
    out.name("T");
    out.u8(1);
    out.i16(numWaves);
    for (int16_t z = 0; z < zonesWritten; ++z)
        for (int16_t v : {1, 0, 60, 127})
            out.i16(v);
}

TEST_F(WavetablesTest, ADamagedFileIsAnEmptyCategoryAndTheNextIsReadAllTheSame)
{
    struct Case {
        const char *what;
        std::vector<uint8_t> bytes;
        const char *box;
    };
    std::vector<uint8_t> wrongMagic = categoryBytes([](banks::BankWriter &out) { out.i32(0), out.i32(0); });
    wrongMagic[30] = '!';
    const Case cases[] = {
        {"wrong magic", wrongMagic, "Wavetables file ID is not correct."},
        {"version 3", categoryBytes([](banks::BankWriter &out) { out.i32(0), out.i32(0); }, 3),
         "Wavetables file version is not supported."},
        {"no count", categoryBytes([](banks::BankWriter &out) { out.i32(0); }), "Wavetables file is damaged."},
        {"negative count", categoryBytes([](banks::BankWriter &out) { out.i32(0), out.i32(-3); }),
         "Wavetables file is damaged."},
        {"count 129", categoryBytes([](banks::BankWriter &out) { out.i32(0), out.i32(129); }),
         "too many wavetables in a category."},
        {"count the file cannot hold",
         categoryBytes([](banks::BankWriter &out) {
             out.i32(0), out.i32(100);
             wavetable(out, 1, 1);
         }),
         "Wavetables file is damaged."},
        {"17 zones",
         categoryBytes([](banks::BankWriter &out) {
             out.i32(0), out.i32(2);
             wavetable(out, 1, 1);
             wavetable(out, 17, 17);
         }),
         "Too many waves in a wavetables."},
        {"negative zones",
         categoryBytes([](banks::BankWriter &out) {
             out.i32(0), out.i32(2);
             wavetable(out, 1, 1);
             wavetable(out, -1, 0);
         }),
         "Wavetables file is damaged."},
        {"zones cut short",
         categoryBytes([](banks::BankWriter &out) {
             out.i32(0), out.i32(2);
             wavetable(out, 1, 1);
             wavetable(out, 3, 2);
         }),
         "Wavetables file is damaged."},
        {"ends in a record head",
         categoryBytes([](banks::BankWriter &out) {
             out.i32(0), out.i32(2);
             wavetable(out, 1, 1);
             out.name("T");
         }),
         "Wavetables file is damaged."},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        LibraryFolder fresh;
        ASSERT_TRUE(writeCategory(fresh.setup.folder, 1, 2));
        fresh.write("002 Bad.wvt", c.bytes);
        ASSERT_TRUE(writeCategory(fresh.setup.folder, 3, 2));

        EXPECT_FALSE(banks::loadWavetables(fresh.setup));
        ASSERT_EQ(fresh.report.boxes.size(), 1u) << fresh.report.boxTexts();
        EXPECT_EQ(fresh.report.boxes[0].message, c.box);
        ASSERT_EQ(numWavetableCategories, 3);
        EXPECT_NE(banks::findZone(WaveLocation{1, 2}, 60), nullptr) << "the category before stays";
        const WavetableCategory &bad = wavetableCategories[1];
        EXPECT_EQ(bad.count, 0) << "nothing half read is kept";
        EXPECT_EQ(bad.wavetables, nullptr);
        EXPECT_EQ(wavetableCategories[2].count, 2) << "the file after the damaged one is read";
        // Category 3 keeps its own wave numbers.
        WaveLocation location{};
        banks::waveLocation(3 * 128 + 1, &location);
        EXPECT_EQ(location.category, 3);
        EXPECT_NE(banks::findZone(location, 60), nullptr);
        banks::freeWavetables(fresh.setup);
    }
}

TEST_F(WavetablesTest, CountLimitsAreInclusive)
{
    ASSERT_TRUE(writeCategory(lib.setup.folder, 1, 128));
    std::vector<KeyZone> zones(16, KeyZone{1, 0, 60, 127});
    const banks::WavetableSource full[] = {{"Full", false, zones.data(), 16}};
    ASSERT_TRUE(banks::writeWavetableCategory(lib.setup.folder, 2, "Sixteen", true, full, 1, 66));
    ASSERT_TRUE(banks::writeWavetableCategory(lib.setup.folder, 3, "None", false, nullptr, 0, 76));
    ASSERT_TRUE(banks::loadWavetables(lib.setup)) << lib.report.boxTexts();
    EXPECT_EQ(wavetableCategories[0].count, 128);
    EXPECT_EQ(wavetableCategories[1].wavetables[0].numWaves, 16);
    EXPECT_EQ(wavetableCategories[2].count, 0);
}

TEST_F(WavetablesTest, NoFilesIsAnEmptyLibrary)
{
    ASSERT_TRUE(banks::loadWavetables(lib.setup));
    EXPECT_EQ(numWavetableCategories, 0);
    EXPECT_TRUE(lib.report.boxes.empty());
    WaveLocation location{5, 5};
    banks::waveLocation(1, &location);
    EXPECT_EQ(location.index, 0);
    EXPECT_EQ(banks::findZone(WaveLocation{0, 1}, 60), nullptr);
}

} // namespace
