#include "foundation/podoStr.h"

#include "foundation/davalArrayString.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace {

std::string narrowOf(const podoStr &s)
{
    return s.getNarrow();
}

// The same case runs on both forms: the narrow variants on a narrow string,
// the wide variants on the same text as a wide string.
podoStr wideCopy(const char *text)
{
    podoStr s;
    s.setMultiByte(text, podo::codePageUtf8);
    return s;
}

std::u16string widen(const char *text)
{
    return wideCopy(text).getWide();
}

TEST(podoStrCompare, NaturalOrderReadsNumbersWhole)
{
    struct Case
    {
        const char *a, *b;
        int count, expected;
    };
    const Case cases[] = {
        {"track10", "track9", 0, 1},
        {"a9", "a10", 0, -1},
        {"x2.5", "x2.25", 0, 1},
        {"01", "1", 0, -1},  // equal numbers, then '0' < '1'
        {"1.0", "1", 0, 1},  // equal numbers, then '.' against the end
        {"abc", "ab", 0, 1}, // the terminator is the smallest unit
        {"abc", "ABC", 0, 1},
        {"same", "same", 0, 0},
        {"", "", 0, 0},
        {"abxy", "abcd", 2, 0},
        {"ab", "ab", 10, 0}, // a count past both ends stops at the terminators
        {"v1e3", "v999", 0, 1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.a) + " vs " + c.b);
        EXPECT_EQ(podoStr(c.a).compare(c.b, c.count), c.expected);
        EXPECT_EQ(wideCopy(c.a).compare(widen(c.b).c_str(), c.count), c.expected);
        EXPECT_EQ(podoStr(c.a).compare(podoStr(c.b), c.count), c.expected);
    }
    EXPECT_EQ(podoStr("a").compare(static_cast<const char *>(nullptr)), 1);
}

TEST(podoStrCompare, NarrowBytesCompareSignedAndWideUnitsUnsigned)
{
    // e acute sorts before 'a' in the narrow form, after it in the wide form.
    EXPECT_EQ(podoStr("\xC3\xA9").compare("a"), -1);
    EXPECT_EQ(podoStr("\xC3\xA9").compare(u"a"), 1);
}

TEST(podoStrCompare, OperatorsSortNamesInNaturalOrder)
{
    std::vector<podoStr> names = {podoStr("take10"), podoStr("take9"), podoStr("Take1"), podoStr("take9")};
    std::sort(names.begin(), names.end(), [](const podoStr &a, const podoStr &b) { return a < b; });
    EXPECT_EQ(narrowOf(names[0]), "Take1");
    EXPECT_EQ(narrowOf(names[1]), "take9");
    EXPECT_EQ(narrowOf(names[3]), "take10");

    const podoStr s("b2");
    EXPECT_TRUE(s == "b2");
    EXPECT_TRUE(s == u"b2");
    EXPECT_TRUE(s != podoStr("b3"));
    EXPECT_TRUE(s > "b1" && s >= u"b2" && s <= "b2" && s < podoStr("b10"));
    EXPECT_FALSE(s == static_cast<const char *>(nullptr));
}

TEST(podoStrCompare, NoCaseComparisonIncludesTheEndOfText)
{
    struct Case
    {
        const char *a, *b;
        int count;
        int sign;
    };
    const Case cases[] = {
        {"abc", "ABC", 0, 0},
        {"ab", "ABC", 0, -1},  // a prefix is not equal
        {"abc", "AB", 0, 1},
        {"ab", "ABC", 3, -1},  // also when the count reaches past its end
        {"abc", "ABX", 2, 0},
        {"a[", "A{", 0, -1},   // only letters fold
    };
    auto sign = [](int v) { return (v > 0) - (v < 0); };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.a) + " vs " + c.b);
        EXPECT_EQ(sign(podoStr(c.a).compareNoCase(c.b, c.count)), c.sign);
        EXPECT_EQ(sign(wideCopy(c.a).compareNoCase(widen(c.b).c_str(), c.count)), c.sign);
        EXPECT_EQ(sign(podoStr(c.a).compareNoCase(podoStr(c.b), c.count)), c.sign);
    }
    EXPECT_GT(podoStr("a").compareNoCase(static_cast<const char16_t *>(nullptr)), 0);
}

TEST(podoStrCompare, StartsWithComparesNumbersWhole)
{
    EXPECT_TRUE(podoStr("abc").startsWith("ab"));
    EXPECT_TRUE(podoStr("abc").startsWith(podoStr(u"abc")));
    EXPECT_FALSE(podoStr("10").startsWith(u"1")); // 10 against 1
    EXPECT_FALSE(podoStr("abc").startsWith(""));  // count 0 compares the whole texts
    EXPECT_TRUE(podoStr("").startsWith(""));
    EXPECT_FALSE(podoStr("abc").startsWith(static_cast<const char *>(nullptr)));
}

TEST(podoStrSearch, FindCountsUnitsOfTheSearchedForm)
{
    const podoStr s("abcb");
    EXPECT_EQ(s.find("b", 0), 1);
    EXPECT_EQ(s.find(u"b", 2), 3);
    EXPECT_EQ(s.find(podoStr("cb")), 2);
    EXPECT_EQ(s.find("x"), -1);
    EXPECT_EQ(s.find("", 2), 2); // the empty text is found at start
    EXPECT_EQ(s.find("b", 9), -1);

    const podoStr accented("\xC3\xA9t\xC3\xA9");
    EXPECT_EQ(accented.find("t"), 2);
    EXPECT_EQ(accented.find(u"t"), 1);

    EXPECT_EQ(podoStr("Hello World").findNoCase("WORLD"), 6);
    EXPECT_EQ(podoStr("Hello World").findNoCase(u"o w"), 4);
    EXPECT_EQ(podoStr("abc").findNoCase(podoStr("BCD")), -1);
}

TEST(podoStrReplace, ReplacesLeftToRightUpToTheLimit)
{
    struct Case
    {
        const char *text, *find, *with;
        int most;
        const char *result;
        int count;
    };
    const Case cases[] = {
        {"banana", "a", "aa", 100, "baanaanaa", 3}, // replacement text is never searched
        {"banana", "a", "aa", 0, "baanana", 1},     // a limit below 1 acts as 1
        {"banana", "an", "", 100, "ba", 2},
        {"banana", "x", "y", 100, "banana", 0},
        {"banana", "", "y", 100, "banana", 0},      // nothing to find: no endless loop
        {"", "a", "b", 100, "", 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.text) + " / " + c.find);
        podoStr narrow(c.text);
        EXPECT_EQ(narrow.replace(c.find, c.with, c.most), c.count);
        EXPECT_EQ(narrowOf(narrow), c.result);
        podoStr wide = wideCopy(c.text);
        EXPECT_EQ(wide.replace(widen(c.find).c_str(), widen(c.with).c_str(), c.most), c.count);
        EXPECT_EQ(narrowOf(wide), c.result);
    }
}

TEST(podoStrReplace, NoCaseAndCharacterSets)
{
    podoStr s("One one ONE");
    EXPECT_EQ(s.replaceNoCase("one", "1"), 3);
    EXPECT_EQ(narrowOf(s), "1 1 1");
    s = u"Tab\tTAB";
    EXPECT_EQ(s.replaceNoCase(u"tab", u"x", 1), 1);
    EXPECT_EQ(narrowOf(s), "x\tTAB");

    podoStr chars("abab");
    EXPECT_EQ(chars.replaceChars("ab", "-", 1), 2); // the limit applies to each character
    EXPECT_EQ(narrowOf(chars), "--ab");
    chars = u"a/b\\c";
    EXPECT_EQ(chars.replaceChars(u"/\\", u"::"), 2);
    EXPECT_EQ(narrowOf(chars), "a::b::c");
}

TEST(podoStrMatch, WildcardsMatchTheWholeText)
{
    struct Case
    {
        const char *text, *pattern;
        bool matches, matchesNoCase;
    };
    const Case cases[] = {
        {"readme.txt", "*.txt", true, true},
        {"readme.txt", "read?e.*", true, true},
        {"readme.txt", "*.TXT", false, true},
        {"readme.txt", "*.tx", false, false},
        {"readme.txt", "readme.txt?", false, false},
        {"", "", true, true},
        {"", "**", true, true},
        {"", "?", false, false},
        {"a", "", false, false},
        {"abcabd", "*ab?", true, true},
        // Many stars against a long near-miss must not take exponential time.
        {"aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa", "*a*a*a*a*a*a*a*a*a*a*b", false, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.text) + " ~ " + c.pattern);
        EXPECT_EQ(podoStr(c.text).matches(c.pattern), c.matches);
        EXPECT_EQ(podoStr(c.text).matches(widen(c.pattern).c_str()), c.matches);
        EXPECT_EQ(podoStr(c.text).matchesNoCase(c.pattern), c.matchesNoCase);
        EXPECT_EQ(podoStr(c.text).matchesNoCase(podoStr(c.pattern)), c.matchesNoCase);
    }
}

TEST(podoStrTests, PlainNames)
{
    struct Case
    {
        const char *text;
        bool letterFirst, expected;
    };
    const Case cases[] = {
        {"9lives", true, false}, {"9lives", false, true}, {"a-b_c.d", true, true},
        {"", true, true},        {"a b", false, false},   {"caf\xC3\xA9", false, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(podoStr(c.text).isPlainName(c.letterFirst), c.expected);
    }
}

TEST(podoStrEditing, AppendJoinsInTheVariantsForm)
{
    podoStr s("ab");
    s.appendChar('c').appendChar(u'\u00E9').append("d").append(u"e");
    EXPECT_EQ(narrowOf(s), "abc\xC3\xA9" "de");
    s.appendChar('\0').append(static_cast<const char *>(nullptr));
    EXPECT_EQ(narrowOf(s), "abc\xC3\xA9" "de");

    podoStr twice("xy");
    twice.append(twice);
    EXPECT_EQ(narrowOf(twice), "xyxy");
    twice += twice.getNarrow();
    EXPECT_EQ(narrowOf(twice), "xyxyxyxy");

    const podoStr base("base");
    const podoStr joined = base + "-" + u'1' + podoStr(u"/") + '2';
    EXPECT_EQ(narrowOf(joined), "base-1/2");
    EXPECT_EQ(narrowOf(base), "base");
}

TEST(podoStrEditing, CopyOutFillsAndTerminates)
{
    const podoStr s("abc");
    char narrow[8];
    memset(narrow, 'x', sizeof narrow);
    s.copyNarrowTo(narrow, 1, 5);
    EXPECT_EQ(std::string(narrow, 6), std::string("bc\0\0\0\0", 6));
    EXPECT_EQ(narrow[6], 'x');
    s.copyNarrowTo(narrow, 1, -1);
    EXPECT_STREQ(narrow, "bc");

    char16_t wide[8];
    s.copyWideTo(wide);
    EXPECT_EQ(std::u16string(wide), u"abc");
    s.copyWideTo(wide, 0, 2);
    EXPECT_EQ(std::u16string(wide), u"ab");
}

TEST(podoStrEditing, Trimming)
{
    struct Case
    {
        const char *what, *text;
        podoStr &(*trim)(podoStr &);
        const char *result;
    };
    const Case cases[] = {
        {"left char keeps a text of only that char", "   ", [](podoStr &s) -> podoStr & { return s.trimLeftChar(' '); }, "   "},
        {"right char empties it", "   ", [](podoStr &s) -> podoStr & { return s.trimRightChar(' '); }, ""},
        {"both ends empty it", "   ", [](podoStr &s) -> podoStr & { return s.trim(" "); }, ""},
        {"left set keeps the last remaining char", "  \t ", [](podoStr &s) -> podoStr & { return s.trimLeft(" \t"); }, " "},
        {"left set", " \t x ", [](podoStr &s) -> podoStr & { return s.trimLeft(" \t"); }, "x "},
        {"right set", "x \t ", [](podoStr &s) -> podoStr & { return s.trimRight(" \t"); }, "x"},
        {"trimChar", "--a-b--", [](podoStr &s) -> podoStr & { return s.trimChar('-'); }, "a-b"},
        {"nothing to trim", "abc", [](podoStr &s) -> podoStr & { return s.trim(" "); }, "abc"},
        {"empty", "", [](podoStr &s) -> podoStr & { return s.trim(" "); }, ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        podoStr s(c.text);
        EXPECT_EQ(narrowOf(c.trim(s)), c.result);
    }

    // Wide variants trim the wide form and make the narrow one stale.
    podoStr w(" \u00E9 ");
    EXPECT_EQ(w.getWide()[0], u' ');
    w.trim(u" ");
    EXPECT_EQ(narrowOf(w), "\xC3\xA9");
    w = u"..x..";
    w.trimLeftChar(u'.').trimRightChar(u'.');
    EXPECT_EQ(narrowOf(w), "x");
}

TEST(podoStrEditing, MakeUpperKeepsBothFormsAgreeing)
{
    podoStr s("mix\xC3\xA9 9z");
    EXPECT_EQ(s.wideLength(), 7); // both forms valid now
    s.makeUpper();
    EXPECT_EQ(narrowOf(s), "MIX\xC3\xA9 9Z");
    EXPECT_EQ(std::u16string(s.getWide()), u"MIX\u00E9 9Z");
}

TEST(podoStrEditing, Swap)
{
    podoStr a("first"), b(u"second");
    a.swap(b);
    EXPECT_EQ(narrowOf(a), "second");
    EXPECT_EQ(narrowOf(b), "first");

    char buffer[16] = "buffer";
    a.swap(buffer);
    EXPECT_EQ(narrowOf(a), "buffer");
    EXPECT_STREQ(buffer, "second");

    char16_t wide[16] = u"w";
    a.swap(wide);
    EXPECT_EQ(narrowOf(a), "w");
    EXPECT_EQ(std::u16string(wide), u"buffer");
}

} // namespace

namespace {

std::vector<std::string> piecesOf(davalArrayString *pieces)
{
    std::vector<std::string> out;
    for (int i = 0; i < pieces->getCount(); ++i)
        out.push_back(pieces->at(i)->getNarrow());
    delete pieces;
    return out;
}

TEST(podoStrSplit, PiecesBetweenSeparators)
{
    using Pieces = std::vector<std::string>;
    struct Case
    {
        const char *text, *separator;
        bool skipEmpty;
        Pieces pieces;
    };
    const Case cases[] = {
        {"a,,b,", ",", false, {"a", "", "b"}}, // nothing after a final separator
        {"a,,b,", ",", true, {"a", "b"}},
        {",a", ",", false, {"", "a"}},
        {"", ",", false, {}},
        {"whole", ",", false, {"whole"}},
        {"a::b::", "::", false, {"a", "b"}},
        {"a,b", "", false, {"a,b"}}, // an empty separator never loops
        {"\xC3\xA9;x", ";", false, {"\xC3\xA9", "x"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.text) + " by " + c.separator);
        EXPECT_EQ(piecesOf(podoStr(c.text).split(c.separator, c.skipEmpty)), c.pieces);
        EXPECT_EQ(piecesOf(wideCopy(c.text).split(widen(c.separator).c_str(), c.skipEmpty)), c.pieces);
    }
}

} // namespace
