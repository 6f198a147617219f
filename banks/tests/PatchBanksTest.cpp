#include "banks/PatchBanks.h"
#include "banks/tests/BankTestLibrary.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>

namespace {

class PatchBanksTest : public ::testing::Test
{
protected:
    void SetUp() override { freeLibrary(); }
    void TearDown() override { freeLibrary(); }

    LibraryFolder lib;
};

// A patch file built field by field, for variants the writer never makes.
struct PatchFileBytes {
    banks::BankWriter out{76};

    PatchFileBytes(int32_t version, int32_t storedNumber, int32_t numPatches)
    {
        out.header(banks::BankKind::patches, version);
        if (version == 62 || version == 78)
            out.i32(storedNumber);
        out.i32(numPatches);
    }
    // One patch: channels of numValues values each (value v = v / 10000), then globals.
    PatchFileBytes &patch(const char *name, int16_t numChannels, int32_t numValues, int32_t numGlobals,
                          int32_t valuesWritten = -1)
    {
        out.name(name);
        out.i16(0);
        out.i16(numChannels);
        out.i32(0); // payload: not checked on load
        for (int16_t c = 0; c < numChannels; ++c) {
            out.name("Chan");
            out.i32(numValues);
            const int32_t written = valuesWritten < 0 ? numValues : valuesWritten;
            for (int32_t v = 0; v < written; ++v)
                out.f32(static_cast<float>(v) / 10000.0f);
        }
        out.i32(numGlobals);
        for (int32_t g = 0; g < numGlobals; ++g)
            out.f32(static_cast<float>(g + 1));
        return *this;
    }
    const std::vector<uint8_t> &bytes() const { return out.data(); }
};

TEST_F(PatchBanksTest, CategoryLoadsTheSameInEitherByteOrder)
{
    for (uint8_t mark : {banks::kLittleEndianMark, banks::kBigEndianMark}) {
        SCOPED_TRACE(mark);
        freeLibrary();
        LibraryFolder fresh;
        ASSERT_TRUE(TestLibrary::writePatches(fresh.setup.folder, mark));
        ASSERT_TRUE(fresh.folder.read("050 Leads.pth").size() > 0) << "the file name carries the stored number";
        ASSERT_TRUE(banks::loadPatches(fresh.setup));
        EXPECT_TRUE(fresh.report.boxes.empty()) << fresh.report.boxTexts();
        ASSERT_EQ(numPatchCategories, 1);
        const PatchCategory &category = patchCategories[0];
        EXPECT_EQ(category.number, 50);
        EXPECT_STREQ(category.name, "Leads");
        EXPECT_EQ(category.type, 1);
        EXPECT_EQ(patchCategoryIndex[50], 0);
        EXPECT_EQ(patchCategoryIndex[51], banks::kNoIndex);
        ASSERT_EQ(category.numPatches, 2);

        const PatchRecord &single = category.patches[0];
        EXPECT_STREQ(single.name, "Solo") << "a one-channel patch takes its channel's name";
        EXPECT_EQ(single.colour, 1);
        ASSERT_EQ(single.numChannels, 1);
        ASSERT_EQ(single.channels[0].numValues, 727);
        EXPECT_EQ(single.channels[0].values[726], 0.726f);
        EXPECT_EQ(single.channels[0].values[727], 0.0f);
        ASSERT_EQ(single.numGlobalValues, 9);
        EXPECT_EQ(single.globals[3], 0.4f);
        EXPECT_EQ(banks::patchTempo(single), 0.0f);

        const PatchRecord &trio = category.patches[1];
        EXPECT_STREQ(trio.name, "Trio");
        EXPECT_EQ(trio.colour, 4) << "a combination with a sequencer on";
        ASSERT_EQ(trio.numChannels, 3);
        EXPECT_STREQ(trio.channels[2].name, "Keys");
        EXPECT_EQ(banks::patchTempo(trio), 98.0f);
        EXPECT_TRUE(fresh.report.logged("Kestrane:Quorix: Total 2 Patches (Combi 1, Single 1)"));
        EXPECT_EQ(fresh.report.logged("[000 Leads] Patch endian doesn't matched."), mark == banks::kBigEndianMark);

        // What was loaded writes back to the same bytes.
        EXPECT_EQ(banks::encodePatchFile(category, mark).size(), fresh.folder.read("050 Leads.pth").size());
    }
}

TEST_F(PatchBanksTest, ColourFollowsKindAndSequencer)
{
    struct Case {
        int16_t channels;
        float seqOn; // of the second channel, or the only one
        int16_t colour;
    };
    const Case cases[] = {{0, 0.0f, 1}, {1, 0.9f, 3}, {3, 0.6f, 4}, {3, 0.5f, 2}, {2, NAN, 2}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.channels);
        freeLibrary();
        LibraryFolder fresh;
        PatchFileBytes file(1, 0, 1);
        file.out.name("P");
        file.out.i16(7);
        file.out.i16(c.channels);
        file.out.i32(0);
        for (int16_t ch = 0; ch < c.channels; ++ch) {
            file.out.name("C");
            file.out.i32(21);
            for (int v = 0; v < 21; ++v)
                file.out.f32(v == banks::kSeqOnValue && ch == std::min<int16_t>(1, c.channels - 1) ? c.seqOn : 0.0f);
        }
        file.out.i32(0);
        fresh.write("010 Colours.pth", file.bytes());
        ASSERT_TRUE(banks::loadPatches(fresh.setup));
        EXPECT_EQ(patchCategories[0].patches[0].colour, c.colour);
        EXPECT_EQ(patchCategories[0].type, 4);
    }
}

TEST_F(PatchBanksTest, OversizedRecordsAreCutAndTheNextPatchIsReadInPlace)
{
    PatchFileBytes file(46, 0, 2);
    file.patch("Long", 1, 2000, 12).patch("Next", 2, 3, 5);
    lib.write("020 Big.pth", file.bytes());
    ASSERT_TRUE(banks::loadPatches(lib.setup)) << lib.report.boxTexts();
    const PatchRecord &cut = patchCategories[0].patches[0];
    EXPECT_EQ(cut.channels[0].numValues, banks::kChannelProgramValues);
    EXPECT_EQ(cut.channels[0].values[1788], 0.1788f);
    EXPECT_EQ(cut.numGlobalValues, 9);
    EXPECT_EQ(cut.globals[8], 9.0f);
    const PatchRecord &next = patchCategories[0].patches[1];
    EXPECT_STREQ(next.name, "Next");
    ASSERT_EQ(next.numChannels, 2);
    EXPECT_EQ(next.channels[1].values[2], 0.0002f);
    EXPECT_EQ(next.numGlobalValues, 5);
    EXPECT_EQ(banks::patchTempo(next), 0.0f) << "no tempo without a ninth global";
}

TEST_F(PatchBanksTest, OtherVersionsAndMismatchedNumbersLeaveOnlyTheirCategoryEmpty)
{
    lib.write("001 V2.pth", PatchFileBytes(2, 0, 1).patch("A", 1, 1, 9).bytes());
    lib.write("002 Wrong.pth", PatchFileBytes(62, 13, 1).patch("B", 1, 1, 9).bytes());
    lib.write("003 Right.pth", PatchFileBytes(78, 3, 1).patch("C", 1, 1, 9).bytes());
    lib.write("004 Old.pth", PatchFileBytes(1, 0, 1).patch("D", 1, 1, 9).bytes());
    ASSERT_TRUE(banks::loadPatches(lib.setup));
    EXPECT_TRUE(lib.report.boxes.empty());
    EXPECT_TRUE(lib.report.logged("000 V2 : patch file version not supported. (2)"));
    ASSERT_EQ(numPatchCategories, 4);
    const int32_t expected[] = {0, 0, 1, 1};
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(patchCategories[i].number, i + 1);
        EXPECT_EQ(patchCategories[i].numPatches, expected[i]);
        EXPECT_EQ(patchCategoryIndex[i + 1], i);
    }
}

TEST_F(PatchBanksTest, ADamagedFileIsAnEmptyCategoryAndTheNextIsReadAllTheSame)
{
    struct Case {
        const char *what;
        std::vector<uint8_t> bytes;
        const char *box;
    };
    std::vector<uint8_t> cut = PatchFileBytes(78, 2, 2).patch("A", 1, 10, 9).patch("B", 2, 10, 9).bytes();
    cut.resize(cut.size() - 50);
    std::vector<uint8_t> wrongMagic = PatchFileBytes(78, 2, 0).bytes();
    wrongMagic[9] = 'q';
    const Case cases[] = {
        {"wrong magic", wrongMagic, "Patches file ID is not correct."},
        {"negative count", PatchFileBytes(78, 2, -1).bytes(), "Patches file is damaged."},
        {"count 129", PatchFileBytes(78, 2, 129).bytes(), "Too many patches in a category."},
        {"count the file cannot hold", PatchFileBytes(78, 2, 100).patch("A", 1, 1, 9).bytes(),
         "Patches file is damaged."},
        {"17 channels", PatchFileBytes(78, 2, 2).patch("A", 1, 1, 9).patch("B", 17, 1, 9).bytes(),
         "Too many channels in a patch."},
        {"negative channels", PatchFileBytes(78, 2, 2).patch("A", 1, 1, 9).patch("B", -2, 1, 9).bytes(),
         "Patches file is damaged."},
        {"negative values", PatchFileBytes(78, 2, 2).patch("A", 1, 1, 9).patch("B", 1, -5, 9).bytes(),
         "Patches file is damaged."},
        {"huge values", PatchFileBytes(78, 2, 2).patch("A", 1, 1, 9).patch("B", 1, 0x40000000, 9, 3).bytes(),
         "Patches file is damaged."},
        {"negative globals", PatchFileBytes(78, 2, 2).patch("A", 1, 1, 9).patch("B", 1, 1, -1).bytes(),
         "Patches file is damaged."},
        {"cut in the last patch", cut, "Patches file is damaged."},
        {"cut in the stored number", std::vector<uint8_t>(cut.begin(), cut.begin() + 46),
         "Patches file is damaged."},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        freeLibrary();
        LibraryFolder fresh;
        fresh.write("001 Good.pth", PatchFileBytes(78, 1, 1).patch("G", 1, 5, 9).bytes());
        fresh.write("002 Bad.pth", c.bytes);
        fresh.write("003 After.pth", PatchFileBytes(78, 3, 1).patch("H", 1, 5, 9).bytes());

        EXPECT_FALSE(banks::loadPatches(fresh.setup));
        ASSERT_EQ(fresh.report.boxes.size(), 1u) << fresh.report.boxTexts();
        EXPECT_EQ(fresh.report.boxes[0].message, c.box);
        EXPECT_EQ(fresh.report.boxes[0].detail, fresh.folder.path("002 Bad.pth"));
        ASSERT_EQ(numPatchCategories, 3);
        EXPECT_EQ(patchCategories[0].numPatches, 1) << "the category before stays";
        const PatchCategory &bad = patchCategories[1];
        EXPECT_EQ(bad.numPatches, 0) << "nothing half read is kept";
        EXPECT_EQ(bad.patches, nullptr);
        EXPECT_EQ(bad.number, 2);
        EXPECT_EQ(patchCategoryIndex[2], 1);
        EXPECT_EQ(banks::patchForRecall(1, 0, nullptr), nullptr);
        EXPECT_EQ(patchCategories[2].numPatches, 1) << "the file after the damaged one is read";
        EXPECT_EQ(patchCategoryIndex[3], 2);
        EXPECT_NE(banks::patchForRecall(patchCategoryIndex[3], 0, nullptr), nullptr);
    }
}

TEST_F(PatchBanksTest, NumberOutsideTheTableKeepsItsSlotAndTheNextFileLoads)
{
    lib.write("-12 Neg.pth", PatchFileBytes(1, 0, 0).bytes());
    lib.write("005 Later.pth", PatchFileBytes(1, 5, 1).patch("L", 1, 5, 9).bytes());
    EXPECT_FALSE(banks::loadPatches(lib.setup));
    ASSERT_EQ(lib.report.boxes.size(), 1u);
    EXPECT_EQ(lib.report.boxes[0].message, "Patches file No. is overflow.");
    EXPECT_EQ(numPatchCategories, 2);
    EXPECT_EQ(patchCategories[0].numPatches, 0);
    EXPECT_EQ(patchCategoryIndex[5], 1);
    EXPECT_EQ(patchCategories[1].numPatches, 1);
}

TEST_F(PatchBanksTest, RecallFindsOnlyPatchesThatExist)
{
    lib.write("001 Two.pth", PatchFileBytes(1, 0, 2).patch("A", 1, 1, 9).patch("B", 1, 1, 9).bytes());
    lib.write("002 None.pth", PatchFileBytes(1, 0, 0).bytes());
    ASSERT_TRUE(banks::loadPatches(lib.setup));
    struct Case {
        int32_t category, patch;
        int32_t expected; // clamped index, -1 none
    };
    const Case cases[] = {{0, 0, 0}, {0, 1, 1}, {0, 200, 1}, {0, -1, -1}, {1, 0, -1},
                          {2, 0, -1}, {-1, 0, -1}, {127, 0, -1}};
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.category << "/" << c.patch);
        int32_t clamped = -7;
        const PatchRecord *patch = banks::patchForRecall(c.category, c.patch, &clamped);
        if (c.expected < 0) {
            EXPECT_EQ(patch, nullptr);
        } else {
            ASSERT_NE(patch, nullptr);
            EXPECT_EQ(clamped, c.expected);
            EXPECT_EQ(patch, &patchCategories[c.category].patches[c.expected]);
        }
    }
}

TEST_F(PatchBanksTest, StoreGrowsAFileSizedTableUpTo128)
{
    lib.write("001 Three.pth", PatchFileBytes(1, 0, 3).patch("A", 1, 1, 9).patch("B", 1, 1, 9).patch("C", 1, 1, 9).bytes());
    ASSERT_TRUE(banks::loadPatches(lib.setup));
    PatchCategory &category = patchCategories[0];
    EXPECT_EQ(category.patchCapacity, 3);

    bool appended = true;
    PatchRecord *replaced = banks::patchForStore(category, 1, &appended);
    ASSERT_EQ(replaced, &category.patches[1]);
    EXPECT_FALSE(appended);
    EXPECT_EQ(replaced->channels, nullptr) << "the old contents are freed";

    for (int32_t n = 3; n < banks::kMaxPatchesPerCategory; ++n) {
        PatchRecord *added = banks::patchForStore(category, n % 2 ? -1 : n, &appended);
        ASSERT_NE(added, nullptr) << n;
        ASSERT_TRUE(appended);
        ASSERT_EQ(added, &category.patches[n]);
        added->numGlobalValues = 1;
        added->globals = new float[1]{static_cast<float>(n)};
        ++category.numPatches;
    }
    ASSERT_EQ(category.patches[2].numChannels, 1) << "earlier patches move with the table";
    EXPECT_STREQ(category.patches[2].channels[0].name, "Chan");
    EXPECT_EQ(category.patches[100].globals[0], 100.0f);
    EXPECT_EQ(banks::patchForStore(category, -1, &appended), nullptr) << "128 patches: no room";
    EXPECT_FALSE(appended);
    EXPECT_EQ(category.numPatches, 128);
    EXPECT_LE(category.patchCapacity, 128);
}

// A store into a table that renders read takes its larger table from a room made beforehand and
// leaves there what it replaced, so the table changes by moving pointers alone.
TEST_F(PatchBanksTest, AStoreWithRoomMovesOnlyPointers)
{
    lib.write("001 Three.pth", PatchFileBytes(1, 0, 3).patch("A", 1, 1, 9).patch("B", 1, 1, 9).patch("C", 1, 1, 9).bytes());
    ASSERT_TRUE(banks::loadPatches(lib.setup));
    PatchCategory &category = patchCategories[0];
    ChannelProgram *const kept = category.patches[1].channels;
    ASSERT_NE(kept, nullptr);

    const int32_t growth = banks::patchTableGrowth(category, -1);
    EXPECT_EQ(growth, 6);
    banks::PatchStoreRoom room;
    ASSERT_TRUE(banks::makePatchStoreRoom(growth, room));
    PatchRecord *const prepared = room.table;
    PatchRecord *const old = category.patches;
    bool appended = false;
    EXPECT_EQ(banks::patchForStore(category, -1, &appended, room), &prepared[3]);
    EXPECT_TRUE(appended);
    EXPECT_EQ(category.patches, prepared) << "the prepared table is taken";
    EXPECT_EQ(category.patchCapacity, 6);
    EXPECT_EQ(room.table, old) << "the old table is freed with the room";
    EXPECT_EQ(category.patches[1].channels, kept) << "the records move, their contents stay";
    ++category.numPatches;

    EXPECT_EQ(banks::patchTableGrowth(category, 1), 0) << "an overwrite needs no room";
    banks::PatchStoreRoom overwrite;
    PatchRecord *replaced = banks::patchForStore(category, 1, &appended, overwrite);
    EXPECT_FALSE(appended);
    EXPECT_EQ(replaced->channels, nullptr);
    EXPECT_EQ(overwrite.replaced.channels, kept) << "the old contents are freed with the room";

    // A room made before the category grew is too small: the store makes its own table.
    banks::PatchStoreRoom small;
    ASSERT_TRUE(banks::makePatchStoreRoom(1, small));
    for (int32_t n = 4; n < 6; ++n) {
        ASSERT_EQ(banks::patchForStore(category, -1, &appended, small), &category.patches[n]);
        ++category.numPatches;
    }
    const PatchRecord *grown = banks::patchForStore(category, -1, &appended, small);
    EXPECT_EQ(grown, &category.patches[6]);
    EXPECT_EQ(category.patchCapacity, 12);
    EXPECT_EQ(category.patches[1].channels, nullptr);
    EXPECT_EQ(category.patches[0].numChannels, 1);
}

TEST_F(PatchBanksTest, TempoIsTakenOnlyWhenItIsAPositiveNumber)
{
    struct Case {
        float tempo;
        float expected;
    };
    const Case cases[] = {{98.0f, 98.0f}, {0.0f, 0.0f}, {-120.0f, 0.0f},
                          {std::numeric_limits<float>::quiet_NaN(), 0.0f},
                          {std::numeric_limits<float>::infinity(), 0.0f}};
    for (const Case &c : cases) {
        float globals[9] = {0, 0, 0, 0, 0, 0, 0, 0, c.tempo};
        PatchRecord patch{};
        patch.numGlobalValues = 9;
        patch.globals = globals;
        EXPECT_EQ(banks::patchTempo(patch), c.expected) << c.tempo;
    }
}

} // namespace
