#include "foundation/podoFileFind.h"

#include "foundation/podoTime.h"
#include "podoTestFolder.h"

#include <gtest/gtest.h>

#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace {

namespace fs = std::filesystem;

class podoFileFindTest : public testing::Test
{
protected:
    podoStr pattern(const std::string &tail) const { return podoStr(folder.path(tail).c_str()); }

    // Every name a search gives, in order.
    std::vector<std::string> names(const std::string &tail)
    {
        std::vector<std::string> out;
        podoFileFind find;
        podoStr name;
        for (bool more = find.findFirst(pattern(tail), &name); more; more = find.findNext(&name))
            out.emplace_back(name.getNarrow());
        return out;
    }

    podoTestFolder folder;
};

TEST_F(podoFileFindTest, NothingToFind)
{
    podoFileFind find;
    podoStr name("unchanged");
    uint32_t attributes = 7;
    uint64_t size = 9;
    EXPECT_FALSE(find.findFirst(pattern("*"), &name, &attributes, &size)); // only "." and ".."
    EXPECT_FALSE(find.findFirst(pattern("missing/*"), &name, &attributes, &size));
    EXPECT_STREQ(name.getNarrow(), "unchanged");
    EXPECT_EQ(attributes, 7u);
    EXPECT_EQ(size, 9u);
    EXPECT_EQ(find.count(pattern("missing/*")), 0u);
    EXPECT_FALSE(find.findNext(&name));
}

TEST_F(podoFileFindTest, PatternsMatchLikeTheOriginalSystem)
{
    for (const char *name : {"b10.pth", "B2.pth", "a.PTH", "c.txt", "README", "x.pth.bak", "a1.usr", "a10.usr"})
        folder.write(name, "");
    struct Case {
        const char *pattern;
        std::vector<std::string> names;
    };
    const Case cases[] = {
        // Sorted by name: natural order, letters in either case.
        {"*.pth", {"a.PTH", "B2.pth", "b10.pth"}},
        {"*.*", {"a.PTH", "a1.usr", "a10.usr", "B2.pth", "b10.pth", "c.txt", "README", "x.pth.bak"}},
        {"*", {"a.PTH", "a1.usr", "a10.usr", "B2.pth", "b10.pth", "c.txt", "README", "x.pth.bak"}},
        {"a?.usr", {"a1.usr"}},
        {"readme", {"README"}},
        {"*.pt", {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.pattern);
        EXPECT_EQ(names(c.pattern), c.names);
    }
}

TEST_F(podoFileFindTest, ExhaustedSearchStaysExhaustedUntilClosed)
{
    for (const char *name : {"1.wvt", "2.wvt", "3.wvt"})
        folder.write(name, "");
    podoFileFind find;
    podoStr name;
    ASSERT_TRUE(find.findFirst(pattern("*.wvt"), &name));
    EXPECT_STREQ(name.getNarrow(), "1.wvt");
    EXPECT_TRUE(find.findNext(&name));
    EXPECT_TRUE(find.findNext(&name));
    EXPECT_STREQ(name.getNarrow(), "3.wvt");
    EXPECT_FALSE(find.findNext(&name));
    EXPECT_FALSE(find.findNext(&name));
    EXPECT_STREQ(name.getNarrow(), "3.wvt");

    find.close();
    EXPECT_TRUE(find.findNext(&name)); // starts over with the last pattern
    EXPECT_STREQ(name.getNarrow(), "1.wvt");
    EXPECT_EQ(find.count(pattern("*.wvt")), 3u);

    // The other separator is accepted in a pattern.
    const std::string backslashed = folder.root.string() + "\\*.wvt";
    EXPECT_EQ(find.count(podoStr(backslashed.c_str())), 3u);
}

TEST_F(podoFileFindTest, EntriesCarryAttributesSizeAndTimes)
{
    fs::create_directory(folder.path("Skins"));
    folder.write(".hidden", "12345");
    fs::permissions(folder.path(".hidden"), fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    folder.write("plain.bin", "123");

    // A known modification time: 2024-03-07 13:05:09.250 UTC.
    const timespec times[2] = {{1709816709, 250'000'000}, {1709816709, 250'000'000}};
    ASSERT_EQ(utimensat(AT_FDCWD, folder.path("plain.bin").c_str(), times, 0), 0);
    struct tm local {};
    const time_t seconds = times[1].tv_sec;
    ASSERT_TRUE(localtime_r(&seconds, &local));
    podoTime expected;
    expected.year = local.tm_year + 1900;
    expected.month = local.tm_mon + 1;
    expected.day = local.tm_mday;
    expected.hour = local.tm_hour;
    expected.minute = local.tm_min;
    expected.second = local.tm_sec;
    expected.millisecond = 250;

    struct Expected {
        const char *name;
        uint32_t attributes;
        uint64_t size;
    };
    const Expected entries[] = {
        {".hidden", podoFileAttributes::hidden | podoFileAttributes::readOnly, 5},
        {"plain.bin", 0, 3},
        {"Skins", podoFileAttributes::folder, 0},
    };
    podoFileFind find;
    podoStr name;
    uint32_t attributes = 0;
    uint64_t size = 0, created = 0, written = 0, accessed = 0;
    bool more = find.findFirst(pattern("*"), &name, &attributes, &size, &created, &written, &accessed);
    for (const Expected &e : entries) {
        SCOPED_TRACE(e.name);
        ASSERT_TRUE(more);
        EXPECT_STREQ(name.getNarrow(), e.name);
        EXPECT_EQ(attributes, e.attributes);
        EXPECT_EQ(size, e.size);
        EXPECT_NE(created, 0u);
        if (std::string(e.name) == "plain.bin") {
            EXPECT_EQ(written, expected.toMilliseconds());
            EXPECT_EQ(accessed, expected.toMilliseconds());
        }
        more = find.findNext(&name, &attributes, &size, &created, &written, &accessed);
    }
    EXPECT_FALSE(more);
}

} // namespace
