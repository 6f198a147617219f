#include "foundation/windRegistry.h"

#include "foundation/tests/podoTestFolder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

namespace {

// Points the store at a test folder for one test.
class Registry : public ::testing::Test
{
protected:
    void SetUp() override
    {
        setenv("QUORIX_REGISTRY", folder.path("user").c_str(), 1);
        setenv("QUORIX_REGISTRY_SYSTEM", folder.path("system").c_str(), 1);
    }
    podoTestFolder folder;
    podoStr maker{"Kestrane"}, product{"Quorix"};
};

} // namespace

TEST_F(Registry, StringsComeBackExactlyWhateverTheyHold)
{
    const char *values[] = {"", "C:\\Program Files\\Kestrane\\Quorix", "a=b=c", "line one\nline two\r\n",
                            "back\\slash\\n not a newline", "Ünïcødé ✓ 𝄞", " leading and trailing "};
    int n = 0;
    for (const char *value : values) {
        SCOPED_TRACE(value);
        podoStr name;
        name.format("value=%d\nodd name", n++);
        ASSERT_TRUE(windRegistry::writeString(0x10001, &maker, &product, name, podoStr(value)));
        podoStr out("unchanged");
        ASSERT_TRUE(windRegistry::readString(0x10001, &maker, &product, name, &out));
        EXPECT_STREQ(out.getNarrow(), value);
    }
    // Earlier values survive later writes to the same key.
    podoStr out;
    ASSERT_TRUE(windRegistry::readString(1, &maker, &product, podoStr("value=2\nodd name"), &out));
    EXPECT_STREQ(out.getNarrow(), "a=b=c");
}

TEST_F(Registry, ValuesAreUtf16WithoutATerminatorAndTooSmallABufferIsRefused)
{
    ASSERT_TRUE(windRegistry::writeString(1, &maker, &product, podoStr("Path"), podoStr("ab")));
    char16_t buffer[8] = {};
    uint32_t size = sizeof buffer;
    ASSERT_TRUE(windRegistry::readValue(1, &maker, &product, podoStr("Path"), buffer, size));
    EXPECT_EQ(size, 4u);
    EXPECT_EQ(buffer[0], u'a');
    EXPECT_EQ(buffer[1], u'b');
    size = 2;
    EXPECT_FALSE(windRegistry::readValue(1, &maker, &product, podoStr("Path"), buffer, size));
    EXPECT_EQ(size, 4u) << "the size needed is reported";

    ASSERT_TRUE(windRegistry::writeString(1, &maker, &product, podoStr("Empty"), podoStr("")));
    size = sizeof buffer;
    ASSERT_TRUE(windRegistry::readValue(1, &maker, &product, podoStr("Empty"), buffer, size));
    EXPECT_EQ(size, 0u);

    // A value longer than the string reader's 4,096 bytes is not read.
    ASSERT_TRUE(windRegistry::writeString(1, &maker, &product, podoStr("Long"), podoStr(std::string(3000, 'x').c_str())));
    podoStr out("unchanged");
    EXPECT_FALSE(windRegistry::readString(1, &maker, &product, podoStr("Long"), &out));
    EXPECT_STREQ(out.getNarrow(), "unchanged");
}

TEST_F(Registry, KeysAndRootsAreKeptApart)
{
    ASSERT_TRUE(windRegistry::writeString(0x10001, &maker, &product, podoStr("Where"), podoStr("user")));
    ASSERT_TRUE(windRegistry::writeString(0, &maker, &product, podoStr("Where"), podoStr("machine")));
    ASSERT_TRUE(windRegistry::writeString(1, nullptr, &product, podoStr("Where"), podoStr("product only")));
    podoStr out;
    ASSERT_TRUE(windRegistry::readString(0x20001, &maker, &product, podoStr("Where"), &out));
    EXPECT_STREQ(out.getNarrow(), "user");
    ASSERT_TRUE(windRegistry::readString(0x10000, &maker, &product, podoStr("Where"), &out));
    EXPECT_STREQ(out.getNarrow(), "machine");
    ASSERT_TRUE(windRegistry::readString(1, nullptr, &product, podoStr("Where"), &out));
    EXPECT_STREQ(out.getNarrow(), "product only");
    EXPECT_FALSE(windRegistry::readString(1, &product, &maker, podoStr("Where"), &out));
    // Words that look like paths stay inside the store.
    podoStr sneaky("../../escape");
    ASSERT_TRUE(windRegistry::writeString(1, &sneaky, &product, podoStr("x"), podoStr("y")));
    for (const auto &entry : std::filesystem::recursive_directory_iterator(folder.root))
        EXPECT_EQ(entry.path().string().rfind(folder.root.string(), 0), 0u);
    EXPECT_FALSE(std::filesystem::exists(folder.root.parent_path() / "escape.reg"));
}

TEST_F(Registry, TheMachineRootReadsTheSystemFileUnderTheUsersOwn)
{
    std::filesystem::create_directories(folder.path("system/HKEY_LOCAL_MACHINE/Software/Kestrane"));
    folder.write("system/HKEY_LOCAL_MACHINE/Software/Kestrane/Quorix.reg", "Path=/opt/quorix\nOnly=system\n");
    podoStr out;
    ASSERT_TRUE(windRegistry::readString(0x10000, &maker, &product, podoStr("Path"), &out));
    EXPECT_STREQ(out.getNarrow(), "/opt/quorix");
    EXPECT_FALSE(windRegistry::readString(0x10001, &maker, &product, podoStr("Path"), &out));

    ASSERT_TRUE(windRegistry::writeString(0, &maker, &product, podoStr("Path"), podoStr("/home/me/quorix")));
    ASSERT_TRUE(windRegistry::readString(0, &maker, &product, podoStr("Path"), &out));
    EXPECT_STREQ(out.getNarrow(), "/home/me/quorix");
    ASSERT_TRUE(windRegistry::readString(0, &maker, &product, podoStr("Only"), &out));
    EXPECT_STREQ(out.getNarrow(), "system");
    EXPECT_EQ(folder.read("system/HKEY_LOCAL_MACHINE/Software/Kestrane/Quorix.reg"), "Path=/opt/quorix\nOnly=system\n")
        << "the system-wide file is never written";
}

TEST_F(Registry, AStoreThatCannotBeWrittenAnswersFalse)
{
    folder.write("blocker", "x");
    setenv("QUORIX_REGISTRY", folder.path("blocker/store").c_str(), 1);
    EXPECT_FALSE(windRegistry::writeString(1, &maker, &product, podoStr("a"), podoStr("b")));
    EXPECT_EQ(windRegistry::openKey(1, &maker, &product, podoStr("REG_SZ")), nullptr);
    podoStr out;
    EXPECT_FALSE(windRegistry::readString(1, &maker, &product, podoStr("a"), &out));
}
