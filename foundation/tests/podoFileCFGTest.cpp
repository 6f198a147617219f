#include "foundation/podoFileCFG.h"

#include "podoTestFolder.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace {

using Pairs = std::vector<std::pair<std::string, std::string>>;
constexpr uint32_t createNew = podoFileFlags::write | podoFileFlags::create; // 6

Pairs listed(podoFileCFG::PairList &list)
{
    Pairs out;
    for (auto *node = list.first(); node; node = node->next)
        out.emplace_back(node->value.first.getNarrow(), node->value.second.getNarrow());
    return out;
}

class podoFileCFGTest : public testing::Test
{
protected:
    podoStr at(const std::string &name) const { return podoStr(folder.path(name).c_str()); }

    // The pairs a file gives with the default settings.
    Pairs loaded(const std::string &name, char comment = ';', bool strip = true)
    {
        podoFileCFG file(at(name));
        EXPECT_TRUE(file.isOpen());
        file.setCommentChar(comment, strip);
        podoFileCFG::PairList list;
        EXPECT_TRUE(file.load(&list));
        return listed(list);
    }

    podoTestFolder folder;
};

TEST_F(podoFileCFGTest, LoadKeepsPairsInFileOrderAndSkipsCommentsAndMalformedLines)
{
    const std::string longValue(3000, 'v');
    folder.write("colors.txt", "  back-color = ff0000ff ; red\r\n"
                               "; a whole-line comment\n"
                               "x=1\n"
                               "\t ;indented comment = yes\n"
                               "x = 2\n"
                               "novalue\n"
                               "\n"
                               "a = b = c\n"
                               " = empty key\n"
                               "long = " +
                                   longValue + "\n"
                                               "last=no line end");
    const Pairs expected = {{"back-color", "ff0000ff"}, {"x", "2"}, {"a", "b = c"}, {"", "empty key"},
                            {"long", longValue},        {"last", "no line end"}};
    EXPECT_EQ(loaded("colors.txt"), expected);

    // The object's own list answers get; an absent key leaves the output alone.
    podoFileCFG file(at("colors.txt"));
    ASSERT_TRUE(file.load());
    podoStr value("untouched");
    EXPECT_FALSE(file.get("novalue", value));
    EXPECT_STREQ(value.getNarrow(), "untouched");
    EXPECT_TRUE(file.get("back-color", value));
    EXPECT_STREQ(value.getNarrow(), "ff0000ff");
    EXPECT_FALSE(file.get("Back-Color", value)); // keys match case-sensitively
}

TEST_F(podoFileCFGTest, CommentCharacterAndInlineStripping)
{
    folder.write("c.txt", "a = b ; c\n# note = 1\nd = e # f\n");
    struct Case {
        char comment;
        bool strip;
        Pairs expected;
    } cases[] = {
        {';', true, {{"a", "b"}, {"# note", "1"}, {"d", "e # f"}}},
        {';', false, {{"a", "b ; c"}, {"# note", "1"}, {"d", "e # f"}}},
        {'#', true, {{"a", "b ; c"}, {"d", "e"}}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(1, c.comment) + (c.strip ? " strip" : " keep"));
        EXPECT_EQ(loaded("c.txt", c.comment, c.strip), c.expected);
    }
}

// A pair's texts end at a NUL byte: the blank before it is trimmed, the rest of the line is
// never read, and a line whose '=' lies past the NUL has no pair.
TEST_F(podoFileCFGTest, NulByteEndsTheLinesText)
{
    folder.write("nul.txt", std::string("a = b \0= c\nk\0 = v\nx = 1\n", 24));
    EXPECT_EQ(loaded("nul.txt"), (Pairs{{"a", "b"}, {"x", "1"}}));
}

TEST_F(podoFileCFGTest, SetReplacesInPlaceOrAppendsOnTheGivenList)
{
    podoFileCFG file(at("none.txt"));
    podoFileCFG::PairList own;
    EXPECT_FALSE(file.set("a", "1", &own));
    EXPECT_FALSE(file.set("b", "2", &own));
    EXPECT_TRUE(file.set("a", "3", &own));
    EXPECT_EQ(listed(own), (Pairs{{"a", "3"}, {"b", "2"}}));

    // The caller's list and the object's are separate.
    podoStr value;
    EXPECT_FALSE(file.get("a", value));
    EXPECT_TRUE(file.get("a", value, &own));
    EXPECT_STREQ(value.getNarrow(), "3");
}

TEST_F(podoFileCFGTest, MissingFileLoadsEmptyAndReopenForWritingCreatesIt)
{
    podoFileCFG file(at("settings.txt"));
    EXPECT_FALSE(file.isOpen());
    const uint32_t openError = file.getError();
    EXPECT_NE(openError, 0u);
    EXPECT_TRUE(file.load());
    EXPECT_EQ(file.getError(), openError); // the open's code is still there to test
    podoStr value;
    EXPECT_FALSE(file.get("anything", value));

    // Saving needs a file opened for writing; the path given at construction is
    // the one reopen creates.
    file.set("zoom", "2");
    EXPECT_FALSE(file.save());
    EXPECT_EQ(file.reopen(createNew), 0u);
    EXPECT_TRUE(file.save());
    EXPECT_FALSE(file.load()); // opened for writing only
    file.close();
    EXPECT_EQ(folder.read("settings.txt"), "zoom = 2\n");
}

TEST_F(podoFileCFGTest, SaveOnAFileOpenedForReadingWritesNothing)
{
    folder.write("keep.txt", "k = v\n");
    podoFileCFG file(at("keep.txt"));
    ASSERT_TRUE(file.load());
    file.set("k", "changed");
    EXPECT_FALSE(file.save());
    file.close();
    EXPECT_EQ(folder.read("keep.txt"), "k = v\n");
}

TEST_F(podoFileCFGTest, SaveFailsWhenTheFileCouldNotBeCreated)
{
    folder.write("plain", "a file where a folder should be");
    podoFileCFG file(at("plain/settings.txt"));
    file.set("k", "v");
    EXPECT_NE(file.reopen(createNew), 0u);
    EXPECT_FALSE(file.save());
}

TEST_F(podoFileCFGTest, SavedPairsLoadBackExceptComments)
{
    const std::string longValue(2500, 'x'); // longer than one formatted piece
    podoFileCFG file(at("out.txt"));
    ASSERT_EQ(file.reopen(createNew), 0u);
    file.set("name", "Quorix \xE2\x99\xAA");
    file.set(";", "written as a comment");
    file.set("", "empty key");
    file.set("formula", "a = b");
    file.set("long", longValue.c_str());
    EXPECT_TRUE(file.save());
    file.close();

    const std::string text = folder.read("out.txt");
    const std::string start = "name = Quorix \xE2\x99\xAA\n; written as a comment\n = empty key\nformula = a = b\n";
    EXPECT_EQ(text.substr(0, start.size()), start);
    EXPECT_EQ(loaded("out.txt"), (Pairs{{"name", "Quorix \xE2\x99\xAA"},
                                        {"", "empty key"},
                                        {"formula", "a = b"},
                                        {"long", longValue}}));
}

// Nothing is escaped: a pair that loading would not give back is left out, the
// others are still written, and save reports the loss.
TEST_F(podoFileCFGTest, SaveSkipsPairsThatWouldNotReadBack)
{
    struct Case {
        const char *why;
        const char *key;
        const char *value;
        bool strip;
    } cases[] = {
        {"line feed in the value", "k", "one\ntwo", true},
        {"carriage return in the key", "k\rx", "v", true},
        {"equals sign in the key", "a=b", "v", true},
        {"key starts with the comment character", ";k", "v", false},
        {"blank at the end of the key", "k ", "v", true},
        {"tab at the start of the value", "k", "\tv", true},
        {"blank at the end of the value", "k", "v ", true},
        {"comment character in the value", "k", "a;b", true},
        {"comment character in the key", "k;x", "v", true},
        {"line feed in a comment", ";", "one\ntwo", true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.why);
        podoFileCFG file(at("skip.txt"));
        ASSERT_EQ(file.reopen(createNew), 0u);
        file.setCommentChar(';', c.strip);
        file.set("before", "1");
        file.set(c.key, c.value);
        file.set("after", "2");
        EXPECT_FALSE(file.save());
        file.close();
        EXPECT_EQ(folder.read("skip.txt"), "before = 1\nafter = 2\n");
    }

    // Without inline stripping the comment character may stand inside a pair.
    podoFileCFG file(at("kept.txt"));
    ASSERT_EQ(file.reopen(createNew), 0u);
    file.setCommentChar(';', false);
    file.set("k;x", "a;b");
    EXPECT_TRUE(file.save());
    file.close();
    EXPECT_EQ(loaded("kept.txt", ';', false), (Pairs{{"k;x", "a;b"}}));
}

} // namespace
