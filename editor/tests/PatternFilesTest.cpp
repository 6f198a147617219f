// Lane and pattern files: raw copies of a channel's sequencer values with the writer's byte-order byte,
// read into any lane or channel, swapped from the other byte order, and never trusted beyond 0..1.
#include "editor/PatternFiles.h"
#include "editorFilesTestSupport.h"
#include "engine/ParameterIndex.h"
#include "engine/ProgramBlock.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

using namespace edfiles;
using namespace patternFiles;

namespace {

int32_t index(int32_t channel, int32_t local) { return channel * engine::kChannelParameterCount + local; }
int32_t laneFirst(int32_t channel, int32_t lane) { return index(channel, 48 + 130 * lane); }

podoStr pathOf(const std::string &file) { return podoStr(file.c_str()); }

// A recognisable value for each parameter of a range.
void fill(Engine &engine, int32_t first, int32_t count, float seed)
{
    for (int32_t i = 0; i < count; ++i)
        engine.setValueAt(first + i, std::fmod(seed + 0.001f * float(i), 1.0f));
}

std::vector<float> values(Engine &engine, int32_t first, int32_t count)
{
    return engine.valuesAt(first, count);
}

} // namespace

TEST(PatternFiles, ALaneLoadsIntoAnyLaneOfAnyChannel)
{
    Engine engine;
    Folder folder;
    fill(engine, laneFirst(1, 2), laneValueCount, 0.25f);
    const std::vector<float> saved = values(engine, laneFirst(1, 2), laneValueCount);
    ASSERT_EQ(writeLaneFile(&engine, pathOf(folder.file("new/a.lan")), 1, 2), 0);
    const std::vector<uint8_t> bytes = readBytes(folder.file("new/a.lan"));
    ASSERT_EQ(bytes.size(), size_t(laneFileSize));
    EXPECT_EQ(bytes[0], 0x4C);
    EXPECT_EQ(std::memcmp(bytes.data() + 1, saved.data(), 520), 0);

    const std::vector<float> neighbours = values(engine, laneFirst(5, 3), laneValueCount);
    ASSERT_EQ(readLaneFile(&engine, pathOf(folder.file("new/a.lan")), 5, 4), 0);
    EXPECT_EQ(values(engine, laneFirst(5, 4), laneValueCount), saved) << "steps, on state and base";
    EXPECT_EQ(values(engine, laneFirst(5, 3), laneValueCount), neighbours);
}

TEST(PatternFiles, APatternIsTheChannelsSequencerAndShowsPartZero)
{
    Engine engine;
    Folder folder;
    const int32_t first = index(2, engine::local::SeqOn);
    fill(engine, first, patternValueCount, 0.5f);
    const std::vector<float> saved = values(engine, first, patternValueCount);
    ASSERT_EQ(writePatternFile(&engine, pathOf(folder.file("p.ptn")), 2), 0);
    EXPECT_EQ(readBytes(folder.file("p.ptn")).size(), size_t(patternFileSize));

    ASSERT_EQ(readPatternFile(&engine, pathOf(folder.file("p.ptn")), 9), 0);
    std::vector<float> expected = saved;
    expected[engine::local::SeqPart - engine::local::SeqOn] = 0.0f;
    EXPECT_EQ(values(engine, index(9, engine::local::SeqOn), patternValueCount), expected);
    EXPECT_EQ(engine.valueAt(index(9, engine::local::LastLane + 1)), engine.valueAt(index(8, engine::local::LastLane + 1)))
        << "nothing past the sequencer";
}

// Files come from other machines and other hands: swapped, cut short, or holding no numbers at all.
TEST(PatternFiles, ReadValuesAreSwappedAndHeldToTheirRange)
{
    Engine engine;
    Folder folder;
    const int32_t first = laneFirst(0, 1);
    fill(engine, first, laneValueCount, 0.1f);
    const std::vector<float> before = values(engine, first, laneValueCount);

    // The other byte order: every value reversed.
    std::vector<uint8_t> swapped{0x42};
    const float written[3] = {0.5f, 0.75f, 0.125f};
    for (float v : written) {
        uint8_t b[4];
        std::memcpy(b, &v, 4);
        swapped.insert(swapped.end(), {b[3], b[2], b[1], b[0]});
    }
    writeBytes(folder.file("be.lan"), swapped);
    ASSERT_EQ(readLaneFile(&engine, pathOf(folder.file("be.lan")), 0, 1), 0);
    std::vector<float> expected = before;
    expected[0] = 0.5f, expected[1] = 0.75f, expected[2] = 0.125f;
    EXPECT_EQ(values(engine, first, laneValueCount), expected) << "a short file leaves the rest";

    // Not numbers and numbers out of range.
    std::vector<uint8_t> hostile{0x4C};
    const float bad[4] = {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(), 7.0f, -2.0f};
    for (float v : bad) {
        uint8_t b[4];
        std::memcpy(b, &v, 4);
        hostile.insert(hostile.end(), b, b + 4);
    }
    hostile.push_back(0x3F); // a value cut short is not read
    writeBytes(folder.file("bad.lan"), hostile);
    ASSERT_EQ(readLaneFile(&engine, pathOf(folder.file("bad.lan")), 0, 1), 0);
    expected[2] = 1.0f, expected[3] = 0.0f;
    EXPECT_EQ(values(engine, first, laneValueCount), expected);

    writeBytes(folder.file("empty.lan"), {});
    EXPECT_EQ(readLaneFile(&engine, pathOf(folder.file("empty.lan")), 0, 1), 0);
    EXPECT_EQ(values(engine, first, laneValueCount), expected);
}

TEST(PatternFiles, FilesThatCannotBeOpenedAreCodeThree)
{
    Engine engine;
    Folder folder;
    writeBytes(folder.file("file"), {1});
    EXPECT_EQ(readLaneFile(&engine, pathOf(folder.file("none.lan")), 0, 0), 3);
    EXPECT_EQ(readPatternFile(&engine, pathOf(folder.file("none.ptn")), 0), 3);
    EXPECT_EQ(writeLaneFile(&engine, pathOf(folder.file("file/a.lan")), 0, 0), 3);
    EXPECT_EQ(writePatternFile(&engine, pathOf(folder.file("file/a.ptn")), 0), 3);
    EXPECT_EQ(writeLaneFile(&engine, pathOf(folder.file("a.lan")), 0, 5), 3);
    EXPECT_EQ(readPatternFile(&engine, pathOf(folder.file("file")), 16), 3);
}
