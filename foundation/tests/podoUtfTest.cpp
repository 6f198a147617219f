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

// Paths the system gives need not be UTF-8: kept bytes come back as they were, and each
// ill-formed byte is one unit of its own.
TEST(podoUtf, KeptBytesRoundTripEveryByteString)
{
    const auto keep = podo::IllFormed::keepBytes;
    struct Case
    {
        const char *what;
        std::string in;
        std::u16string wide;
    };
    const Case cases[] = {
        {"Latin-1 letter", "caf\xE9", u"caf\xDCE9"},
        {"cut sequence then ASCII", "\xE2\x82z", u"\xDCE2\xDC82z"},
        {"overlong", "\xC0\xAF", u"\xDCC0\xDCAF"},
        {"encoded surrogate", "\xED\xA0\x80", u"\xDCED\xDCA0\xDC80"},
        {"valid text around", "\xC3\xA9\xFF\xF0\x9F\x8E\xB9", u"\u00E9\xDCFF\U0001F3B9"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        std::u16string wide(podo::utf8ToUtf16(c.in.data(), c.in.size(), nullptr, 0, keep), u'\0');
        podo::utf8ToUtf16(c.in.data(), c.in.size(), wide.data(), wide.size(), keep);
        EXPECT_EQ(wide, c.wide);
        std::string back(podo::utf16ToUtf8(wide.data(), wide.size(), nullptr, 0, keep), '\0');
        podo::utf16ToUtf8(wide.data(), wide.size(), back.data(), back.size(), keep);
        EXPECT_EQ(back, c.in);
        EXPECT_EQ(toUtf8(wide).find('\xE9'), std::string::npos) << "for display a kept byte is U+FFFD";
    }
    for (int b = 0; b < 256; ++b) {
        const std::string in = {'a', char(b), char(0x80 + b % 64), 'z'};
        std::u16string wide(podo::utf8ToUtf16(in.data(), in.size(), nullptr, 0, keep), u'\0');
        podo::utf8ToUtf16(in.data(), in.size(), wide.data(), wide.size(), keep);
        std::string back(podo::utf16ToUtf8(wide.data(), wide.size(), nullptr, 0, keep), '\0');
        podo::utf16ToUtf8(wide.data(), wide.size(), back.data(), back.size(), keep);
        EXPECT_EQ(back, in) << b;
    }
    // Other unpaired surrogates still become U+FFFD.
    const std::u16string odd{0xDC7F, 0xD800};
    std::string out(podo::utf16ToUtf8(odd.data(), odd.size(), nullptr, 0, keep), '\0');
    podo::utf16ToUtf8(odd.data(), odd.size(), out.data(), out.size(), keep);
    EXPECT_EQ(out, "\xEF\xBF\xBD\xEF\xBF\xBD");
    // Without keepBytes the same stray byte comes back as U+FFFD.
    const std::string stray = "caf\xE9 \xC3\xA9";
    std::u16string replaced(podo::utf8ToUtf16(stray.data(), stray.size(), nullptr, 0), u'\0');
    podo::utf8ToUtf16(stray.data(), stray.size(), replaced.data(), replaced.size());
    std::string shown(podo::utf16ToUtf8(replaced.data(), replaced.size(), nullptr, 0), '\0');
    podo::utf16ToUtf8(replaced.data(), replaced.size(), shown.data(), shown.size());
    EXPECT_EQ(shown, "caf\xEF\xBF\xBD \xC3\xA9");
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
