#include "foundation/podoStr.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

// A namespace of its own: this file is compiled in one unit with other test files, whose
// helpers may share its helpers' names.
namespace podo_str_format_test {

namespace {

std::string narrowOf(const podoStr &s)
{
    return s.getNarrow();
}

TEST(podoStrFormat, NarrowFormatTakesWideTextWithUpperCaseLetters)
{
    podoStr s;
    EXPECT_EQ(s.format("%s=%d|%5.1f|%-4s|%04X|%c", "gain", -3, 2.25, "ab", 255u, 'z'), 25);
    EXPECT_EQ(narrowOf(s), "gain=-3|  2.2|ab  |00FF|z");

    s.format("[%S][%C][%ls][%hs][%.2S]", u"\u00E9t\u00E9", u'\u20AC', u"wide", "narrow", u"\u00E9t\u00E9");
    EXPECT_EQ(narrowOf(s), "[\xC3\xA9t\xC3\xA9][\xE2\x82\xAC][wide][narrow][\xC3\xA9]");

    s.format("%*d|%-*d|%.*s|%%|%lld|%zu|%I64d", 4, 7, 3, 8, 2, "xyz", -5LL, size_t(9), int64_t(1) << 40);
    EXPECT_EQ(narrowOf(s), "   7|8  |xy|%|-5|9|1099511627776");

    s.format("%s|%S", static_cast<const char *>(nullptr), static_cast<const char16_t *>(nullptr));
    EXPECT_EQ(narrowOf(s), "(null)|(null)");

    // An unknown conversion stands as it is; %n writes nothing.
    int untouched = 42;
    s.format("%k|%n|end%", &untouched);
    EXPECT_EQ(narrowOf(s), "%k||end%");
    EXPECT_EQ(untouched, 42);
}

TEST(podoStrFormat, WideFormatTakesNarrowTextWithUpperCaseLetters)
{
    podoStr s;
    EXPECT_EQ(s.format(u"%s|%S|%c|%C|%hs|%ls|%3d", u"\U0001F3B9", "\xC3\xA9", u'w', 'n', "h", u"l", 5), 16);
    EXPECT_EQ(std::u16string(s.getWide()), u"\U0001F3B9|\u00E9|w|n|h|l|  5");
    EXPECT_EQ(s.narrowBufferLength(), 0); // the narrow form is stale

    const podoStr format(u"%s-%d");
    s.format(&format, u"take", 2);
    EXPECT_EQ(narrowOf(s), "take-2");

    // The format and the arguments may be the string's own text.
    s = "again";
    s.format(&s, 1);
    EXPECT_EQ(narrowOf(s), "again");
    s.format("%s %s", s.getNarrow(), s.getNarrow());
    EXPECT_EQ(narrowOf(s), "again again");
}

TEST(podoStrFormat, LongResultsAreSetWhole)
{
    for (int n : {1023, 1024, 5000, 200000}) {
        SCOPED_TRACE(n);
        const std::string text(size_t(n), 'x');
        podoStr s;
        EXPECT_EQ(s.format("%s", text.c_str()), n);
        EXPECT_EQ(narrowOf(s), text);
        const std::u16string wide(size_t(n), u'y');
        EXPECT_EQ(s.format(u"%s", wide.c_str()), n);
        EXPECT_EQ(std::u16string(s.getWide()), wide);
    }
    podoStr padded;
    EXPECT_EQ(padded.format("%3000d", 1), 3000);
    EXPECT_EQ(narrowOf(padded).back(), '1');
}

TEST(podoStrNumbers, SetNumberPrintsSignWidthAndDecimals)
{
    struct Case
    {
        double value;
        int width, decimals;
        bool sign;
        const char *text;
    };
    const Case cases[] = {
        {2.5, 3, 2, true, "+  2.50"},
        {-2.5, 0, 1, false, "2.5"}, // without the sign flag no sign at all
        {-2.5, 0, 1, true, "-2.5"},
        {0, 1, 0, true, " 0"},
        {3.999, 1, 2, false, "4.00"}, // rounding carries into the whole part
        {7.6, 1, 0, false, "8"},
        {12, -4, 0, false, "12  "},
        {5e12, 0, 0, false, "5000000000000"},      // beyond 32 bits: still its own text
        {NAN, 0, 1, true, " nan"},
        {-INFINITY, 0, 1, true, "-inf"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text);
        podoStr s;
        EXPECT_EQ(narrowOf(s.setNumber(c.value, c.width, c.decimals, c.sign)), c.text);
    }
}

TEST(podoStrNumbers, IntegerReaders)
{
    struct Case
    {
        const char16_t *text;
        int start, base;
        int32_t asLong;
        uint32_t asULong;
        int64_t asInt64;
        uint64_t asUInt64;
    };
    const Case cases[] = {
        {u"0x1A", 0, 0, 26, 26, 26, 26},
        {u"012", 0, 0, 10, 10, 10, 10},
        {u"  -7abc", 0, 0, -7, 4294967289u, -7, UINT64_MAX - 6},
        {u"-1", 0, 10, -1, 4294967295u, -1, UINT64_MAX},
        {u"-5", 0, 10, -5, 4294967291u, -5, UINT64_MAX - 4},
        {u"+ff", 0, 16, 255, 255, 255, 255},
        {u"0xff", 0, 16, 255, 255, 255, 255},
        {u"0x", 0, 0, 0, 0, 0, 0},
        {u"zz", 0, 36, 1295, 1295, 1295, 1295},
        {u"12", 0, 1, 0, 0, 0, 0}, // no such base
        {u"id=42", 3, 10, 42, 42, 42, 42},
        {u"none", 0, 10, 0, 0, 0, 0},
        {u"4294967296", 0, 10, INT32_MAX, UINT32_MAX, 4294967296, 4294967296},
        {u"-4294967296", 0, 10, INT32_MIN, UINT32_MAX, -4294967296, UINT64_MAX - 4294967295u},
        {u"-2147483648", 0, 10, INT32_MIN, 2147483648u, INT64_C(-2147483648), UINT64_MAX - 2147483647u},
        {u"99999999999999999999", 0, 10, INT32_MAX, UINT32_MAX, INT64_MAX, UINT64_MAX},
        {u"-99999999999999999999", 0, 10, INT32_MIN, UINT32_MAX, INT64_MIN, UINT64_MAX},
    };
    for (const Case &c : cases) {
        const podoStr s(c.text);
        SCOPED_TRACE(narrowOf(s));
        EXPECT_EQ(s.toLong(c.start, c.base), c.asLong);
        EXPECT_EQ(s.toULong(c.start, c.base), c.asULong);
        EXPECT_EQ(s.toInt64(c.start, c.base), c.asInt64);
        EXPECT_EQ(s.toUInt64(c.start, c.base), c.asUInt64);
    }
    EXPECT_EQ(podoStr("12").toLong(5, 10), 0); // start past the end
}

TEST(podoStrNumbers, DoubleReaderAndDigitTest)
{
    EXPECT_DOUBLE_EQ(podoStr("  3.5e2x").toDouble(), 350.0);
    EXPECT_DOUBLE_EQ(podoStr("v=-0.25").toDouble(2), -0.25);
    EXPECT_DOUBLE_EQ(podoStr("abc").toDouble(), 0.0);
    EXPECT_DOUBLE_EQ(podoStr("1,5").toDouble(), 1.0);

    struct Case
    {
        const char *text;
        bool numeric;
    };
    const Case cases[] = {{"", true}, {"-1.5", true}, {"1.2.3", true}, {"-", true}, {"1e5", false}, {" 1", false}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(podoStr(c.text).isNumeric(), c.numeric);
    }
}

// Switches LC_NUMERIC to a locale with a decimal comma for the test's
// duration, making one from the system's locale sources when none is
// installed. Hosts may set such a locale; our texts must not follow it.
class CommaLocale : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!setlocale(LC_NUMERIC, "de_DE.UTF-8") && !makeLocale()) {
            GTEST_SKIP() << "no locale with a decimal comma can be made here";
        }
        if (localeconv()->decimal_point[0] != ',')
            GTEST_SKIP() << "the locale does not use a decimal comma";
    }

    void TearDown() override
    {
        setlocale(LC_NUMERIC, "C");
        if (!folder.empty()) {
            unsetenv("LOCPATH");
            std::error_code ignored;
            std::filesystem::remove_all(folder, ignored);
        }
    }

private:
    bool makeLocale()
    {
        char name[] = "/tmp/quorix-locale-XXXXXX";
        if (!mkdtemp(name))
            return false;
        folder = name;
        {
            std::ofstream source(folder / "comma.src");
            source << "LC_NUMERIC\ndecimal_point \"<U002C>\"\nthousands_sep \"<U002E>\"\ngrouping 3;3\n"
                      "END LC_NUMERIC\n";
        }
        const std::string command = "localedef -c -i '" + (folder / "comma.src").string() + "' -f UTF-8 '" +
                                    (folder / "xx_XX.UTF-8").string() + "' >/dev/null 2>&1";
        if (std::system(command.c_str()) == -1)
            return false;
        setenv("LOCPATH", folder.c_str(), 1);
        return setlocale(LC_NUMERIC, "xx_XX.UTF-8") != nullptr;
    }

    std::filesystem::path folder;
};

TEST_F(CommaLocale, NumbersIgnoreTheProcessLocale)
{
    podoStr s;
    s.format("%.2f|%g", 1.5, 0.25);
    EXPECT_EQ(narrowOf(s), "1.50|0.25");
    s.format(u"%.1f", 2.5);
    EXPECT_EQ(narrowOf(s), "2.5");
    EXPECT_EQ(narrowOf(s.setNumber(-1.25, 0, 2, true)), "-1.25");
    EXPECT_DOUBLE_EQ(podoStr("1.5").toDouble(), 1.5);
    EXPECT_EQ(podoStr("x2.5").compare("x2.25"), 1);
}

TEST(podoStrEncodings, Base64Encoding)
{
    struct Case
    {
        std::string bytes;
        const char *text;
    };
    const Case cases[] = {{"abc", "YWJj"}, {"\xFF", "/w=="}, {"ab", "YWI="}, {"", ""}, {"abcd", "YWJjZA=="}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text);
        podoStr s;
        s.encodeBase64(c.bytes.data(), int(c.bytes.size()));
        EXPECT_EQ(narrowOf(s), c.text);
    }

    std::string all;
    for (int b = 0; b < 256; ++b)
        all += char(b);
    podoStr s;
    s.encodeBase64(all.data(), int(all.size()));
    uint8_t *decoded = nullptr;
    ASSERT_EQ(s.decodeBase64(&decoded), 256);
    EXPECT_EQ(std::string(reinterpret_cast<char *>(decoded), 256), all);
    delete[] decoded;
}

TEST(podoStrEncodings, Base64DecodingTakesOnlyWellFormedText)
{
    struct Case
    {
        const char *text;
        int size;
        const char *bytes;
    };
    const Case cases[] = {
        {"YWI=", 2, "ab"},
        {"YQ==", 1, "a"},
        {"YWJjZA==", 4, "abcd"},
        {"", 0, nullptr},
        {"YWJ", 0, nullptr},      // not a multiple of four
        {"Y===", 0, nullptr},     // three pads
        {"YQ==YWJj", 0, nullptr}, // padding before the last group
        {"Y=Jj", 0, nullptr},     // padding inside a group
        {"YW\x80j", 0, nullptr},  // bytes of 0x80 and above
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text);
        uint8_t *decoded = nullptr;
        EXPECT_EQ(podoStr(c.text).decodeBase64(&decoded), c.size);
        if (c.bytes) {
            ASSERT_NE(decoded, nullptr);
            EXPECT_EQ(std::string(reinterpret_cast<char *>(decoded), size_t(c.size)), c.bytes);
        } else {
            EXPECT_EQ(decoded, nullptr);
        }
        delete[] decoded;
    }

    // The decoded size follows the text, not the length its buffer was made for.
    podoStr s("YWJjZGVm");
    s.trimRightChar('m'); // a text of 7 in a buffer made for 8
    uint8_t *none = nullptr;
    EXPECT_EQ(s.decodeBase64(&none), 0);
    EXPECT_EQ(none, nullptr);
    EXPECT_EQ(s.decodeBase64(nullptr), 0);

    // A given buffer is filled.
    s = "YWJjZGVm";
    uint8_t given[6] = {};
    uint8_t *out = given;
    EXPECT_EQ(s.decodeBase64(&out), 6);
    EXPECT_EQ(out, given);
    EXPECT_EQ(std::string(reinterpret_cast<char *>(given), 6), "abcdef");
}

TEST(podoStrEncodings, PercentEncoding)
{
    struct Case
    {
        const char *text, *encoded;
    };
    const Case cases[] = {
        {"a b/c", "a%20b%2Fc"},
        {"x~", "x%7E"},
        {"Az09-._", "Az09-._"},
        {"\xE2\x82\xAC", "%E2%82%AC"},
        {"\xC3\xA9" "ab", "%C3%A9%61b"}, // the bytes after a two-byte character are encoded too
        {"z\xE2\x82", "z%E2%82"},        // a sequence cut by the end stops there
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text);
        podoStr s(c.text);
        EXPECT_EQ(narrowOf(s.encodeUrl()), c.encoded);
    }

    // Long texts are encoded whole.
    podoStr s(std::string(2000, ' ').c_str());
    EXPECT_EQ(s.encodeUrl().length(), 6000);
}

} // namespace

} // namespace podo_str_format_test
