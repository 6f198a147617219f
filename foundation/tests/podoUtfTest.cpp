#include "foundation/podoUtf.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::u16string toUtf16(const std::string &in)
{
    std::u16string out(podo::utf8ToUtf16(in.data(), in.size(), nullptr, 0), u'\0');
    EXPECT_EQ(podo::utf8ToUtf16(in.data(), in.size(), out.data(), out.size()), out.size());
    return out;
}

std::string toUtf8(const std::u16string &in)
{
    std::string out(podo::utf16ToUtf8(in.data(), in.size(), nullptr, 0), '\0');
    EXPECT_EQ(podo::utf16ToUtf8(in.data(), in.size(), out.data(), out.size()), out.size());
    return out;
}

TEST(podoUtf, WellFormedTextRoundTrips)
{
    // One, two, three and four bytes; the last is a surrogate pair.
    const std::string utf8 = "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x8E\xB9";
    const std::u16string utf16 = u"a\u00E9\u20AC\U0001F3B9";
    EXPECT_EQ(toUtf16(utf8), utf16);
    EXPECT_EQ(toUtf8(utf16), utf8);
}

TEST(podoUtf, IllFormedUtf8BecomesReplacementCharacters)
{
    struct Case
    {
        const char *what;
        std::string in;
        std::u16string out;
    };
    const Case cases[] = {
        {"lone continuation", "a\x80z", u"a\uFFFDz"},
        {"cut two-byte sequence at the end", "a\xC3", u"a\uFFFD"},
        {"cut three-byte sequence before ASCII", "\xE2\x82z", u"\uFFFDz"},
        {"overlong slash", "\xC0\xAF", u"\uFFFD\uFFFD"},
        {"overlong three-byte", "\xE0\x80\xAF", u"\uFFFD\uFFFD\uFFFD"},
        {"encoded surrogate", "\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},
        {"beyond U+10FFFF", "\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},
        {"invalid lead bytes", "\xF8\xFF", u"\uFFFD\uFFFD"},
        {"embedded NUL is kept", std::string("a\0b", 3), std::u16string(u"a\0b", 3)},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(toUtf16(c.in), c.out);
    }
}

TEST(podoUtf, UnpairedSurrogatesBecomeReplacementCharacters)
{
    const std::string replacement = "\xEF\xBF\xBD";
    EXPECT_EQ(toUtf8(std::u16string{0xD800, u'a'}), replacement + "a");
    EXPECT_EQ(toUtf8(std::u16string{u'a', 0xDC00}), "a" + replacement);
    EXPECT_EQ(toUtf8(std::u16string{0xDC00, 0xD800}), replacement + replacement);
}

TEST(podoUtf, ShortOutputNeverTakesPartOfACharacter)
{
    char out[4] = {'x', 'x', 'x', 'x'};
    // "a€" needs 1 + 3 bytes; with room for 3 only "a" is written.
    EXPECT_EQ(podo::utf16ToUtf8(u"a\u20AC", 2, out, 3), 4u);
    EXPECT_EQ(out[0], 'a');
    EXPECT_EQ(out[1], 'x');
    char16_t units[2] = {u'x', u'x'};
    EXPECT_EQ(podo::utf8ToUtf16("\xF0\x9F\x8E\xB9", 4, units, 1), 2u);
    EXPECT_EQ(units[0], u'x');
}

} // namespace
