#include "foundation/podoStr.h"

#include "foundation/platform/podoPlatform.h"
#include "foundation/podoStrAccess.h"

#include <cstring>
#include <string>
#include <utility>

using podo::text::length;
using podo::text::lowerAscii;
using podo::text::upperAscii;

namespace {

template <typename Ch>
constexpr bool isDigit(Ch c)
{
    return c >= '0' && c <= '9';
}

// The decimal number at `p` (digits, fraction, exponent), read in the "C"
// locale. Only the characters that can belong to such a number are read.
template <typename Ch>
double readNumber(const Ch *p)
{
    int n = 0;
    while (isDigit(p[n]))
        ++n;
    if (p[n] == '.') {
        ++n;
        while (isDigit(p[n]))
            ++n;
    }
    if (p[n] == 'e' || p[n] == 'E') {
        int e = n + 1;
        if (p[e] == '+' || p[e] == '-')
            ++e;
        if (isDigit(p[e])) {
            while (isDigit(p[e]))
                ++e;
            n = e;
        }
    }
    char local[64];
    std::string heap;
    char *ascii = local;
    if (n >= int(sizeof local)) {
        heap.resize(size_t(n) + 1);
        ascii = heap.data();
    }
    for (int i = 0; i < n; ++i)
        ascii[i] = char(p[i]);
    ascii[n] = 0;
    return podo::platform::parseDoubleC(ascii, nullptr);
}

// Units compare unsigned in the wide form and signed in the narrow form.
inline int unitValue(char c)
{
    return static_cast<signed char>(c);
}

inline int unitValue(char16_t c)
{
    return c;
}

template <typename Ch>
int naturalCompare(const Ch *a, const Ch *b, int count)
{
    if (!b)
        return 1;
    static const Ch empty[1] = {0};
    if (!a)
        a = empty;
    if (count == 0) {
        const int la = length(a), lb = length(b);
        count = la > lb ? la : lb;
    }
    for (int i = 0; i < count; ++i) {
        if (isDigit(a[i]) && isDigit(b[i])) {
            const double x = readNumber(a + i), y = readNumber(b + i);
            if (x < y || x != x || y != y)
                return -1;
            if (x > y)
                return 1;
        }
        const int ca = unitValue(a[i]), cb = unitValue(b[i]);
        if (ca < cb)
            return -1;
        if (ca > cb)
            return 1;
        if (!a[i])
            break; // both texts ended within the count
    }
    return 0;
}

inline int foldedValue(char c)
{
    return static_cast<unsigned char>(lowerAscii(c));
}

inline int foldedValue(char16_t c)
{
    return lowerAscii(c);
}

template <typename Ch>
int compareFolded(const Ch *a, const Ch *b, int count)
{
    if (!b)
        return 1;
    static const Ch empty[1] = {0};
    if (!a)
        a = empty;
    if (count == 0) {
        const int la = length(a), lb = length(b);
        count = la > lb ? la : lb;
    }
    // The terminators take part, so a text that ends first compares smaller.
    for (int i = 0; i < count; ++i) {
        const int ca = foldedValue(a[i]), cb = foldedValue(b[i]);
        if (ca != cb)
            return ca - cb;
        if (!ca)
            break;
    }
    return 0;
}

template <typename Ch>
bool sameUnit(Ch a, Ch b, bool noCase)
{
    return noCase ? upperAscii(a) == upperAscii(b) : a == b;
}

template <typename Ch>
int findIn(const Ch *text, const Ch *what, int start, bool noCase)
{
    if (!text || !what)
        return -1;
    const int n = length(text), m = length(what);
    if (start < 0)
        start = 0;
    if (start > n)
        return -1;
    for (int i = start; i + m <= n; ++i) {
        int k = 0;
        while (k < m && sameUnit(text[i + k], what[k], noCase))
            ++k;
        if (k == m)
            return i;
    }
    return -1;
}

template <typename Ch>
int replaceIn(podoStr &s, const Ch *find, const Ch *replacement, int most, bool noCase)
{
    const int f = length(find);
    if (f == 0)
        return 0; // nothing to look for: the text stays as it is
    if (most < 1)
        most = 1;
    const int r = length(replacement);
    const Ch *text = podoStrAccess::text(s, Ch());
    std::basic_string<Ch> result;
    int count = 0, at = 0;
    for (;;) {
        const int d = count < most ? findIn(text, find, at, noCase) : -1;
        if (d < 0)
            break;
        result.append(text + at, size_t(d - at));
        if (r)
            result.append(replacement, size_t(r));
        at = d + f;
        ++count;
    }
    result.append(text + at);
    podoStrAccess::set(s, result.c_str(), int(result.size()));
    return count;
}

template <typename Ch>
int replaceEach(podoStr &s, const Ch *set, const Ch *replacement, int most)
{
    int count = 0;
    if (!set)
        return 0;
    // The set is copied: replacing may change the text it points into.
    const std::basic_string<Ch> chars(set);
    for (Ch c : chars) {
        const Ch one[2] = {c, 0};
        count += replaceIn(s, one, replacement, most, false);
    }
    return count;
}

// '*' matches any run, '?' one character; iterative, backtracking to the
// last '*' only, so several '*' cost no more than one.
template <typename Ch>
bool wildcardMatch(const Ch *text, const Ch *pattern, bool noCase)
{
    if (!text || !pattern)
        return false;
    const Ch *star = nullptr, *resume = nullptr;
    while (*text) {
        if (*pattern == '*') {
            star = pattern++;
            resume = text;
        } else if (*pattern && (*pattern == '?' || sameUnit(*pattern, *text, noCase))) {
            ++pattern;
            ++text;
        } else if (star) {
            pattern = star + 1;
            text = ++resume;
        } else {
            return false;
        }
    }
    while (*pattern == '*')
        ++pattern;
    return !*pattern;
}

template <typename Ch>
podoStr &appendText(podoStr &s, const Ch *text, int n)
{
    const Ch *own = podoStrAccess::text(s, Ch());
    const int ownLength = length(own);
    Ch *joined = podoStrAccess::newBuffer(ownLength + n, Ch());
    if (!joined)
        return s;
    std::char_traits<Ch>::copy(joined, own, size_t(ownLength));
    std::char_traits<Ch>::copy(joined + ownLength, text, size_t(n));
    podoStrAccess::adopt(s, joined, ownLength + n);
    return s;
}

template <typename Ch>
Ch *copyOut(const Ch *text, Ch *buffer, int start, int count)
{
    if (!buffer)
        return buffer;
    const int n = length(text);
    if (start < 0)
        start = 0;
    if (start > n)
        start = n;
    if (count < 0) {
        std::char_traits<Ch>::copy(buffer, text + start, size_t(n - start) + 1);
        return buffer;
    }
    int i = 0;
    for (; i < count && text[start + i]; ++i)
        buffer[i] = text[start + i];
    for (; i <= count; ++i)
        buffer[i] = 0;
    return buffer;
}

template <typename Ch>
void trimLeftOne(podoStr &s, Ch c)
{
    Ch *text = podoStrAccess::edit(s, Ch());
    const int n = length(text);
    if (n == 0 || c == 0)
        return;
    int i = 0;
    while (i < n && text[i] == c)
        ++i;
    // A text made only of c stays as it is.
    if (i >= 1 && i < n) {
        std::char_traits<Ch>::move(text, text + i, size_t(n - i) + 1);
        podoStrAccess::otherStale(s, Ch());
    }
}

template <typename Ch>
void trimRightOne(podoStr &s, Ch c)
{
    Ch *text = podoStrAccess::edit(s, Ch());
    if (!text || c == 0)
        return;
    int n = length(text);
    bool removed = false;
    while (n > 0 && text[n - 1] == c) {
        text[--n] = 0;
        removed = true;
    }
    if (removed)
        podoStrAccess::otherStale(s, Ch());
}

template <typename Ch, typename One>
void trimSet(podoStr &s, const Ch *set, One one)
{
    if (!set || !*set)
        return;
    const std::basic_string<Ch> chars(set);
    for (;;) {
        const int before = length(podoStrAccess::text(s, Ch()));
        for (Ch c : chars)
            one(s, c);
        if (length(podoStrAccess::text(s, Ch())) == before)
            break;
    }
}

template <typename Ch>
void swapWithBuffer(podoStr &s, Ch *buffer)
{
    if (!buffer)
        return;
    const std::basic_string<Ch> former(podoStrAccess::text(s, Ch()));
    podoStrAccess::set(s, buffer, -1);
    std::char_traits<Ch>::copy(buffer, former.c_str(), former.size() + 1);
}

} // namespace

// ---- copying out -----------------------------------------------------------

char16_t *podoStr::copyWideTo(char16_t *buffer, int start, int count) const
{
    return copyOut(getWide(podo::codePageUtf8), buffer, start, count);
}

char *podoStr::copyNarrowTo(char *buffer, int start, int count) const
{
    return copyOut(getNarrow(podo::codePageUtf8), buffer, start, count);
}

char16_t *podoStr::copyWideTo(char16_t *buffer) const
{
    return copyWideTo(buffer, 0, -1);
}

char *podoStr::copyNarrowTo(char *buffer) const
{
    return copyNarrowTo(buffer, 0, -1);
}

// ---- appending -------------------------------------------------------------

podoStr &podoStr::appendChar(char16_t c)
{
    return c ? appendText(*this, &c, 1) : *this;
}

podoStr &podoStr::appendChar(char c)
{
    return c ? appendText(*this, &c, 1) : *this;
}

podoStr &podoStr::append(const char16_t *text)
{
    return text ? appendText(*this, text, podo::text::length(text)) : *this;
}

podoStr &podoStr::append(const char *text)
{
    return text ? appendText(*this, text, podo::text::length(text)) : *this;
}

podoStr &podoStr::append(const podoStr &other)
{
    // When other is this string, its buffer is read before it is replaced.
    const char16_t *text = other.getWide(podo::codePageUtf8);
    return appendText(*this, text, podo::text::length(text));
}

podoStr podoStr::operator+(char16_t c) const
{
    podoStr result(*this);
    result.appendChar(c);
    return result;
}

podoStr podoStr::operator+(char c) const
{
    podoStr result(*this);
    result.appendChar(c);
    return result;
}

podoStr podoStr::operator+(const char16_t *text) const
{
    podoStr result(*this);
    result.append(text);
    return result;
}

podoStr podoStr::operator+(const char *text) const
{
    podoStr result(*this);
    result.append(text);
    return result;
}

podoStr podoStr::operator+(const podoStr &other) const
{
    podoStr result(*this);
    result.append(other);
    return result;
}

podoStr &podoStr::operator+=(char16_t c)
{
    return appendChar(c);
}

podoStr &podoStr::operator+=(char c)
{
    return appendChar(c);
}

podoStr &podoStr::operator+=(const char16_t *text)
{
    return append(text);
}

podoStr &podoStr::operator+=(const char *text)
{
    return append(text);
}

podoStr &podoStr::operator+=(const podoStr &other)
{
    return append(other);
}

// ---- comparison ------------------------------------------------------------

int podoStr::compare(const char16_t *text, int count) const
{
    return naturalCompare(getWide(podo::codePageUtf8), text, count);
}

int podoStr::compare(const char *text, int count) const
{
    return naturalCompare(getNarrow(podo::codePageUtf8), text, count);
}

int podoStr::compare(const podoStr &other, int count) const
{
    if (&other == this)
        return 0;
    return naturalCompare(getWide(podo::codePageUtf8), other.getWide(podo::codePageUtf8), count);
}

int podoStr::compareNoCase(const char16_t *text, int count) const
{
    return compareFolded(getWide(podo::codePageUtf8), text, count);
}

int podoStr::compareNoCase(const char *text, int count) const
{
    return compareFolded(getNarrow(podo::codePageUtf8), text, count);
}

int podoStr::compareNoCase(const podoStr &other, int count) const
{
    if (&other == this)
        return 0;
    return compareFolded(getWide(podo::codePageUtf8), other.getWide(podo::codePageUtf8), count);
}

bool podoStr::startsWith(const char16_t *text) const
{
    return text && compare(text, podo::text::length(text)) == 0;
}

bool podoStr::startsWith(const char *text) const
{
    return text && compare(text, podo::text::length(text)) == 0;
}

bool podoStr::startsWith(const podoStr &other) const
{
    if (&other == this)
        return true;
    const char16_t *text = other.getWide(podo::codePageUtf8);
    return compare(text, podo::text::length(text)) == 0;
}

#define PODO_COMPARISON(op)                                                                                            \
    bool podoStr::operator op(const char16_t *text) const { return compare(text, 0) op 0; }                            \
    bool podoStr::operator op(const char *text) const { return compare(text, 0) op 0; }                                \
    bool podoStr::operator op(const podoStr &other) const { return compare(other, 0) op 0; }
PODO_COMPARISON(==)
PODO_COMPARISON(!=)
PODO_COMPARISON(<)
PODO_COMPARISON(>)
PODO_COMPARISON(<=)
PODO_COMPARISON(>=)
#undef PODO_COMPARISON

// ---- search ----------------------------------------------------------------

int podoStr::find(const char16_t *text, int start) const
{
    return findIn(getWide(podo::codePageUtf8), text, start, false);
}

int podoStr::find(const char *text, int start) const
{
    return findIn(getNarrow(podo::codePageUtf8), text, start, false);
}

int podoStr::find(const podoStr &other, int start) const
{
    if (&other == this)
        return start <= 0 ? 0 : -1;
    return findIn(getWide(podo::codePageUtf8), other.getWide(podo::codePageUtf8), start, false);
}

int podoStr::findNoCase(const char16_t *text, int start) const
{
    return findIn(getWide(podo::codePageUtf8), text, start, true);
}

int podoStr::findNoCase(const char *text, int start) const
{
    return findIn(getNarrow(podo::codePageUtf8), text, start, true);
}

int podoStr::findNoCase(const podoStr &other, int start) const
{
    if (&other == this)
        return start <= 0 ? 0 : -1;
    return findIn(getWide(podo::codePageUtf8), other.getWide(podo::codePageUtf8), start, true);
}

// ---- replacing -------------------------------------------------------------

int podoStr::replace(const char16_t *find, const char16_t *replacement, int most)
{
    return replaceIn(*this, find, replacement, most, false);
}

int podoStr::replace(const char *find, const char *replacement, int most)
{
    return replaceIn(*this, find, replacement, most, false);
}

int podoStr::replaceNoCase(const char16_t *find, const char16_t *replacement, int most)
{
    return replaceIn(*this, find, replacement, most, true);
}

int podoStr::replaceNoCase(const char *find, const char *replacement, int most)
{
    return replaceIn(*this, find, replacement, most, true);
}

int podoStr::replaceChars(const char16_t *set, const char16_t *replacement, int most)
{
    return replaceEach(*this, set, replacement, most);
}

int podoStr::replaceChars(const char *set, const char *replacement, int most)
{
    return replaceEach(*this, set, replacement, most);
}

// ---- wildcard match --------------------------------------------------------

bool podoStr::matches(const char16_t *pattern) const
{
    return wildcardMatch(getWide(podo::codePageUtf8), pattern, false);
}

bool podoStr::matches(const char *pattern) const
{
    return wildcardMatch(getNarrow(podo::codePageUtf8), pattern, false);
}

bool podoStr::matches(const podoStr &pattern) const
{
    return wildcardMatch(getWide(podo::codePageUtf8), pattern.getWide(podo::codePageUtf8), false);
}

bool podoStr::matchesNoCase(const char16_t *pattern) const
{
    return wildcardMatch(getWide(podo::codePageUtf8), pattern, true);
}

bool podoStr::matchesNoCase(const char *pattern) const
{
    return wildcardMatch(getNarrow(podo::codePageUtf8), pattern, true);
}

bool podoStr::matchesNoCase(const podoStr &pattern) const
{
    return wildcardMatch(getWide(podo::codePageUtf8), pattern.getWide(podo::codePageUtf8), true);
}

// ---- tests of the text -----------------------------------------------------

bool podoStr::isPlainName(bool letterFirst) const
{
    const char *text = getNarrow(podo::codePageUtf8);
    if (!text || !*text)
        return true;
    auto isLetter = [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); };
    if (letterFirst && !isLetter(text[0]))
        return false;
    for (const char *p = text; *p; ++p)
        if (!isLetter(*p) && !isDigit(*p) && *p != '-' && *p != '.' && *p != '_')
            return false;
    return true;
}

// ---- in-place changes ------------------------------------------------------

podoStr &podoStr::makeUpper()
{
    // Both valid forms change alike, so they keep agreeing.
    if (narrowValid)
        for (char *p = narrow; *p; ++p)
            *p = upperAscii(*p);
    if (wideValid)
        for (char16_t *p = wide; *p; ++p)
            *p = upperAscii(*p);
    return *this;
}

podoStr &podoStr::trimLeftChar(char16_t c)
{
    trimLeftOne(*this, c);
    return *this;
}

podoStr &podoStr::trimLeftChar(char c)
{
    trimLeftOne(*this, c);
    return *this;
}

podoStr &podoStr::trimRightChar(char16_t c)
{
    trimRightOne(*this, c);
    return *this;
}

podoStr &podoStr::trimRightChar(char c)
{
    trimRightOne(*this, c);
    return *this;
}

podoStr &podoStr::trimLeft(const char16_t *set)
{
    trimSet(*this, set, [](podoStr &s, char16_t c) { trimLeftOne(s, c); });
    return *this;
}

podoStr &podoStr::trimLeft(const char *set)
{
    trimSet(*this, set, [](podoStr &s, char c) { trimLeftOne(s, c); });
    return *this;
}

podoStr &podoStr::trimRight(const char16_t *set)
{
    trimSet(*this, set, [](podoStr &s, char16_t c) { trimRightOne(s, c); });
    return *this;
}

podoStr &podoStr::trimRight(const char *set)
{
    trimSet(*this, set, [](podoStr &s, char c) { trimRightOne(s, c); });
    return *this;
}

podoStr &podoStr::trimChar(char16_t c)
{
    return trimLeftChar(c).trimRightChar(c);
}

podoStr &podoStr::trimChar(char c)
{
    return trimLeftChar(c).trimRightChar(c);
}

podoStr &podoStr::trim(const char16_t *set)
{
    return trimLeft(set).trimRight(set);
}

podoStr &podoStr::trim(const char *set)
{
    return trimLeft(set).trimRight(set);
}

podoStr &podoStr::swap(char16_t *buffer)
{
    swapWithBuffer(*this, buffer);
    return *this;
}

podoStr &podoStr::swap(char *buffer)
{
    swapWithBuffer(*this, buffer);
    return *this;
}

podoStr &podoStr::swap(podoStr &other)
{
    // Exchanging the buffers exchanges the texts, with both forms as they were.
    if (&other != this) {
        std::swap(narrow, other.narrow);
        std::swap(narrowValid, other.narrowValid);
        std::swap(narrowStored, other.narrowStored);
        std::swap(wide, other.wide);
        std::swap(wideValid, other.wideValid);
        std::swap(wideStored, other.wideStored);
    }
    return *this;
}
