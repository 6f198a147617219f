// The automation file's reader and writer over bytes, and the controller report's text.
#include "engine/AutomationFile.h"

#include "banks/BankFile.h"
#include "engine/ConfigurationBlock.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

using namespace engine;

namespace {

constexpr uint8_t kOwnOrder = banks::kLittleEndianMark;
constexpr uint8_t kOtherOrder = banks::kBigEndianMark;

// File offsets of each section's count.
size_t sectionOffset(int table)
{
    size_t at = kAutomationHeaderSize;
    for (int t = 0; t < table; ++t)
        at += 4 + 12 * static_cast<size_t>(assignmentTableSize(static_cast<AssignmentTable>(t)));
    return at;
}
const size_t kHostSection = sectionOffset(kAssignmentTableCount);

std::unique_ptr<AutomationImage> emptyImage()
{
    auto image = std::make_unique<AutomationImage>();
    std::memset(static_cast<void *>(image.get()), 0, sizeof *image);
    return image;
}

// Distinct entries in every table, a learning bit, a reversed range and a few host slots.
std::unique_ptr<AutomationImage> sampleImage()
{
    auto image = emptyImage();
    for (int t = 0; t < kAssignmentTableCount; ++t) {
        const int32_t size = assignmentTableSize(static_cast<AssignmentTable>(t));
        for (int32_t i = 0; i < size; i += 7)
            image->tables[t][i] = {0, static_cast<int16_t>(1 + (i + t) % 131), 0.25f, 0.75f,
                                   static_cast<uint8_t>(i % 2)};
    }
    image->table(AssignmentTable::channel)[3] = {1, 20, 0.2f, 0.8f, 1}; // learning when written
    image->hostMap[0] = 1;
    image->hostMap[5] = 21;
    image->hostMap[127] = kParameterCount;
    return image;
}

bool sameTables(const AutomationImage &a, const AutomationImage &b)
{
    for (int t = 0; t < kAssignmentTableCount; ++t) {
        const int32_t size = assignmentTableSize(static_cast<AssignmentTable>(t));
        if (std::memcmp(a.tables[t], b.tables[t], sizeof(ControllerAssignment) * size) != 0)
            return false;
    }
    return std::memcmp(a.hostMap, b.hostMap, sizeof a.hostMap) == 0;
}

void put32(std::vector<uint8_t> &file, size_t at, uint32_t value, bool bigEndian)
{
    for (int i = 0; i < 4; ++i)
        file[at + i] = static_cast<uint8_t>(bigEndian ? value >> (24 - 8 * i) : value >> (8 * i));
}

void putFloat(std::vector<uint8_t> &file, size_t at, float value)
{
    uint32_t bits;
    std::memcpy(&bits, &value, 4);
    put32(file, at, bits, false);
}

// Offset of record i of a section in a file written with the full tables.
size_t recordOffset(AssignmentTable table, int32_t i) { return sectionOffset(static_cast<int>(table)) + 4 + 12 * i; }

int32_t parse(const std::vector<uint8_t> &file, AutomationImage &image)
{
    return parseAutomationFile(file.data(), file.size(), image);
}

} // namespace

TEST(AutomationFile, WrittenTablesReadBackInEitherByteOrder)
{
    const auto written = sampleImage();
    for (uint8_t order : {kOwnOrder, kOtherOrder}) {
        SCOPED_TRACE(order == kOwnOrder ? "own order" : "other order");
        const std::vector<uint8_t> file = encodeAutomationFile(*written, order);
        ASSERT_EQ(file.size(), kAutomationFileSize);
        EXPECT_EQ(std::string(file.begin(), file.begin() + 38), std::string("ORVANEX -Quorix    -Automation       \x1A"));
        EXPECT_EQ(file[38], 0);
        EXPECT_EQ(file[39], 0);
        const uint8_t ownVersion[] = {0x00, 0x02, 0x01, 0x01}, otherVersion[] = {0x01, 0x01, 0x02, 0x00};
        EXPECT_EQ(0, std::memcmp(&file[40], order == kOwnOrder ? ownVersion : otherVersion, 4));

        auto read = emptyImage();
        ASSERT_EQ(parse(file, *read), fileOk);
        EXPECT_TRUE(sameTables(*written, *read));
        EXPECT_EQ(+read->table(AssignmentTable::channel)[3].state, 1) << "committing clears it, not reading";
    }
}

TEST(AutomationFile, OldVersionOfTheOtherOrderDropsChannelVolumeAndPanOnTheirOwnControllers)
{
    struct Case {
        int16_t volumeSource, panSource;
        int16_t volumeAfter, panAfter;
    };
    for (const Case &c : {Case{7, 10, 0, 0}, Case{11, 7, 11, 7}}) {
        SCOPED_TRACE(testing::Message() << c.volumeSource << "/" << c.panSource);
        auto written = sampleImage();
        ControllerAssignment *channel = written->table(AssignmentTable::channel);
        channel[20 - kChannelAssignmentBase] = {0, c.volumeSource, 0.1f, 0.9f, 1};
        channel[21 - kChannelAssignmentBase] = {0, c.panSource, 0.1f, 0.9f, 1};
        std::vector<uint8_t> file = encodeAutomationFile(*written, kOtherOrder);
        const uint8_t version1000[] = {0x00, 0x00, 0x03, 0xE8};
        std::memcpy(&file[40], version1000, 4);

        auto read = emptyImage();
        ASSERT_EQ(parse(file, *read), fileOk);
        const ControllerAssignment &volume = read->table(AssignmentTable::channel)[20 - kChannelAssignmentBase];
        const ControllerAssignment &pan = read->table(AssignmentTable::channel)[21 - kChannelAssignmentBase];
        EXPECT_EQ(+volume.source, c.volumeAfter);
        EXPECT_EQ(+pan.source, c.panAfter);
        EXPECT_EQ(+volume.max, c.volumeAfter ? 0.9f : 1.0f);
        EXPECT_EQ(+volume.reversed, c.volumeAfter ? 1 : 0);
        // Everything else reads with its bytes reversed, the same as the newer version.
        auto expected = sampleImage();
        expected->table(AssignmentTable::channel)[20 - kChannelAssignmentBase] = volume;
        expected->table(AssignmentTable::channel)[21 - kChannelAssignmentBase] = pan;
        EXPECT_TRUE(sameTables(*expected, *read));
    }
}

TEST(AutomationFile, OutOfRangeFieldsAreHeldToTheirRanges)
{
    std::vector<uint8_t> file = encodeAutomationFile(*emptyImage(), kOwnOrder);
    const size_t first = recordOffset(AssignmentTable::master, 0), second = recordOffset(AssignmentTable::master, 1);
    file[first + 1] = 200; // source 200
    putFloat(file, first + 3, -0.5f);
    putFloat(file, first + 7, 1.5f);
    file[first + 11] = 7; // any non-zero reversal
    file[second + 1] = 0xFF;
    file[second + 2] = 0xFF; // source -1
    put32(file, kHostSection + 4, 30000, false);
    put32(file, kHostSection + 8, uint32_t(-4), false);

    auto read = emptyImage();
    ASSERT_EQ(parse(file, *read), fileOk);
    const ControllerAssignment &entry = read->table(AssignmentTable::master)[0];
    EXPECT_EQ(+entry.source, 131);
    EXPECT_EQ(+entry.min, 0.0f);
    EXPECT_EQ(+entry.max, 1.0f);
    EXPECT_EQ(+entry.reversed, 1);
    EXPECT_EQ(+read->table(AssignmentTable::master)[1].source, 0);
    EXPECT_EQ(read->hostMap[0], kParameterCount);
    EXPECT_EQ(read->hostMap[1], 0);
}

TEST(AutomationFile, SectionsShorterOrLongerThanTheirTables)
{
    // Master written with 19 records (two beyond the table) and the special table with one: the
    // surplus is read past, so the channel section is still found; entries the file leaves out
    // keep what the image held.
    banks::BankWriter out(kOwnOrder);
    out.bytes("ORVANEX -Quorix    -Automation       \x1A\0\0", 40);
    out.i32(kAutomationVersion);
    auto record = [&](int16_t source) {
        out.u8(0);
        out.i16(source);
        out.f32(0.0f);
        out.f32(1.0f);
        out.u8(0);
    };
    out.i32(19);
    for (int i = 0; i < 19; ++i)
        record(static_cast<int16_t>(i + 1));
    out.i32(1);
    record(93);
    out.i32(0); // sequencer
    out.i32(0); // melody
    out.i32(0); // drum
    out.i32(1);
    record(64);
    out.i32(2);
    out.i32(9);
    out.i32(10);

    auto image = emptyImage();
    image->table(AssignmentTable::channel)[1] = {0, 55, 0.0f, 1.0f, 0};
    image->table(AssignmentTable::special)[2] = {0, 66, 0.0f, 1.0f, 0};
    image->hostMap[2] = 77;
    ASSERT_EQ(parse(out.data(), *image), fileOk);
    EXPECT_EQ(+image->table(AssignmentTable::master)[16].source, 17);
    EXPECT_EQ(+image->table(AssignmentTable::channel)[0].source, 93);
    EXPECT_EQ(+image->table(AssignmentTable::channel)[1].source, 55);
    EXPECT_EQ(+image->table(AssignmentTable::special)[0].source, 64);
    EXPECT_EQ(+image->table(AssignmentTable::special)[2].source, 66);
    EXPECT_EQ(image->hostMap[0], 9);
    EXPECT_EQ(image->hostMap[1], 10);
    EXPECT_EQ(image->hostMap[2], 77);
}

TEST(AutomationFile, ForeignOrDamagedFilesChangeNothing)
{
    const std::vector<uint8_t> good = encodeAutomationFile(*sampleImage(), kOwnOrder);
    struct Case {
        const char *what;
        std::vector<uint8_t> file;
        int32_t code;
    };
    std::vector<Case> cases;
    auto edited = [&](const char *what, int32_t code, auto &&edit) {
        std::vector<uint8_t> file = good;
        edit(file);
        cases.push_back({what, file, code});
    };
    edited("another kind of file", fileWrongMagic, [](auto &f) { f[20] = 'X'; });
    edited("no NUL after the magic", fileWrongMagic, [](auto &f) { f[38] = 1; });
    edited("another version", fileWrongVersion, [](auto &f) { put32(f, 40, 0x01010300, false); });
    edited("a negative count", fileInvalidData, [](auto &f) { put32(f, sectionOffset(2), uint32_t(-1), false); });
    edited("a count beyond the file", fileInvalidData, [](auto &f) { put32(f, sectionOffset(3), 5000, false); });
    edited("a minimum that is not a number", fileInvalidData,
           [](auto &f) { putFloat(f, recordOffset(AssignmentTable::drum, 9) + 3, std::nanf("")); });
    edited("an infinite maximum", fileInvalidData, [](auto &f) {
        putFloat(f, recordOffset(AssignmentTable::special, 2) + 7, std::numeric_limits<float>::infinity());
    });
    edited("a byte after the map", fileInvalidData, [](auto &f) { f.push_back(0); });
    // Cut inside the head, at and inside records of several sections, and in the host map.
    for (size_t cut : {size_t(0), size_t(20), size_t(39), size_t(43), size_t(44), size_t(47),
                       recordOffset(AssignmentTable::master, 5) + 6, sectionOffset(3) + 2,
                       recordOffset(AssignmentTable::drum, 1107) + 11, kHostSection, kHostSection + 6,
                       good.size() - 1}) {
        std::vector<uint8_t> file(good.begin(), good.begin() + cut);
        cases.push_back({"cut short", file, fileInvalidData});
    }

    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.what << ", " << c.file.size() << " bytes");
        auto image = sampleImage();
        image->table(AssignmentTable::melody)[0].source = 99; // differs from the file's
        auto before = std::make_unique<AutomationImage>(*image);
        EXPECT_EQ(parse(c.file, *image), c.code);
        EXPECT_TRUE(sameTables(*before, *image)) << "nothing of the file is taken";
    }
}

TEST(ControllerReport, ListsEveryAssignmentBySourceThenTableOrder)
{
    auto image = emptyImage();
    image->table(AssignmentTable::melody)[721 - 698] = {0, 74, 0.0f, 1.0f, 0};
    image->table(AssignmentTable::master)[3] = {0, 74, 0.2f, 0.8f, 1};
    image->table(AssignmentTable::channel)[26 - 17] = {0, 91, 0.0f, 0.5f, 0};
    image->table(AssignmentTable::special)[1] = {0, 130, 0.0f, 1.0f, 0};
    image->table(AssignmentTable::drum)[0] = {0, 0, 0.0f, 1.0f, 0}; // no source: not listed
    std::vector<int32_t> named;
    const std::string text = formatControllerReport(*image, [&](int32_t index) {
        named.push_back(index);
        return index == kSpecialAssignmentBase + 1 ? std::string() : "P" + std::to_string(index);
    });
    const std::string equals(88, '='), dashes(88, '-');
    const std::string expected = " Kestrane - Quorix - MIDI Contoller Assignments\n" + equals + "\n\n" +
                                 " CC#                       Parameter                       Min       Min\n" + dashes +
                                 "\n"
                                 "  74 (Cutoff)              P3                              0.200000  0.800000  Reversed\n"
                                 "                           P721                            0.000000  1.000000\n"
                                 "  91 (Reverb Depth)        P26                             0.000000  0.500000\n"
                                 " PTB (Pitchbend)                                           0.000000  1.000000\n" +
                                 dashes + "\n";
    EXPECT_EQ(text, expected);
    EXPECT_EQ(named, (std::vector<int32_t>{3, 721, 26, kSpecialAssignmentBase + 1})) << "channel-1 indexes";
}

TEST(ControllerReport, FactorySetAndEmptySet)
{
    auto image = emptyImage();
    auto names = [](int32_t) { return std::string("x"); };
    const std::string empty = formatControllerReport(*image, names);
    const std::string dashes(88, '-');
    EXPECT_EQ(empty.substr(empty.size() - 2 * dashes.size() - 29),
              dashes + "\n no MIDI control assigned#\n" + dashes + "\n");

    // The factory set through the shared tables' own default operation.
    clearAssignments();
    addDefaultAssignments(false);
    captureAutomation(*image);
    clearAssignments();
    std::istringstream lines(formatControllerReport(*image, names));
    std::vector<std::string> sources;
    for (std::string line; std::getline(lines, line);)
        if (line.size() > 27 && line[0] == ' ' && line[3] >= '0' && line[3] <= '9')
            sources.push_back(line.substr(1, 3));
    EXPECT_EQ(sources, (std::vector<std::string>{"  1", "  5", " 65", " 71", " 72", " 73", " 74", " 75", " 76", " 77",
                                                 " 78", " 91", " 93"}));
}
