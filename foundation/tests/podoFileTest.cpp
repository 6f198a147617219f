#include "foundation/podoFile.h"

#include "podoTestFolder.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

// A namespace of its own: this file is compiled in one unit with other test files, whose
// helpers may share its helpers' names.
namespace podo_file_test {

namespace {

namespace fs = std::filesystem;
constexpr uint32_t openRead = podoFileFlags::read;
constexpr uint32_t openWrite = podoFileFlags::write;
constexpr uint32_t readText = openRead | podoFileFlags::textStream;                          // 0x201
constexpr uint32_t createText = openWrite | podoFileFlags::create | podoFileFlags::textStream; // 0x206
constexpr uint32_t createNew = openWrite | podoFileFlags::create;                            // 6

class podoFileTest : public testing::Test
{
protected:
    podoStr at(const std::string &name) const { return podoStr(folder.path(name).c_str()); }

    std::vector<std::string> lines(const std::string &name, uint32_t flags)
    {
        podoFile file(at(name), flags);
        EXPECT_TRUE(file.isOpen());
        std::vector<std::string> out;
        podoStr line;
        for (int guard = 0; guard < 100 && !file.isEnd(); ++guard) {
            const int32_t length = file.readLine(&line);
            out.emplace_back(line.getNarrow(), static_cast<size_t>(length));
        }
        return out;
    }

    podoTestFolder folder;
};

TEST_F(podoFileTest, CreatesMissingFoldersAndWritesTypedValues)
{
    podoFile file(at("outer/inner/values.bin"), createNew);
    ASSERT_EQ(file.getError(), 0u);
    EXPECT_EQ(file.getReserved(), 100);
    EXPECT_EQ(file.writeUInt8(0x01), 1u);
    EXPECT_EQ(file.writeInt8(-2), 1u);
    EXPECT_EQ(file.writeUInt16(0x0304), 2u);
    EXPECT_EQ(file.writeInt16(-2), 2u);
    EXPECT_EQ(file.writeUInt32(0x05060708), 4u);
    EXPECT_EQ(file.writeInt32(-1), 4u);
    EXPECT_EQ(file.writeFloat(1.0f), 4u);
    EXPECT_EQ(file.writeDouble(-2.0), 8u);
    EXPECT_EQ(file.tell(), 26);
    EXPECT_EQ(file.close(), 0u);

    EXPECT_TRUE(fs::is_directory(folder.path("outer/inner")));
    const std::string expected("\x01\xFE\x04\x03\xFE\xFF\x08\x07\x06\x05\xFF\xFF\xFF\xFF"
                               "\x00\x00\x80\x3F\x00\x00\x00\x00\x00\x00\x00\xC0",
                               26);
    EXPECT_EQ(folder.read("outer/inner/values.bin"), expected);

    // The other separator works as well.
    podoFile again(podoStr((folder.root.string() + "\\outer\\inner\\values.bin").c_str()), openRead);
    EXPECT_TRUE(again.isOpen());
    EXPECT_EQ(again.size(), 26);
}

TEST_F(podoFileTest, WriteWithoutCreateNeedsTheFileAndKeepsItsLength)
{
    podoFile missing(at("missing.bin"), openWrite);
    EXPECT_FALSE(missing.isOpen());
    EXPECT_EQ(missing.getError(), static_cast<uint32_t>(ENOENT));
    EXPECT_EQ(missing.openFlags(), openWrite); // kept after a failed open
    EXPECT_FALSE(fs::exists(folder.path("missing.bin")));

    folder.write("six.bin", "abcdef");
    podoFile file(at("six.bin"), openWrite);
    ASSERT_TRUE(file.isOpen());
    EXPECT_EQ(file.write("XY", 1, 2), 2u);
    EXPECT_EQ(file.close(), 0u);
    EXPECT_EQ(folder.read("six.bin"), "XYcdef");
}

TEST_F(podoFileTest, MisuseIsRecordedAndGivesNeutralResults)
{
    folder.write("data.bin", "12345678");
    char buffer[8] = {};

    podoFile writer(at("new.bin"), createNew);
    EXPECT_EQ(writer.read(buffer, 1, 4), 0u);
    EXPECT_EQ(writer.getError(), podoFileError::wrongDirection);

    podoFile reader(at("data.bin"), openRead);
    EXPECT_EQ(reader.write("x", 1, 1), 0u);
    EXPECT_EQ(reader.getError(), podoFileError::wrongDirection);
    EXPECT_EQ(reader.printf("%d", 1), 0u);
    EXPECT_EQ(reader.getError(), podoFileError::wrongDirection);
    EXPECT_EQ(reader.flush(), podoFileError::wrongDirection);

    // A second open fails and leaves the first file open.
    EXPECT_EQ(reader.open(at("new.bin"), openRead), podoFileError::alreadyOpen);
    EXPECT_EQ(reader.read(buffer, 1, 8), 8u);
    EXPECT_EQ(std::string(buffer, 8), "12345678");
    EXPECT_STREQ(reader.path().getNarrow(), folder.path("data.bin").c_str());

    podoFile closed;
    EXPECT_EQ(closed.write("x", 1, 1), 0u);
    EXPECT_EQ(closed.getError(), podoFileError::notOpen);
    EXPECT_EQ(closed.size(), 0);
    EXPECT_TRUE(closed.isEnd());
    EXPECT_EQ(closed.seek(4, 0), 0);
    EXPECT_EQ(closed.close(), podoFileError::notOpen);
    closed.clearError();
    EXPECT_EQ(closed.getError(), 0u);

    // The stream form needs a direction to open at all.
    podoFile neither(at("data.bin"), podoFileFlags::textStream);
    EXPECT_FALSE(neither.isOpen());
    EXPECT_NE(neither.getError(), 0u);
}

TEST_F(podoFileTest, SeekTellAndSkip)
{
    folder.write("ten.bin", "0123456789");
    podoFile file(at("ten.bin"), openRead);
    struct Case {
        int64_t offset;
        int origin;
        int64_t position;
    };
    const Case cases[] = {{4, 0, 4}, {2, 1, 6}, {-3, 2, 7}, {-1, 7, 6}, {0, 0, 0}, {-1, 0, 0}};
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.offset << " from " << c.origin);
        EXPECT_EQ(file.seek(c.offset, c.origin), c.position);
        EXPECT_EQ(file.tell(), c.position);
    }
    char byte = 0;
    file.seek(3, 0);
    EXPECT_EQ(file.read(&byte, 1, 1), 1u);
    EXPECT_EQ(byte, '3');

    // A null buffer skips, also past the end.
    EXPECT_EQ(file.read(nullptr, 4, 10), 40u);
    EXPECT_EQ(file.tell(), 44);
    EXPECT_TRUE(file.isEnd());
    EXPECT_EQ(file.read(&byte, 1, 1), 0u);
    EXPECT_EQ(file.getError(), 0u); // the end is not an error
    EXPECT_EQ(file.rewind(), 0);
    EXPECT_FALSE(file.isEnd());
}

TEST_F(podoFileTest, LinesEndAtLineFeedsAndTheEndOfTheFile)
{
    struct Case {
        const char *name;
        std::string bytes;
        uint32_t flags;
        std::vector<std::string> lines;
    };
    const Case cases[] = {
        {"no final line feed", "ab\r\ncd", openRead, {"ab", "cd"}},
        {"final line feed", "ab\r\ncd\n", openRead, {"ab", "cd"}},
        {"carriage returns anywhere", "a\rb\r\r\n\rc", openRead, {"ab", "c"}},
        {"empty lines", "\n\nx", openRead, {"", "", "x"}},
        // The stream's end indicator is set only by a read that meets the end.
        {"stream, final line feed", "ab\r\ncd\n", readText, {"ab", "cd", ""}},
        {"stream, no final line feed", "ab\r\ncd", readText, {"ab", "cd"}},
        {"empty file", "", openRead, {}},
        {"empty stream", "", readText, {""}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        folder.write("lines.txt", c.bytes);
        EXPECT_EQ(lines("lines.txt", c.flags), c.lines);
    }

    folder.write("lines.txt", "x\n");
    podoFile file(at("lines.txt"), openRead);
    podoStr line;
    EXPECT_EQ(file.readLine(&line), 1);
    EXPECT_TRUE(file.isEnd());
    EXPECT_EQ(file.readLine(&line), 0); // past the end: an empty line
    EXPECT_TRUE(line.isEmpty());
}

TEST_F(podoFileTest, LongLinesAndNulBytesStayWhole)
{
    const std::string long3000(3000, 'L');
    const std::string exact1023(1023, 'E');
    const std::string withNul("a\0b", 3);
    folder.write("long.txt", long3000 + "\n" + exact1023 + "\n" + withNul + "\n" + exact1023 + "\r\nend");
    EXPECT_EQ(lines("long.txt", openRead), (std::vector<std::string>{long3000, exact1023, withNul, exact1023, "end"}));

    // Without an output the lengths are counted all the same.
    podoFile file(at("long.txt"), openRead);
    EXPECT_EQ(file.readLine(nullptr), 3000);
    EXPECT_EQ(file.readLine(nullptr), 1023);
    EXPECT_EQ(file.readLine(nullptr), 3);
}

TEST_F(podoFileTest, TextStreamsTranslateLineEnds)
{
    {
        podoFile out(at("text.txt"), createText);
        ASSERT_TRUE(out.isOpen());
        EXPECT_EQ(out.writeTextNarrow("a\nb\n"), 4u);
        EXPECT_EQ(out.printf("%s = %s\n", "k", "v"), 6u);
        EXPECT_EQ(out.close(), 0u);
    }
    EXPECT_EQ(folder.read("text.txt"), "a\r\nb\r\nk = v\r\n");

    // A CR that is not followed by LF stays, also where a read's chunk ends.
    std::string bytes = "x\r\ny\rz\r\n";
    bytes += std::string(4095 - bytes.size(), '.') + "\r\n" + std::string(4095, '.') + "\rq";
    folder.write("crlf.txt", bytes);
    podoFile in(at("crlf.txt"), readText);
    std::string all(bytes.size(), '\0');
    all.resize(in.read(all.data(), 1, all.size()));
    std::string expected = "x\ny\rz\n";
    expected += std::string(4095 - 8, '.') + "\n" + std::string(4095, '.') + "\rq";
    EXPECT_EQ(all, expected);
    EXPECT_TRUE(in.isEnd());
}

TEST_F(podoFileTest, FormattedAndTextOutput)
{
    podoFile file(at("out.bin"), createNew);
    const char16_t two[] = u"hi";
    EXPECT_EQ(file.writeTextWide(two), 4u);
    EXPECT_EQ(file.writeTextNarrow("abc", 2), 2u);
    // Longer than any fixed buffer: written whole.
    const std::string big(5000, 'x');
    EXPECT_EQ(file.printf("<%s>", big.c_str()), 5002u);
    // Arguments are text, never formats.
    EXPECT_EQ(file.printf("%s", "100% %s %n"), 10u);
    EXPECT_EQ(file.printfWide(u"%d!", 42), 6u);
    EXPECT_EQ(file.close(), 0u);
    EXPECT_EQ(folder.read("out.bin"), std::string("h\0i\0ab", 6) + "<" + big + ">100% %s %n" +
                                          std::string("4\0" "2\0!\0", 6));
}

TEST_F(podoFileTest, WriteBufferKeepsTheOrderOfBytes)
{
    podoFile file(at("buffered.bin"), createNew);
    ASSERT_TRUE(file.setBufferSize(8));
    EXPECT_EQ(file.write("abcde", 1, 5), 5u);
    EXPECT_EQ(fs::file_size(folder.path("buffered.bin")), 0u); // still in the buffer
    EXPECT_EQ(file.write("fgh", 1, 3), 3u);                    // fills it exactly
    EXPECT_EQ(file.write("ijk", 1, 3), 3u);                    // the first eight go out
    EXPECT_EQ(fs::file_size(folder.path("buffered.bin")), 8u);
    EXPECT_EQ(file.write("0123456789ABCDEFGHIJ", 1, 20), 20u); // larger than the buffer
    EXPECT_EQ(file.writeWithDelay(0, "!?", 1, 2), 2u);         // bypasses the buffer
    EXPECT_EQ(file.write("z", 1, 1), 1u);
    EXPECT_EQ(file.tell(), 33); // the buffered "z" is not counted
    EXPECT_EQ(file.close(), 0u);
    EXPECT_EQ(folder.read("buffered.bin"), "abcdefghijk0123456789ABCDEFGHIJ!?z");
}

TEST_F(podoFileTest, FailedWritesAndFlushesAreReported)
{
    // Every write to this device fails as on a full disk.
    const podoStr full("/dev/full");
    if (!fs::exists("/dev/full"))
        GTEST_SKIP() << "no /dev/full";
    {
        podoFile direct(full, openWrite);
        ASSERT_TRUE(direct.isOpen());
        EXPECT_EQ(direct.write("abc", 1, 3), 0u);
        EXPECT_EQ(direct.getError(), static_cast<uint32_t>(ENOSPC));
    }
    {
        podoFile buffered(full, openWrite);
        ASSERT_TRUE(buffered.setBufferSize(64));
        EXPECT_EQ(buffered.write("abc", 1, 3), 3u); // accepted into the buffer
        EXPECT_EQ(buffered.close(), static_cast<uint32_t>(ENOSPC));
    }
    {
        podoFile stream(full, openWrite | podoFileFlags::textStream);
        ASSERT_TRUE(stream.isOpen());
        EXPECT_EQ(stream.printf("%d\n", 5), 0u);
        EXPECT_NE(stream.close(), 0u);
    }
}

TEST_F(podoFileTest, ReadErrorEndsTheWaitForTheEnd)
{
    // A folder opens for reading here, but reading it fails.
    fs::create_directory(folder.path("sub"));
    podoFile file(at("sub"), openRead);
    ASSERT_TRUE(file.isOpen());
    if (file.size() == 0)
        GTEST_SKIP() << "folders report no size on this file system";
    podoStr line;
    int rounds = 0;
    while (!file.isEnd() && rounds < 10) {
        file.readLine(&line);
        ++rounds;
    }
    EXPECT_EQ(rounds, 1);
    EXPECT_EQ(file.getError(), static_cast<uint32_t>(EISDIR));
    file.rewind(); // a seek starts over
    EXPECT_FALSE(file.isEnd());
}

TEST_F(podoFileTest, ExistingNamesMatchInAnyCase)
{
    folder.write("Bank.PTH", "upper");
    podoFile file(at("bank.pth"), openRead);
    ASSERT_TRUE(file.isOpen());
    char buffer[5] = {};
    EXPECT_EQ(file.read(buffer, 1, 5), 5u);
    EXPECT_EQ(std::string(buffer, 5), "upper");

    // An exact match wins; creating never looks for another case.
    folder.write("bank.pth", "lower");
    podoFile exact(at("bank.pth"), openRead);
    EXPECT_EQ(exact.read(buffer, 1, 5), 5u);
    EXPECT_EQ(std::string(buffer, 5), "lower");
    podoFile created(at("BANK.pth"), createNew);
    created.close();
    EXPECT_EQ(folder.read("Bank.PTH"), "upper");
    EXPECT_TRUE(fs::exists(folder.path("BANK.pth")));

    // Only the last part of the path may differ.
    fs::create_directory(folder.path("Sub"));
    folder.write("Sub/x.txt", "x");
    EXPECT_FALSE(podoFile(at("sub/x.txt"), openRead).isOpen());
    EXPECT_TRUE(podoFile(at("Sub/X.TXT"), openRead).isOpen());
}

TEST_F(podoFileTest, SharingFollowsTheFlags)
{
    folder.write("shared.bin", "s");
    {
        podoFile writer(at("shared.bin"), openWrite);
        ASSERT_TRUE(writer.isOpen());
        EXPECT_FALSE(podoFile(at("shared.bin"), openRead).isOpen());
        EXPECT_TRUE(podoFile(at("shared.bin"), readText).isOpen()); // streams share everything
    }
    podoFile reader(at("shared.bin"), openRead);
    EXPECT_TRUE(podoFile(at("shared.bin"), openRead).isOpen());
    EXPECT_FALSE(podoFile(at("shared.bin"), openWrite).isOpen());
    reader.close();
    podoFile alone(at("shared.bin"), openRead | podoFileFlags::noSharing);
    ASSERT_TRUE(alone.isOpen());
    EXPECT_FALSE(podoFile(at("shared.bin"), openRead).isOpen());
}

TEST_F(podoFileTest, ReopenAndAttributes)
{
    podoFile file(at("locked.bin"), createNew | podoFileFlags::readOnly);
    ASSERT_TRUE(file.isOpen());
    EXPECT_EQ(file.write("data", 1, 4), 4u); // the attribute applies to later openers
    EXPECT_EQ(file.reopen(openRead), 0u);
    char buffer[4] = {};
    EXPECT_EQ(file.read(buffer, 1, 4), 4u);
    EXPECT_EQ(std::string(buffer, 4), "data");
    EXPECT_EQ(file.openFlags(), openRead);
    file.close();
    const fs::perms perms = fs::status(folder.path("locked.bin")).permissions();
    EXPECT_EQ(perms & (fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write), fs::perms::none);
}

struct TestEvent : podoFileEvent {
    void *eventHandle() const override { return const_cast<TestEvent *>(this); }
};

TEST_F(podoFileTest, OverlappedRecordsKeepTheLastTransfer)
{
    folder.write("ov.bin", "abcdef");
    podoFile file(at("ov.bin"), openRead | podoFileFlags::overlapped);
    ASSERT_NE(file.readOverlapped(), nullptr);
    ASSERT_NE(file.writeOverlapped(), nullptr);
    TestEvent readEvent;
    file.setOverlappedEvents(&readEvent, nullptr);
    EXPECT_EQ(file.readOverlapped()->event, &readEvent);
    EXPECT_EQ(file.writeOverlapped()->event, nullptr);
    char buffer[4];
    EXPECT_EQ(file.readWithDelay(0, buffer, 2, 2), 4u);
    EXPECT_EQ(file.waitRead(10), 2u);
    EXPECT_EQ(file.waitWrite(0), 0u);
    file.close();
    EXPECT_EQ(file.readOverlapped(), nullptr);
}

} // namespace

} // namespace podo_file_test
