#include "engine/ProgramBlock.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <vector>

using namespace engine;

namespace {

// Writes a field big-endian at its documented offset, as a machine of the other order would.
void putBig(std::vector<uint8_t>& bytes, size_t offset, uint32_t v, int width) {
    for (int i = 0; i < width; ++i)
        bytes[offset + i] = static_cast<uint8_t>(v >> (8 * (width - 1 - i)));
}

uint32_t bitsOf(float f) {
    uint32_t u;
    std::memcpy(&u, &f, 4);
    return u;
}

std::unique_ptr<ProgramBlock> fromBytes(const std::vector<uint8_t>& bytes) {
    auto block = std::make_unique<ProgramBlock>();
    std::memcpy(block.get(), bytes.data(), sizeof(ProgramBlock));
    return block;
}

// A block of the other byte order, built from the documented offsets alone.
std::vector<uint8_t> foreignBlock() {
    std::vector<uint8_t> b(sizeof(ProgramBlock), 0);
    b[0] = 0x42;
    putBig(b, 1, 2, 4);
    std::memcpy(&b[5], "Foreign", 8);
    for (int i = 0; i < kParameterCount; ++i)
        putBig(b, 29 + 4 * i, bitsOf(static_cast<float>(i) / kParameterCount), 4);
    for (int c = 0; c < kChannelCount; ++c) {
        const size_t slot = 114593 + 32 * c;
        std::memcpy(&b[slot], "Chan", 5);
        putBig(b, slot + 24, static_cast<uint32_t>(c + 100), 2);
        putBig(b, slot + 26, static_cast<uint32_t>(-c) & 0xFFFF, 2);
        b[slot + 28] = 0xAB; // reserved bytes stay as found
        b[slot + 31] = 0xCD;
    }
    putBig(b, 115105, bitsOf(90.0f), 4);
    b[115109] = 1;
    putBig(b, 115110, 3, 4);
    putBig(b, 115114, 9, 4);
    for (int c = 0; c < kChannelCount; ++c)
        putBig(b, 115118 + 4 * c, static_cast<uint32_t>(c * 4), 4);
    putBig(b, 115182, 1, 2);
    putBig(b, 115184, 9, 4);
    for (int p = 0; p < 12; ++p)
        putBig(b, 115188 + 4 * p, static_cast<uint32_t>(p - 6), 4);
    return b;
}

} // namespace

TEST(ProgramBlock, ForeignBlockReadsRightAfterConversion) {
    auto block = fromBytes(foreignBlock());
    swapProgramByteOrder(block.get(), 1);

    EXPECT_EQ(+block->byteOrder, kByteOrderMark);
    EXPECT_EQ(+block->formatWord, 2);
    EXPECT_STREQ(block->name, "Foreign");
    for (int i = 0; i < kParameterCount; i += 97)
        ASSERT_EQ(+block->values[i], static_cast<float>(i) / kParameterCount) << i;
    EXPECT_EQ(+block->values[kParameterCount - 1], static_cast<float>(kParameterCount - 1) / kParameterCount);
    for (int c = 0; c < kChannelCount; ++c) {
        EXPECT_STREQ(block->channels[c].name, "Chan");
        EXPECT_EQ(+block->channels[c].sourceCategory, c + 100);
        EXPECT_EQ(+block->channels[c].sourcePatch, -c);
        EXPECT_EQ(+block->channels[c].reserved[0], 0xAB);
        EXPECT_EQ(+block->channels[c].reserved[3], 0xCD);
        EXPECT_EQ(+block->selectedDrumSlot[c], c * 4);
    }
    EXPECT_EQ(+block->tempo, 90.0f);
    EXPECT_EQ(+block->useHostTempo, 1);
    EXPECT_EQ(+block->returnPage, 3);
    EXPECT_EQ(+block->currentChannel, 9);
    EXPECT_EQ(+block->reserved, 1);
    EXPECT_EQ(+block->tuning.temperament, 9);
    for (int p = 0; p < 12; ++p)
        EXPECT_EQ(+block->tuning.offsets[p], p - 6);
}

TEST(ProgramBlock, OwnOrderIsLeftAloneAndTwoConversionsRestore) {
    auto native = fromBytes(foreignBlock());
    native->byteOrder = kByteOrderMark;
    std::vector<uint8_t> before(sizeof(ProgramBlock));
    std::memcpy(before.data(), native.get(), before.size());
    swapProgramByteOrder(native.get(), 1);
    EXPECT_EQ(std::memcmp(before.data(), native.get(), before.size()), 0);

    // Two blocks in a row, both of the other order; then back again.
    std::vector<uint8_t> pair(2 * sizeof(ProgramBlock));
    const std::vector<uint8_t> foreign = foreignBlock();
    std::memcpy(pair.data(), foreign.data(), foreign.size());
    std::memcpy(pair.data() + foreign.size(), foreign.data(), foreign.size());
    auto blocks = std::make_unique<ProgramBlock[]>(2);
    std::memcpy(blocks.get(), pair.data(), pair.size());
    swapProgramByteOrder(blocks.get(), 2);
    EXPECT_EQ(+blocks[1].tempo, 90.0f);
    blocks[0].byteOrder = 0x42;
    blocks[1].byteOrder = 0x42;
    swapProgramByteOrder(blocks.get(), 2);
    blocks[0].byteOrder = 0x42;
    blocks[1].byteOrder = 0x42;
    EXPECT_EQ(std::memcmp(blocks.get(), pair.data(), pair.size()), 0);

    swapProgramByteOrder(blocks.get(), 0); // nothing
    swapProgramByteOrder(nullptr, 3);      // nothing, no crash
}

TEST(ProgramBlock, SanitizeMakesAnOutsideBlockSafe) {
    auto block = std::make_unique<ProgramBlock>();
    std::memset(block.get(), 'x', sizeof(ProgramBlock)); // no terminator anywhere
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    const struct {
        int index;
        float in, out;
    } values[] = {{0, nan, 0.0f}, {1, -nan, 0.0f}, {2, inf, 1.0f}, {3, -inf, 0.0f},
                  {4, -0.5f, 0.0f}, {5, 1.5f, 1.0f}, {6, 0.25f, 0.25f}, {28640, 7.0f, 1.0f}};
    for (int i = 0; i < kParameterCount; ++i)
        block->values[i] = 0.5f;
    for (const auto& v : values)
        block->values[v.index] = v.in;
    block->currentChannel = 16;
    block->selectedDrumSlot[3] = 65;
    block->selectedDrumSlot[4] = -1;
    block->tuning.temperament = 99;
    for (int p = 0; p < 12; ++p)
        block->tuning.offsets[p] = 0;
    block->tuning.offsets[0] = 100;
    block->tuning.offsets[11] = -1000;

    EXPECT_GT(sanitizeProgramBlock(*block), 0);
    for (const auto& v : values)
        EXPECT_EQ(+block->values[v.index], v.out) << v.index;
    EXPECT_EQ(std::strlen(block->name), 23u);
    for (const ChannelSlot& slot : block->channels)
        EXPECT_EQ(std::strlen(slot.name), 23u);
    EXPECT_EQ(+block->currentChannel, 0);
    EXPECT_EQ(+block->selectedDrumSlot[3], 0);
    EXPECT_EQ(+block->selectedDrumSlot[4], 0);
    EXPECT_EQ(+block->tuning.temperament, 0);
    EXPECT_EQ(+block->tuning.offsets[0], 99);
    EXPECT_EQ(+block->tuning.offsets[11], -99);
    EXPECT_EQ(sanitizeProgramBlock(*block), 0); // a safe block stays as it is
}

TEST(ProgramBlock, CopyNameCutsAndTerminates) {
    char field[24];
    std::memset(field, '#', sizeof field);
    copyName(field, sizeof field, "A name that is far longer than twenty-three");
    EXPECT_EQ(std::string(field), "A name that is far long");
    copyName(field, sizeof field, nullptr);
    EXPECT_STREQ(field, "");
}
