#include "banks/BankFile.h"
#include "banks/tests/BankTestLibrary.h"

#include "foundation/podoLog.h"
#include "foundation/podoWnd.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>

namespace {

TEST(BankFileNames, NumberAndNameComeFromTheStem)
{
    struct Case {
        const char *stem;
        int32_t number;
        const char *name;
    };
    const Case cases[] = {
        {"007 Strings", 7, "Strings"},
        {"7 Strings", 7, "rings"},                  // only the first three characters carry the number
        {"abc", 0, ""},                             // no digits, and four characters or fewer: no name
        {"1234 Big", 123, " Big"},
        {"-12 Neg", -12, "Neg"},
        {" 42 Spaced", 42, "Spaced"},
        {"099 An extremely long bank name here", 99, "An extremely long bank n"},
        // 22 ASCII bytes and a two-byte character: the character does not fit and is dropped whole.
        {"001 abcdefghijklmnopqrstuv\xc3\xa9z", 1, "abcdefghijklmnopqrstuv"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.stem);
        EXPECT_EQ(banks::bankFileNumber(podoStr(c.stem)), c.number);
        char name[banks::kNameSize];
        std::memset(name, 'x', sizeof name);
        banks::bankFileName(podoStr(c.stem), name);
        EXPECT_EQ(std::string(name), std::string(c.name).substr(0, 23));
    }
}

TEST(BankFileNames, WriterPathCarriesTheNumberInThreeDigits)
{
    EXPECT_STREQ(banks::bankFilePath("/lib/", 7, "Strings", ".pth").getNarrow(), "/lib/007 Strings.pth");
}

TEST(BankFileListing, WholeFolderSortedNaturallyThenCutAt128)
{
    podoTestFolder folder;
    // 140 banks, created in a shuffled order, numbered 1..140 without leading zeros, so plain
    // byte order would put "100" before "20".
    std::vector<int> numbers(140);
    for (int i = 0; i < 140; ++i)
        numbers[static_cast<size_t>(i)] = i + 1;
    std::shuffle(numbers.begin(), numbers.end(), std::mt19937(5));
    for (int n : numbers)
        folder.write(std::to_string(n) + " x.smp", "");
    folder.write("9 x.wvt", "");      // another kind
    folder.write("2 x.smpl", "");     // not the extension
    folder.write("1 x.SMP", "");      // would not open as folder + stem + ".smp"
    std::filesystem::create_directory(folder.path("0 dir.smp"));

    podoStr names[banks::kMaxBankFiles];
    const podoStr path((folder.root.string() + "/").c_str());
    ASSERT_EQ(banks::listBankFiles(path, ".smp", 0, names), 128);
    for (int i = 0; i < 128; ++i)
        ASSERT_STREQ(names[i].getNarrow(), (std::to_string(i + 1) + " x").c_str()) << i;

    // Entries before the first index are the caller's; only the room after it is filled.
    podoStr tail[banks::kMaxBankFiles];
    tail[0] = "kept";
    ASSERT_EQ(banks::listBankFiles(path, ".smp", 120, tail), 8);
    EXPECT_STREQ(tail[0].getNarrow(), "kept");
    EXPECT_STREQ(tail[120].getNarrow(), "1 x");
    EXPECT_STREQ(tail[127].getNarrow(), "8 x");

    EXPECT_EQ(banks::listBankFiles(podoStr((folder.root.string() + "/none/").c_str()), ".smp", 0, names), 0);

    // No folder is never the working folder.
    const auto working = std::filesystem::current_path();
    std::filesystem::current_path(folder.root);
    const int fromEmpty = banks::listBankFiles(podoStr(""), ".smp", 0, names);
    std::filesystem::current_path(working);
    EXPECT_EQ(fromEmpty, 0);
}

std::vector<uint8_t> head(banks::BankKind kind, uint8_t mark, int32_t version)
{
    banks::BankWriter out(mark);
    out.header(kind, version);
    return out.data();
}

TEST(BankFileHeader, IdentifiesKindByteOrderAndVersion)
{
    struct Case {
        const char *what;
        std::vector<uint8_t> bytes;
        banks::HeaderStatus status;
        bool swap;
        int32_t version;
    };
    auto withByte = [](std::vector<uint8_t> bytes, size_t at, uint8_t value) {
        bytes[at] = value;
        return bytes;
    };
    auto cut = [](std::vector<uint8_t> bytes, size_t size) {
        bytes.resize(size);
        return bytes;
    };
    const auto own = head(banks::BankKind::samples, 76, 1);
    const Case cases[] = {
        {"own order", own, banks::HeaderStatus::ok, false, 1},
        {"other order swaps the version too", head(banks::BankKind::samples, 66, 1), banks::HeaderStatus::ok, true, 1},
        {"other version", head(banks::BankKind::samples, 66, 0x01020304), banks::HeaderStatus::ok, true, 0x01020304},
        {"another kind", head(banks::BankKind::wavetables, 76, 1), banks::HeaderStatus::wrongId, false, 0},
        {"39th byte not NUL", withByte(own, 38, 1), banks::HeaderStatus::wrongId, false, 0},
        {"no 0x1A", withByte(own, 37, 0), banks::HeaderStatus::wrongId, false, 0},
        {"mark neither 76 nor 66", withByte(own, 39, 77), banks::HeaderStatus::wrongId, false, 0},
        {"mark 0", withByte(own, 39, 0), banks::HeaderStatus::wrongId, false, 0},
        {"cut in the magic", cut(own, 20), banks::HeaderStatus::damaged, false, 0},
        {"cut in the version", cut(own, 42), banks::HeaderStatus::damaged, false, 0},
        {"empty file", {}, banks::HeaderStatus::damaged, false, 0},
        {"short and foreign", {'R', 'I', 'F', 'F'}, banks::HeaderStatus::wrongId, false, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        banks::MemoryBankSource source(c.bytes.data(), c.bytes.size());
        banks::BankReader reader(source);
        banks::BankHeader header;
        ASSERT_EQ(banks::readBankHeader(reader, banks::BankKind::samples, 76, header), c.status);
        if (c.status == banks::HeaderStatus::ok) {
            EXPECT_EQ(header.swap, c.swap);
            EXPECT_EQ(reader.swapped(), c.swap);
            EXPECT_EQ(header.version, c.version);
        }
    }
}

TEST(BankFileFields, ReadBackInBothOrdersAndNeverPastTheEnd)
{
    for (uint8_t mark : {banks::kLittleEndianMark, banks::kBigEndianMark}) {
        SCOPED_TRACE(mark);
        banks::BankWriter out(mark);
        out.i16(-2);
        out.i32(-70000);
        out.f32(-1.5f);
        out.name("Name");
        out.i16(0x1234);
        const auto &bytes = out.data();
        ASSERT_EQ(bytes.size(), 2u + 4 + 4 + 24 + 2);
        if (mark == banks::kBigEndianMark) {
            EXPECT_EQ(bytes[0], 0xFF) << "the first byte of -2 is its high byte";
        }

        banks::MemoryBankSource source(bytes.data(), bytes.size());
        banks::BankReader reader(source);
        reader.setSwap(mark != banks::machineByteOrderMark());
        int16_t a = 0;
        int32_t b = 0;
        float c = 0;
        char name[24];
        ASSERT_TRUE(reader.i16(a) && reader.i32(b) && reader.f32(c) && reader.bytes(name, 24));
        EXPECT_EQ(a, -2);
        EXPECT_EQ(b, -70000);
        EXPECT_EQ(c, -1.5f);
        EXPECT_STREQ(name, "Name");
        int32_t tooWide = 7;
        EXPECT_FALSE(reader.i32(tooWide)) << "two bytes left";
        EXPECT_EQ(tooWide, 7);
        int16_t values[2];
        EXPECT_FALSE(reader.i16s(values, 2));
        EXPECT_FALSE(reader.skip(3));
        EXPECT_TRUE(reader.i16(a));
        EXPECT_EQ(a, 0x1234);
        EXPECT_EQ(reader.remaining(), 0u);
    }
}

std::u16string debugText;
std::string boxCaption, boxText;

TEST(BankFileReport, ProcessReportReachesLoggerAndBoxesVerbatim)
{
    podo::DebugSink previousSink = podo::setDebugSink([](const char16_t *piece) { debugText += piece; });
    podo::MessageBoxHook previousHook =
        podo::setMessageBoxHook([](podoWnd *, const podoStr &caption, const podoStr &text, int32_t) -> int32_t {
            boxCaption = caption.getNarrow();
            boxText = text.getNarrow();
            return podo::idOk;
        });
    // Paths may hold '%': they are text, never a format.
    banks::processBankReport().logLine(1, false, "100%s done");
    banks::processBankReport().showError("Samples file open error.", "/lib/50%d.smp");
    podo::setDebugSink(previousSink);
    podo::setMessageBoxHook(previousHook);
    EXPECT_NE(podoStr(debugText.c_str()).find("- 100%s done\n"), -1);
    EXPECT_EQ(boxCaption, "Kestrane Quorix");
    EXPECT_EQ(boxText, "Samples file open error.\n\n/lib/50%d.smp");
}

} // namespace
