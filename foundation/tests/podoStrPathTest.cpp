#include "foundation/podoGlobals.h"
#include "foundation/podoStr.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// Paths are written here with '\' wherever the system puts its preferred
// separator; P() turns them into this platform's paths.
std::u16string P(const char *path)
{
    std::u16string s;
    for (const char *p = path; *p; ++p)
        s += *p == '\\' ? podo::preferredSeparator() : char16_t(*p);
    return s;
}

std::u16string wideOf(const podoStr &s)
{
    return s.getWide();
}

struct Parts
{
    std::u16string drive, folder, name, extension;
};

Parts splitOf(const std::u16string &path)
{
    podoStr d, f, n, e;
    podoStr(path.c_str()).splitPath(&d, &f, &n, &e);
    return {d.getWide(), f.getWide(), n.getWide(), e.getWide()};
}

TEST(podoStrPath, SplitFindsDriveFolderNameAndExtension)
{
    struct Case
    {
        const char *path, *drive, *folder, *name, *extension;
    };
    const Case cases[] = {
        {"C:\\dir\\sub\\file.tar.gz", "C:", "\\dir\\sub\\", "file.tar", ".gz"},
        {"file", "", "", "file", ""},
        {"dir.d\\file", "", "dir.d\\", "file", ""}, // a '.' in the folder starts no extension
        {"\\abs\\.hidden", "", "\\abs\\", "", ".hidden"},
        {"C:name.x", "C:", "", "name", ".x"},
        {"", "", "", "", ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.path);
        const Parts parts = splitOf(P(c.path));
        EXPECT_EQ(parts.drive, P(c.drive));
        EXPECT_EQ(parts.folder, P(c.folder));
        EXPECT_EQ(parts.name, P(c.name));
        EXPECT_EQ(parts.extension, P(c.extension));
    }
    // Both separators split, whichever is preferred.
    EXPECT_EQ(splitOf(u"a/b\\c.txt").folder, u"a/b\\");
}

// A folder the system names with bytes that are not UTF-8 (a Latin-1 "caf\xE9") is still that
// folder after the path operations, which work on the wide form.
TEST(podoStrPath, BytesThatAreNotUtf8SurviveThePathOperations)
{
    podoStr folder("/tmp/caf\xE9");
    folder.addTrailingSeparator(u'/');
    podoStr file = folder + "Quorix.con";
    EXPECT_STREQ(file.getNarrow(), "/tmp/caf\xE9/Quorix.con");
    podoStr parent;
    file.splitPath(nullptr, &parent, nullptr, nullptr);
    EXPECT_STREQ(parent.getNarrow(), "/tmp/caf\xE9/");
    podoStr swapped(file);
    swapped.setExtension("tmp");
    EXPECT_STREQ(swapped.getNarrow(), "/tmp/caf\xE9/Quorix.tmp");
}

TEST(podoStrPath, JoiningAndReplacingParts)
{
    const podoStr drive("C"), folder(P("\\new").c_str()), name("f"), ext("txt");
    podoStr s;
    s.makePath(&drive, &folder, &name, &ext);
    EXPECT_EQ(wideOf(s), P("C:\\new\\f.txt"));
    s.makePath(nullptr, nullptr, &name, nullptr);
    EXPECT_EQ(wideOf(s), u"f");

    struct Case
    {
        const char *path;
        podoStr &(*change)(podoStr &);
        const char *result;
    };
    const Case cases[] = {
        {"a\\b.dat", [](podoStr &s) -> podoStr & { return s.setExtension("txt"); }, "a\\b.txt"},
        {"a\\b.dat", [](podoStr &s) -> podoStr & { return s.setExtension(".txt"); }, "a\\b.txt"},
        {"a\\b.dat", [](podoStr &s) -> podoStr & { return s.removeExtension(); }, "a\\b"},
        {"x", [](podoStr &s) -> podoStr & { return s.setDefaultExtension(".pth"); }, "x.pth"},
        {"x.usr", [](podoStr &s) -> podoStr & { return s.setDefaultExtension(".pth"); }, "x.usr"},
        {"C:\\old\\f.txt",
         [](podoStr &s) -> podoStr & {
             const podoStr folder(P("\\new").c_str());
             return s.setPathParts(nullptr, &folder, nullptr, nullptr);
         },
         "C:\\new\\f.txt"},
        {"C:\\old\\f.txt",
         [](podoStr &s) -> podoStr & { return s.setPathParts(&podo::emptyString, nullptr, nullptr, nullptr); },
         "\\old\\f.txt"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.path);
        podoStr s(P(c.path).c_str());
        EXPECT_EQ(wideOf(c.change(s)), P(c.result));
    }

    // The string may be its own part.
    podoStr self(P("dir\\name.ext").c_str());
    self.splitPath(nullptr, nullptr, &self, nullptr);
    EXPECT_EQ(wideOf(self), u"name");
    podoStr joined("base");
    joined.makePath(nullptr, nullptr, &joined, &joined);
    EXPECT_EQ(wideOf(joined), u"base.base");
}

TEST(podoStrPath, FileNameIsTheTextAfterTheLastSeparator)
{
    struct Case
    {
        std::u16string path;
        std::u16string name;
    };
    const Case cases[] = {
        {u"a/b\\c.txt", u"c.txt"},
        {u"c.txt", u"c.txt"},
        {u"a\\", u""},
        {u"/\u00E9t\u00E9.wav", u"\u00E9t\u00E9.wav"},
    };
    for (const Case &c : cases) {
        const podoStr s(c.path.c_str());
        EXPECT_EQ(std::u16string(s.getWideFileName()), c.name);
        const podoStr n(s.getNarrowFileName());
        EXPECT_EQ(wideOf(n), c.name);
    }
}

TEST(podoStrPath, TrailingAndInnerSeparators)
{
    podoStr s(P("C:\\x").c_str());
    s.addTrailingSeparator();
    EXPECT_EQ(wideOf(s), P("C:\\x\\"));
    s.addTrailingSeparator(); // already there
    EXPECT_EQ(wideOf(s), P("C:\\x\\"));
    podoStr other(u"C:\\x/");
    other.addTrailingSeparator(u'\\');
    EXPECT_EQ(wideOf(other), u"C:\\x/");
    podoStr empty;
    empty.addTrailingSeparator();
    EXPECT_EQ(wideOf(empty), u"");

    podoStr twice(P("C:\\x\\\\").c_str());
    twice.removeTrailingSeparator();
    EXPECT_EQ(wideOf(twice), P("C:\\x\\")); // only one goes
    twice.removeTrailingSeparator().removeTrailingSeparator();
    EXPECT_EQ(wideOf(twice), P("C:\\x"));
    podoStr root(P("C:\\").c_str());
    EXPECT_EQ(wideOf(root.removeTrailingSeparator()), u"C:");

    podoStr mixed(u"a\\b/c");
    EXPECT_EQ(wideOf(mixed.replaceSeparators(u'/')), u"a/b/c");
}

TEST(podoStrPath, LongPathsHaveNoFixedLimit)
{
    // Far beyond the 260 characters of old file systems.
    std::u16string folder;
    for (int i = 0; i < 100; ++i)
        folder += P("\\folder");
    const std::u16string name(300, u'n');
    const podoStr f(folder.c_str()), n(name.c_str()), e(u".ext");
    podoStr s;
    s.makePath(nullptr, &f, &n, &e);
    EXPECT_EQ(wideOf(s), folder + P("\\") + name + u".ext");
    const Parts parts = splitOf(wideOf(s));
    EXPECT_EQ(parts.folder, folder + P("\\"));
    EXPECT_EQ(parts.name, name);
    s.replaceSeparators(u'|').removeTrailingSeparator();
    EXPECT_EQ(s.wideLength(), int(folder.size() + 1 + name.size() + 4));
}

} // namespace
