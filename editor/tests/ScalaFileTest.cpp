// Scala files: the current temperament written as twelve pitches, a scale read into the current user
// temperament as offsets held to -50..+50, and the refusals.
#include "editor/ScalaFile.h"
#include "editorFilesTestSupport.h"
#include "engine/ProgramBlock.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>

// A namespace of its own: this file is compiled in one unit with other test files, whose
// helpers may share its helpers' names.
namespace scala_file_test {

using namespace edfiles;

namespace {

using Offsets = std::array<int32_t, 12>;

Offsets offsetsOf(Engine &engine)
{
    TuningBlock tuning{};
    engine.getTuningBlock(&tuning);
    Offsets o;
    for (int p = 0; p < 12; ++p)
        o[size_t(p)] = tuning.offsets[p];
    return o;
}

podoStr pathOf(const std::string &file) { return podoStr(file.c_str()); }

} // namespace

TEST(ScalaFile, TheTemperamentIsWrittenAsTwelvePitchesInCents)
{
    Engine engine;
    Folder folder;
    engine.selectTemperament(0);
    ASSERT_EQ(scalaFile::writeScalaFile(&engine, pathOf(folder.file("equal.scl"))), 0);
    EXPECT_EQ(readText(folder.file("equal.scl")),
              "! equal.scl\r\n!\r\nEqual Temperament (exported by Kestrane Quorix)\r\n!\r\n 12\t\tthe number of notes\r\n"
              "!\r\n  100.0\tC#\r\n  200.0\tD\r\n  300.0\tD#\r\n  400.0\tE\r\n  500.0\tF\r\n  600.0\tF#\r\n"
              "  700.0\tG\r\n  800.0\tG#\r\n  900.0\tA\r\n 1000.0\tA#\r\n 1100.0\tB\r\n 1200.0\tC\r\n");

    engine.selectTemperament(10); // a user row names no temperament; its offsets are written
    for (int p = 0; p < 12; ++p)
        engine.setTuningOffset(p, 0); // the user rows are the process's, shared by every instance
    engine.setTuningOffset(0, -7);
    engine.setTuningOffset(7, 2);
    ASSERT_EQ(scalaFile::writeScalaFile(&engine, pathOf(folder.file("sub/user.scl"))), 0);
    const std::string user = readText(folder.file("sub/user.scl"));
    EXPECT_NE(user.find("!\r\n(exported by Kestrane Quorix)\r\n"), std::string::npos) << user;
    EXPECT_NE(user.find("  702.0\tG\r\n"), std::string::npos);
    EXPECT_NE(user.find(" 1193.0\tC\r\n"), std::string::npos);

    // Read back into another user row: the same offsets.
    engine.selectTemperament(11);
    ASSERT_EQ(scalaFile::readScalaFile(&engine, pathOf(folder.file("sub/user.scl"))), 0);
    EXPECT_EQ(offsetsOf(engine), (Offsets{-7, 0, 0, 0, 0, 0, 0, 2, 0, 0, 0, 0}));

    EXPECT_EQ(scalaFile::writeScalaFile(&engine, pathOf(folder.file("equal.scl/x.scl"))), 3);
}

TEST(ScalaFile, PitchesBecomeOffsetsFromEqualTemperament)
{
    struct Case {
        const char *name;
        const char *text;
        Offsets expected;
    } cases[] = {
        {"ratios and cents",
         "! comment\nfifth\n 12\n!\n 100.0\n 200.0\n 300.0\n 400.0\n 500.0\n 600.0\n 3/2\n 800.0\n 900.0\n 1000.0\n"
         " 1100.0\n 2/1\n",
         {0, 0, 0, 0, 0, 0, 0, 2, 0, 0, 0, 0}},
        {"the period sets C", "x\n12\n100.\n200.\n300.\n400.\n500.\n600.\n700.\n800.\n900.\n1000.\n1100.\n1210.0\n",
         {10, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
        {"offsets held to 50", "x\n2\n250.0\n 130.0\n", {0, 50, -50, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
        {"CR LF lines and a count above 12",
         "x\r\n20\r\n101.0\r\n201.0\r\n301.0\r\n401.0\r\n501.0\r\n601.0\r\n701.0\r\n801.0\r\n901.0\r\n1001.0\r\n"
         "1101.0\r\n1201.0\r\n1302.0\r\n",
         {1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1}},
        {"an empty description line is not counted: the count becomes the description", "\n2\n3\n105.0\n",
         {0, 5, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
        {"a description of blanks counts", "   \n2\n105.0\n195.0\n", {0, 5, -5, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
        {"a count of 0 reads nothing", "x\n0\n150.0\n", {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
        {"intervals that are no pitch stay equal; /2 is 1/2", "x\n4\n0/1\n-3/2\n3/0\n/2\n",
         {0, 0, 0, 0, -50, 0, 0, 0, 0, 0, 0, 0}},
        {"a whole number is a ratio, a number with a point cents", "x\n2\n2\n201.4\n", {0, 50, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
    };
    Engine engine;
    Folder folder;
    engine.selectTemperament(9);
    for (const Case &c : cases) {
        for (int p = 0; p < 12; ++p)
            engine.setTuningOffset(p, 33); // every pitch class is set again or cleared
        const std::string file = folder.file("in.scl");
        writeBytes(file, std::vector<uint8_t>(c.text, c.text + std::strlen(c.text)));
        ASSERT_EQ(scalaFile::readScalaFile(&engine, pathOf(file)), 0) << c.name;
        EXPECT_EQ(offsetsOf(engine), c.expected) << c.name;
    }
}

TEST(ScalaFile, ABuiltInTemperamentOrAMissingFileKeepsTheOffsets)
{
    Engine engine;
    Folder folder;
    writeBytes(folder.file("a.scl"), {'x', '\n', '1', '\n', '1', '3', '0', '.', '0', '\n'});
    engine.selectTemperament(3);
    const Offsets builtIn = offsetsOf(engine);
    EXPECT_EQ(scalaFile::readScalaFile(&engine, pathOf(folder.file("a.scl"))), 1);
    EXPECT_EQ(offsetsOf(engine), builtIn);

    engine.selectTemperament(12);
    engine.setTuningOffset(4, 9);
    EXPECT_EQ(scalaFile::readScalaFile(&engine, pathOf(folder.file("none.scl"))), 3);
    EXPECT_EQ(offsetsOf(engine)[4], 9);
}

} // namespace scala_file_test
