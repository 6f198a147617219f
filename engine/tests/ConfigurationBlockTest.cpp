#include "engine/ConfigurationBlock.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

using namespace engine;

namespace {

constexpr int32_t kVersions[] = {1000, 0x01010000, 0x01010200, 0x01020502, 0x01030901, 0x01040404};

bool isOld(int32_t version) {
    return version == 1000 || version == 0x01010000 || version == 0x01010200;
}

void putInt(std::vector<uint8_t>& bytes, size_t offset, int32_t v, bool big) {
    for (int i = 0; i < 4; ++i) {
        const int shift = big ? 8 * (3 - i) : 8 * i;
        bytes[offset + i] = static_cast<uint8_t>(static_cast<uint32_t>(v) >> shift);
    }
}

// A configuration file made from the documented layout: header, version, size, then the
// block's fields at their offsets (old layouts lack the byte at 7, so later fields sit one
// byte earlier). big writes the int32 fields in the other byte order.
std::vector<uint8_t> makeFile(int32_t version, bool big) {
    const bool old = isOld(version);
    const int32_t size = old ? 458 : 459;
    std::vector<uint8_t> f(48 + size, 0);
    std::memcpy(f.data(), "ORVANEX -Quorix    -Configuration    ", 37);
    f[37] = 0x1A;
    putInt(f, 40, version, big);
    putInt(f, 44, size, big);
    auto at = [&](size_t blockOffset) { return 48 + (old && blockOffset >= 8 ? blockOffset - 1 : blockOffset); };
    putInt(f, at(0), 5, big);       // velocity curve
    f[at(4)] = 1;                   // drums follow master transpose
    f[at(6)] = 1;                   // keep tempo on recall
    f[at(8)] = 1;                   // mix sub into main
    f[at(10)] = 0;                  // load on select
    putInt(f, at(12), 1, big);
    putInt(f, at(16), 1, big);
    f[at(20)] = 0;                  // program change off
    putInt(f, at(28), 11, big);
    for (int u = 0; u < 8; ++u)
        for (int p = 0; p < 12; ++p)
            putInt(f, at(32 + 48 * u + 4 * p), (u * 12 + p) % 101 - 50, big);
    f[at(416)] = 1;
    f[at(417)] = 1;
    std::memcpy(&f[at(419)], "Night", 6);
    putInt(f, at(451), 150, big);
    f[at(455)] = 4;
    return f;
}

ConfigurationBlock defaults() {
    ConfigurationBlock b;
    resetConfigurationBlock(b);
    return b;
}

} // namespace

TEST(ConfigurationFile, EveryAcceptedVersionInBothByteOrders) {
    for (int32_t version : kVersions) {
        for (bool big : {false, true}) {
            SCOPED_TRACE(testing::Message() << std::hex << version << (big ? " other order" : " own order"));
            const std::vector<uint8_t> file = makeFile(version, big);
            ConfigurationBlock b = defaults();
            ASSERT_EQ(parseConfigurationFile(file.data(), file.size(), b), fileOk);
            EXPECT_EQ(+b.velocityCurve, 5);
            EXPECT_EQ(+b.drumsFollowMasterTranspose, 1);
            EXPECT_EQ(+b.drumsFollowMasterTune, 0);
            EXPECT_EQ(+b.keepTempoOnRecall, 1);
            EXPECT_EQ(+b.keepBendRangeOnRecall, 1); // set after every load
            EXPECT_EQ(+b.mixSubIntoMain, 1);
            EXPECT_EQ(+b.ramOption, 1);
            EXPECT_EQ(+b.loadOnSelect, 0);
            EXPECT_EQ(+b.hoverDisplay, 1);
            EXPECT_EQ(+b.assignmentOverlay, 1);
            EXPECT_EQ(+b.programChangeOn, 0);
            EXPECT_EQ(+b.selectedTemperament, 11);
            for (int u = 0; u < 8; ++u)
                for (int p = 0; p < 12; ++p)
                    ASSERT_EQ(+b.userTemperaments[u][p], (u * 12 + p) % 101 - 50) << u << "," << p;
            EXPECT_EQ(+b.seqFollowPlayback, 1);
            EXPECT_EQ(+b.volumeOn, 1);
            EXPECT_EQ(+b.panOn, 0);
            EXPECT_STREQ(b.skinName, "Night");
            EXPECT_EQ(+b.editorScale, 150);
            EXPECT_EQ(+b.maxOversampling, 4);
        }
    }
}

TEST(ConfigurationFile, WrittenFileReadsBackByteForByte) {
    ConfigurationBlock written = defaults();
    written.velocityCurve = 6;
    written.keepBendRangeOnRecall = 0;
    written.ramOption = 0;
    written.userTemperaments[7][11] = -50;
    written.editorScale = 300;
    std::memcpy(written.skinName, "Glass", 6);
    uint8_t file[kConfigurationFileSize];
    encodeConfigurationFile(written, file);

    ConfigurationBlock read = defaults();
    read.velocityCurve = 0;
    ASSERT_EQ(parseConfigurationFile(file, sizeof file, read), fileOk);
    written.keepBendRangeOnRecall = 1;
    written.ramOption = 1;
    EXPECT_EQ(std::memcmp(&written, &read, sizeof read), 0);
}

TEST(ConfigurationFile, RejectsForeignMagicAndUnknownVersionsWithoutChange) {
    struct Case {
        const char* what;
        void (*damage)(std::vector<uint8_t>&);
        int32_t result;
    } cases[] = {
        {"other magic", [](std::vector<uint8_t>& f) { f[3] = 'X'; }, fileWrongMagic},
        {"no 0x1A", [](std::vector<uint8_t>& f) { f[37] = 0; }, fileWrongMagic},
        {"short header", [](std::vector<uint8_t>& f) { f.resize(39); }, fileWrongMagic},
        {"empty", [](std::vector<uint8_t>& f) { f.clear(); }, fileWrongMagic},
        {"unknown version", [](std::vector<uint8_t>& f) { putInt(f, 40, 0x01050000, false); }, fileWrongVersion},
        {"no version", [](std::vector<uint8_t>& f) { f.resize(42); }, fileWrongVersion},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<uint8_t> f = makeFile(0x01040404, false);
        f[39] = 0x55; // the last magic byte is not compared
        c.damage(f);
        ConfigurationBlock b = defaults();
        const ConfigurationBlock before = b;
        EXPECT_EQ(parseConfigurationFile(f.data(), f.size(), b), c.result);
        EXPECT_EQ(std::memcmp(&before, &b, sizeof b), 0);
    }
}

TEST(ConfigurationFile, DamagedFieldsAreLimited) {
    struct Case {
        size_t offset;
        int32_t stored;
        int32_t expected;
        bool byte;
    } cases[] = {
        {0, 9, 6, false},            // velocity curve
        {0, -3, 0, false},
        {12, 7, 1, false},
        {16, -1, 0, false},
        {28, 20, 15, false},         // selected temperament
        {32, -80, -50, false},       // a user cents value
        {32 + 4 * 95, 51, 50, false},
        {451, 50, 1, false},         // editor scale
        {451, 300, 300, false},
        {451, 301, 1, false},
        {455, 0, 8, true},           // oversampling factor: one of the setup page's choices
        {455, 3, 8, true},
        {455, 255, 8, true},
        {455, 1, 1, true},
        {455, 16, 16, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "offset " << c.offset << " value " << c.stored);
        std::vector<uint8_t> f = makeFile(0x01040404, false);
        if (c.byte)
            f[48 + c.offset] = static_cast<uint8_t>(c.stored);
        else
            putInt(f, 48 + c.offset, c.stored, false);
        ConfigurationBlock b = defaults();
        ASSERT_EQ(parseConfigurationFile(f.data(), f.size(), b), fileOk);
        int32_t got = 0;
        if (c.byte)
            got = reinterpret_cast<const uint8_t*>(&b)[c.offset];
        else
            std::memcpy(&got, reinterpret_cast<const uint8_t*>(&b) + c.offset, 4);
        EXPECT_EQ(got, c.expected);
    }
}

TEST(ConfigurationFile, SkinNameNeverLeavesTheSkinsFolder) {
    struct Case {
        const char* name; // copied as 32 bytes; nullptr means 32 letters without a terminator
        const char* expected;
    } cases[] = {
        {"Night Blue", "Night Blue"},
        {"..", "Default"},
        {"../../etc", "Default"},
        {"a/b", "Default"},
        {"a\\b", "Default"},
        {"C:skin", "Default"},
        {"x..y", "Default"},
        {"", "Default"},
        {nullptr, "Default"},
        {"v1.2", "v1.2"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name ? c.name : "(unterminated)");
        std::vector<uint8_t> f = makeFile(0x01040404, false);
        uint8_t* field = &f[48 + 419];
        std::memset(field, 0, 32);
        if (c.name)
            std::memcpy(field, c.name, std::strlen(c.name));
        else
            std::memset(field, 'k', 32);
        ConfigurationBlock b = defaults();
        ASSERT_EQ(parseConfigurationFile(f.data(), f.size(), b), fileOk);
        EXPECT_STREQ(b.skinName, c.expected);
    }
}

// The size field is the file's own word; it never makes the reader run outside the block or
// the file, and block bytes the file does not provide keep their values.
TEST(ConfigurationFile, SizeFieldIsBounded) {
    struct Case {
        int32_t version;
        int32_t size;
        size_t fileBlockBytes; // block bytes actually present after the header
        int32_t velocityCurve; // what the first field reads as
        const char* skin;
    } cases[] = {
        {0x01010200, 3, 459, 5, "Default"},       // a size below 7 never reads a negative count
        {0x01010200, 0, 459, 3, "Default"},
        {0x01010200, -20, 459, 3, "Default"},
        {1000, 6, 6, 5, "Default"},
        {0x01040404, 100000, 459, 5, "Night"},     // only the block's bytes are read
        {0x01040404, 459, 100, 5, "Default"},      // a truncated file gives what it has
        {0x01040404, INT32_MIN, 459, 3, "Default"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << c.version << std::dec << " size " << c.size);
        std::vector<uint8_t> f = makeFile(c.version, false);
        putInt(f, 44, c.size, false);
        f.resize(48 + std::min(c.fileBlockBytes, f.size() - 48));
        ConfigurationBlock b = defaults();
        ASSERT_EQ(parseConfigurationFile(f.data(), f.size(), b), fileOk);
        EXPECT_EQ(+b.velocityCurve, c.velocityCurve);
        EXPECT_STREQ(b.skinName, c.skin);
    }
}

TEST(ConfigurationFile, PartialFileOfTheOtherOrderLeavesUnreadFieldsAlone) {
    std::vector<uint8_t> f = makeFile(0x01040404, true);
    f.resize(48 + 20); // velocity curve and the options up to 19 only
    ConfigurationBlock b = defaults();
    ASSERT_EQ(parseConfigurationFile(f.data(), f.size(), b), fileOk);
    EXPECT_EQ(+b.velocityCurve, 5);
    EXPECT_EQ(+b.selectedTemperament, 0); // still the default, not a reversed one
    EXPECT_EQ(+b.editorScale, 1);
}
