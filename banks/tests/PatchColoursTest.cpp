// The patch colour file: codes written and read back held to the browser's range, records
// matched to categories by number, and files the reader refuses.
#include "banks/PatchColours.h"
#include "banks/UserBanks.h"
#include "banks/tests/BankTestLibrary.h"

#include <gtest/gtest.h>

#include <climits>

namespace {

// Categories numbered numbers[i] with sizes[i] patches each, all of colour 0.
void makeCategories(const std::vector<int32_t> &numbers, const std::vector<int32_t> &sizes)
{
    freeLibrary();
    patchCategories = new PatchCategory[banks::kMaxPatchCategories]();
    std::fill(std::begin(patchCategoryIndex), std::end(patchCategoryIndex), banks::kNoIndex);
    numPatchCategories = static_cast<int32_t>(numbers.size());
    for (size_t i = 0; i < numbers.size(); ++i) {
        PatchCategory &c = patchCategories[i];
        c.number = numbers[i];
        c.patches = new PatchRecord[sizes[i]]();
        c.numPatches = c.patchCapacity = sizes[i];
        patchCategoryIndex[numbers[i]] = static_cast<int32_t>(i);
    }
}

std::vector<int16_t> coloursOf(int32_t index)
{
    std::vector<int16_t> out;
    for (int32_t j = 0; j < patchCategories[index].numPatches; ++j)
        out.push_back(patchCategories[index].patches[j].colour);
    return out;
}

struct Record {
    int32_t number;
    std::vector<int16_t> codes;
    int32_t count = -2; // -2: as many as there are codes
};

// A colour file field by field.
std::vector<uint8_t> colourFile(const std::vector<Record> &records, uint8_t mark = banks::kLittleEndianMark,
                                int32_t declared = -1)
{
    banks::BankWriter out(mark);
    out.header(banks::BankKind::patchColour, 1);
    out.i32(declared != -1 ? declared : static_cast<int32_t>(records.size()));
    for (const Record &r : records) {
        out.i32(r.number);
        out.i32(r.count != -2 ? r.count : static_cast<int32_t>(r.codes.size()));
        for (int16_t code : r.codes)
            out.i16(code);
    }
    return out.data();
}

bool readColours(LibraryFolder &lib, const std::vector<uint8_t> &file)
{
    lib.write(banks::kPatchColourFileName, file);
    return banks::loadPatchColours(lib.setup);
}

class PatchColoursTest : public ::testing::Test
{
protected:
    void TearDown() override { freeLibrary(); }
    LibraryFolder lib;
};

} // namespace

TEST_F(PatchColoursTest, WrittenColoursReadBackHeldToTheBrowsersRange)
{
    makeCategories({3, 120}, {4, 2});
    const int16_t set[] = {10, -2, 8, -9};
    for (int j = 0; j < 4; ++j)
        patchCategories[0].patches[j].colour = set[j];
    patchCategories[1].patches[1].colour = 5;
    ASSERT_TRUE(banks::writePatchColours(lib.setup));
    EXPECT_EQ(coloursOf(0), (std::vector<int16_t>{1, 7, 8, 0})) << "the writer keeps what it wrote";

    for (int32_t i = 0; i < 2; ++i)
        for (int32_t j = 0; j < patchCategories[i].numPatches; ++j)
            patchCategories[i].patches[j].colour = 3;
    EXPECT_TRUE(banks::loadPatchColours(lib.setup));
    EXPECT_EQ(coloursOf(0), (std::vector<int16_t>{1, 7, 8, 0}));
    EXPECT_EQ(coloursOf(1), (std::vector<int16_t>{0, 5}));

    // Codes another writer left outside 0..8, in the other byte order.
    EXPECT_TRUE(readColours(lib, colourFile({{3, {10, -2, 9, -11}}}, banks::kBigEndianMark)));
    EXPECT_EQ(coloursOf(0), (std::vector<int16_t>{1, 7, 0, 7}));
    EXPECT_TRUE(lib.report.logged("Kestrane:Quorix: Patch Color endian doesn't matched."));
}

TEST_F(PatchColoursTest, RecordsMeetTheirCategoriesByNumber)
{
    struct Case {
        const char *what;
        std::vector<uint8_t> file;
        std::vector<int16_t> first, second, third;
        const char *logged = nullptr;
        int32_t staleNumber = -1; // a number whose index an earlier load left on category 1
    };
    const Case cases[] = {
        {"fewer records than categories", colourFile({{7, {4, 4}}}), {4, 4}, {0, 0, 0}, {0}},
        {"more codes than patches, then the next record", colourFile({{9, {1, 2, 3, 4, 5}}, {7, {6}}}), {6, 0},
         {1, 2, 3}, {0}},
        {"a number no category carries is skipped",
         colourFile({{50, {8, 8, 8}}, {9, {2}}, {7, {5, 5}}}), {5, 5}, {2, 0, 0}, {0},
         "Kestrane:Quorix: Patch Color file data out of range. ([050]seqn = -1/3)"},
        {"an index left from an earlier load", colourFile({{50, {8, 8, 8}}, {9, {2}}}), {0, 0}, {2, 0, 0}, {0},
         "Kestrane:Quorix: Patch Color file data out of range. ([050]seqn = 1/3)", 50},
        {"records beyond the categories are not read",
         colourFile({{7, {1}}, {9, {1}}, {11, {1}}, {999999, {}}}), {1, 0}, {1, 0, 0}, {1}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        makeCategories({7, 9, 11}, {2, 3, 1});
        if (c.staleNumber >= 0)
            patchCategoryIndex[c.staleNumber] = 1;
        lib.report.clear();
        EXPECT_TRUE(readColours(lib, c.file));
        EXPECT_EQ(coloursOf(0), c.first);
        EXPECT_EQ(coloursOf(1), c.second);
        EXPECT_EQ(coloursOf(2), c.third);
        EXPECT_TRUE(lib.report.boxes.empty());
        if (c.logged) {
            EXPECT_TRUE(lib.report.logged(c.logged));
        }
    }
}

TEST_F(PatchColoursTest, RefusedFilesKeepWhatWasAppliedBeforeTheFault)
{
    std::vector<uint8_t> foreign = colourFile({{7, {1}}}), newer = foreign;
    foreign[25] = 'x';
    newer[40] = 2;
    const std::vector<uint8_t> cut = colourFile({{7, {2, 2}}, {9, {3, 3, 3}}});
    struct Case {
        const char *what;
        std::vector<uint8_t> file;
        const char *box;
        std::vector<int16_t> first;
    };
    const Case cases[] = {
        {"another kind of file", foreign, "Patch Color file ID is not correct.", {0, 0}},
        {"version 2", newer, "Patch Color file version is not supported.", {0, 0}},
        {"a negative record count", colourFile({}, banks::kLittleEndianMark, INT32_MIN), nullptr, {0, 0}},
        {"a number above 999", colourFile({{7, {4, 4}}, {1000, {1}}}), nullptr, {4, 4}},
        {"a negative number", colourFile({{7, {4, 4}}, {-1, {1}}}), nullptr, {4, 4}},
        {"a negative patch count", colourFile({{7, {4, 4}}, {9, {}, -1}}), nullptr, {4, 4}},
        {"cut in the codes", std::vector<uint8_t>(cut.begin(), cut.end() - 3), nullptr, {2, 2}},
        {"cut in the head", std::vector<uint8_t>(cut.begin(), cut.begin() + 41), nullptr, {0, 0}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        makeCategories({7, 9, 11}, {2, 3, 1});
        lib.report.clear();
        EXPECT_FALSE(readColours(lib, c.file));
        EXPECT_EQ(coloursOf(0), c.first);
        if (c.box) {
            ASSERT_EQ(lib.report.boxes.size(), 1u);
            EXPECT_EQ(lib.report.boxes[0].message, c.box);
        } else {
            EXPECT_TRUE(lib.report.boxes.empty()) << lib.report.boxTexts();
        }
    }
    makeCategories({7}, {1});
    EXPECT_FALSE(banks::loadPatchColours(lib.setup)) << "no file";
}
