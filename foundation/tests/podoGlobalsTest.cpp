#include "foundation/podoError.h"
#include "foundation/podoGlobals.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

namespace {

TEST(podoGlobals, ConstantsHoldBothFormsFromLoad)
{
    // Read the stored lengths first: they show what was built before any reader came.
    EXPECT_EQ(podo::emptyString.narrowBufferLength(), 0);
    EXPECT_EQ(podo::emptyString.wideBufferLength(), 0);
    EXPECT_EQ(podo::pathSeparators.narrowBufferLength(), 2);
    EXPECT_EQ(podo::pathSeparators.wideBufferLength(), 2);
    EXPECT_EQ(podo::driveSeparator.narrowBufferLength(), 1);
    EXPECT_EQ(podo::driveSeparator.wideBufferLength(), 1);

    EXPECT_STREQ(podo::pathSeparators.getNarrow(), "/\\");
    EXPECT_EQ(podo::pathSeparatorsLength, 2);
    EXPECT_EQ(podo::driveSeparatorLength, 1);
    EXPECT_EQ(podo::preferredSeparator(), u'/');
    EXPECT_TRUE(podo::isPathSeparator(u'/') && podo::isPathSeparator(u'\\'));
    EXPECT_FALSE(podo::isPathSeparator(u':') || podo::isPathSeparator(0));
    EXPECT_TRUE(podo::isDriveSeparator(u':'));
    EXPECT_FALSE(podo::isDriveSeparator(u'/'));

    EXPECT_TRUE(podo::logFilePath.isEmpty());
}

TEST(podoGlobals, ConstantsAreReadFromManyThreadsWithoutWrites)
{
    const char16_t *wideBefore = podo::pathSeparators.getWide();
    const char *narrowBefore = podo::emptyString.getNarrow();
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([] {
            for (int i = 0; i < 1000; ++i) {
                podoStr path(u"a/b\\c.txt");
                EXPECT_STREQ(path.getNarrowFileName(), "c.txt");
                EXPECT_TRUE(podo::emptyString.isEmpty());
            }
        });
    for (std::thread &t : threads)
        t.join();
    // Nothing was rebuilt: the same buffers are still there.
    EXPECT_EQ(podo::pathSeparators.getWide(), wideBefore);
    EXPECT_EQ(podo::emptyString.getNarrow(), narrowBefore);
}

TEST(podoGlobals, VersionText)
{
    struct Case
    {
        uint32_t version;
        const char *text;
    };
    const Case cases[] = {
        {0x01040601, "1.4.6.1"}, {0x01040600, "1.4.6"}, {0x01000000, "1.0"}, {0x01000100, "1.0.1"},
        {0x00000000, "0.0"},     {0xFFFFFFFF, "255.255.255.255"},          {0x00010000, "0.1"},
    };
    for (const Case &c : cases)
        EXPECT_STREQ(podo::versionToText(c.version), c.text);
}

TEST(podoGlobals, ModuleHandleNamesThisModulesFile)
{
    EXPECT_EQ(podo::getModuleInstance(), nullptr); // until an instance copies it
    const podo::ModuleHandle module = podo::setModuleInstance();
    ASSERT_NE(module, nullptr);
    EXPECT_EQ(podo::getModuleInstance(), module);
    podoStr path;
    ASSERT_TRUE(podo::platform::moduleFileName(module, path));
    EXPECT_EQ(std::filesystem::path(path.getNarrow()), std::filesystem::canonical("/proc/self/exe"));
    EXPECT_FALSE(podo::platform::moduleFileName(nullptr, path));
}

TEST(podoError, MessagesAndValues)
{
    podoStr text;
    EXPECT_FALSE(podoError().text(text).isEmpty()); // the system's text for success
    EXPECT_STREQ(podoError().setCode(ENOENT).text(text).getNarrow(), "No such file or directory");
    EXPECT_STREQ(podoError().setCode(987654).text(text).getNarrow(), "Unknown error");

    podoError a, b;
    a.setCode(5);
    a.second = 7;
    EXPECT_TRUE(a.isCode(5));
    EXPECT_TRUE(a != b);
    b.copyFrom(a);
    EXPECT_TRUE(a == b);
    b.third = 1; // the other values count in comparisons
    EXPECT_TRUE(a != b);
    EXPECT_EQ(b.clear(), 0);
    EXPECT_TRUE(b == podoError());
}

} // namespace
