#include "foundation/podoStr.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

// A namespace of its own: this file is compiled in one unit with other test files, whose
// helpers may share its helpers' names.
namespace podo_str_test {

namespace {

std::u16string wideOf(const podoStr &s)
{
    return s.getWide();
}

std::string narrowOf(const podoStr &s)
{
    return s.getNarrow();
}

TEST(podoStrStorage, DefaultStringIsTheEmptyNarrowText)
{
    podoStr s;
    EXPECT_EQ(s.length(), 0);
    EXPECT_EQ(s.narrowBufferLength(), 0);
    EXPECT_EQ(s.wideBufferLength(), -1);
    EXPECT_TRUE(s.isEmpty());
    // isEmpty read the wide form: rebuilt from "" with a buffer made for 0 units.
    EXPECT_EQ(s.wideBufferLength(), 0);
    EXPECT_EQ(wideOf(s), u"");

    const podoStr fromNull(static_cast<const podoStr *>(nullptr));
    EXPECT_TRUE(fromNull.isEmpty());
}

TEST(podoStrStorage, SettersTakeTheGivenLength)
{
    podoStr s;
    s.setNarrow("abc", 2);
    EXPECT_EQ(narrowOf(s), "ab");
    EXPECT_EQ(s.narrowBufferLength(), 2);

    s.setNarrow(nullptr, -1);
    EXPECT_EQ(narrowOf(s), "");

    // Embedded zeros within the length are stored as they are.
    s.setNarrow("a\0b", 3);
    EXPECT_EQ(s.narrowBufferLength(), 3);
    EXPECT_EQ(s.getNarrow()[2], 'b');
    EXPECT_EQ(s.length(), 1);

    s.setWide(u"xyz", 1);
    EXPECT_EQ(wideOf(s), u"x");
    EXPECT_EQ(narrowOf(s), "x");
}

TEST(podoStrStorage, FormsAreRebuiltOnDemandAndCountTheirOwnUnits)
{
    podoStr s("\xC3\xA9"); // e acute: two bytes, one unit
    EXPECT_EQ(s.length(), 2);
    EXPECT_EQ(s.wideBufferLength(), -1); // nothing converted yet
    EXPECT_EQ(s.wideLength(), 1);
    EXPECT_EQ(s.narrowLength(), 2);
    EXPECT_EQ(s.length(), 2); // the narrow form is still valid

    podoStr w(u"\U0001F3B9x"); // a surrogate pair and one more unit
    EXPECT_EQ(w.length(), 3);
    EXPECT_EQ(narrowOf(w), "\xF0\x9F\x8E\xB9x");
    EXPECT_EQ(w.narrowBufferLength(), 5);

    // Setting one form makes the other stale; reading it rebuilds it.
    w.setNarrow("new");
    EXPECT_EQ(wideOf(w), u"new");
    w.setWide(u"newer");
    EXPECT_EQ(narrowOf(w), "newer");
}

TEST(podoStrStorage, ClearLeavesTheNarrowBufferStaleUntilRead)
{
    podoStr s("abc");
    s.clear();
    EXPECT_EQ(s.length(), 0);
    EXPECT_EQ(s.narrowBufferLength(), 3); // stale buffer still there
    EXPECT_EQ(narrowOf(s), "");
    EXPECT_EQ(s.narrowBufferLength(), 0); // rebuilt from the empty wide form
}

TEST(podoStrStorage, AssignCopiesOneFormOrNothing)
{
    podoStr source(u"hello");
    podoStr s;
    s.assign(source, 1, 3);
    EXPECT_EQ(wideOf(s), u"ell");
    s.assign(source, 2);
    EXPECT_EQ(narrowOf(s), "llo");

    // A source with no valid form leaves both forms of the target stale.
    podoStr nothing("x");
    nothing.invalidate();
    s.assign(nothing);
    EXPECT_EQ(s.length(), 0);

    // Lengths beyond the source's text are cut at its end.
    podoStr narrowSource("abc");
    s.assign(narrowSource, 1, 100);
    EXPECT_EQ(narrowOf(s), "bc");
}

TEST(podoStrStorage, AssignFromItselfTakesThePartAsked)
{
    for (bool wide : {false, true}) {
        SCOPED_TRACE(wide ? "wide form" : "narrow form");
        podoStr s;
        if (wide)
            s.setWide(u"abcdef");
        else
            s.setNarrow("abcdef");
        s.assign(s);
        EXPECT_EQ(narrowOf(s), "abcdef");
        s = s;
        EXPECT_EQ(narrowOf(s), "abcdef");
        s.assign(s, 2, 3);
        EXPECT_EQ(narrowOf(s), "cde");
        s.assign(s, 1);
        EXPECT_EQ(narrowOf(s), "de");
    }
}

TEST(podoStrStorage, SettersAcceptTextFromTheStringsOwnBuffers)
{
    podoStr s("abcdef");
    s.setNarrow(s.getNarrow() + 2, -1);
    EXPECT_EQ(narrowOf(s), "cdef");

    s.setWide(s.getWide() + 1, 2);
    EXPECT_EQ(wideOf(s), u"de");

    s.setNarrow("xyz");
    s.setMultiByte(s.getNarrow() + 1, podo::codePageUtf8);
    EXPECT_EQ(wideOf(s), u"yz");

    s = s.getNarrow();
    EXPECT_EQ(narrowOf(s), "yz");
}

TEST(podoStrStorage, ReservedBuffersAreTerminatedText)
{
    podoStr s;
    EXPECT_EQ(s.allocNarrow(8), 8);
    EXPECT_EQ(s.narrowBufferLength(), 8);
    // A stale buffer with nothing to rebuild it from is returned as it is,
    // and it holds the empty text, never unterminated bytes.
    EXPECT_STREQ(s.getNarrow(), "");
    EXPECT_EQ(s.length(), 0);

    EXPECT_EQ(s.allocWide(4), 4);
    EXPECT_EQ(wideOf(s), u"");

    EXPECT_EQ(s.allocNarrow(-1), -1);
    EXPECT_EQ(s.narrowBufferLength(), -1);
}

TEST(podoStrStorage, StaleTextWithoutAnyValidFormIsReturnedAsItIs)
{
    podoStr s("kept");
    s.invalidate();
    EXPECT_EQ(s.length(), 0);
    EXPECT_STREQ(s.getNarrow(), "kept");

    // With no buffer at all, reading gives a one-character buffer holding "".
    podoStr none;
    none.allocNarrow(-1);
    EXPECT_STREQ(none.getNarrow(), "");
    EXPECT_EQ(none.narrowBufferLength(), 1);
}

TEST(podoStrStorage, BufferAccessorsMakeTheOtherFormStale)
{
    podoStr s("abc");
    EXPECT_EQ(wideOf(s), u"abc");
    s.getNarrowBuffer()[0] = 'x';
    EXPECT_EQ(wideOf(s), u"xbc");
    s.getWideBuffer()[2] = u'z';
    EXPECT_EQ(narrowOf(s), "xbz");
}

TEST(podoStrCodePages, OtherCodePagesConvertThroughTheWideForm)
{
    podoStr s;
    s.setMultiByte("\xE9t\xE9 \x80", 1252);
    EXPECT_EQ(wideOf(s), u"\u00E9t\u00E9 \u20AC");
    EXPECT_EQ(s.length(), 5); // units of the wide form: never stored as narrow text
    EXPECT_EQ(narrowOf(s), "\xC3\xA9t\xC3\xA9 \xE2\x82\xAC");

    podoStr w(u"caf\u00E9 \u3042");
    EXPECT_STREQ(w.getNarrow(1252), "caf\xE9 ?"); // unmappable characters become '?'

    EXPECT_EQ(podoStr::measureWide("\x82\xA0", 932), 1); // one Shift-JIS character
    EXPECT_EQ(podoStr::measureNarrow(u"\u00E9", 1252), 1);
    EXPECT_EQ(podoStr::measureNarrow(u"\u00E9", podo::codePageUtf8), 2);
}

TEST(podoStrCodePages, FailedConversionsGiveTheEmptyText)
{
    podoStr s;
    EXPECT_NE(s.setMultiByte("abc", 12345), nullptr); // no such code page
    EXPECT_EQ(wideOf(s), u"");

    podoStr w(u"abc");
    EXPECT_STREQ(w.getNarrow(12345), "");

    // Bytes a code page leaves undefined still convert.
    s.setMultiByte("a\x81z", 1252);
    EXPECT_EQ(wideOf(s), u"a\uFFFDz");
}

TEST(podoStrCodePages, ConversionHelpersCountWithoutTheTerminator)
{
    char16_t wide[8];
    EXPECT_EQ(podoStr::measureWide("a\xC3\xA9", podo::codePageUtf8), 2);
    EXPECT_EQ(podoStr::toWide("a\xC3\xA9", wide, 2, podo::codePageUtf8), 3); // with the terminator
    EXPECT_EQ(std::u16string(wide), u"a\u00E9");
    char narrow[8];
    EXPECT_EQ(podoStr::toNarrow(u"a\u00E9", narrow, 3, podo::codePageUtf8), 4);
    EXPECT_STREQ(narrow, "a\xC3\xA9");
    // Too small a buffer fails and leaves it terminated.
    EXPECT_EQ(podoStr::toNarrow(u"a\u00E9", narrow, 2, podo::codePageUtf8), 0);
    EXPECT_STREQ(narrow, "");
}

} // namespace

} // namespace podo_str_test
