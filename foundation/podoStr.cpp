#include "foundation/podoStr.h"

#include "foundation/platform/podoPlatform.h"
#include "foundation/podoUtf.h"

#include <climits>
#include <cstring>
#include <new>

namespace {

// Texts longer than this cannot be described by the 32-bit lengths.
constexpr size_t largestText = INT_MAX - 1;

int clampLength(size_t n)
{
    return n > largestText ? int(largestText) : int(n);
}

} // namespace

// ---- construction ----------------------------------------------------------

podoStr::podoStr()
{
    setNarrow("", 0);
}

podoStr::podoStr(const podoStr *other) : podoStr()
{
    if (other)
        assign(*other, 0, -1);
}

podoStr::podoStr(const podoStr &other) : podoStr()
{
    assign(other, 0, -1);
}

podoStr::podoStr(const char *text)
{
    setNarrow(text, -1);
}

podoStr::podoStr(const char16_t *text)
{
    setWide(text, -1);
}

podoStr::~podoStr()
{
    delete[] narrow;
    delete[] wide;
}

// ---- buffers ---------------------------------------------------------------

char *podoStr::newNarrowBuffer(int n)
{
    // Value-initialised: the buffer is a terminated (empty) text from the start.
    return new (std::nothrow) char[size_t(n) + 1]();
}

char16_t *podoStr::newWideBuffer(int n)
{
    return new (std::nothrow) char16_t[size_t(n) + 1]();
}

void podoStr::takeNarrow(char *buffer, int n) const
{
    delete[] narrow;
    narrow = buffer;
    narrowStored = buffer ? n : -1;
    narrowValid = buffer != nullptr;
}

void podoStr::takeWide(char16_t *buffer, int n) const
{
    delete[] wide;
    wide = buffer;
    wideStored = buffer ? n : -1;
    wideValid = buffer != nullptr;
}

int podoStr::allocNarrow(int length)
{
    narrowValid = false;
    delete[] narrow;
    narrow = length < 0 ? nullptr : newNarrowBuffer(length);
    narrowStored = narrow ? length : -1;
    return narrowStored;
}

int podoStr::allocWide(int length)
{
    wideValid = false;
    delete[] wide;
    wide = length < 0 ? nullptr : newWideBuffer(length);
    wideStored = wide ? length : -1;
    return wideStored;
}

// ---- conversion helpers ----------------------------------------------------

// A podoStr may hold a path the system gave: its bytes survive a trip through the wide form
// whether or not they are UTF-8. Display code turns what is not into U+FFFD.
constexpr podo::IllFormed kPathSafe = podo::IllFormed::keepBytes;

int podoStr::measureWide(const char *text, int codePage)
{
    if (!text)
        return 0;
    const size_t n = strlen(text);
    if (podo::platform::isUtf8CodePage(codePage))
        return clampLength(podo::utf8ToUtf16(text, n, nullptr, 0, kPathSafe));
    const long units = podo::platform::codePageToUtf16(codePage, text, n, nullptr, 0);
    return units < 0 ? 0 : clampLength(size_t(units));
}

int podoStr::measureNarrow(const char16_t *text, int codePage)
{
    if (!text)
        return 0;
    const size_t n = podo::wideTextLength(text);
    if (podo::platform::isUtf8CodePage(codePage))
        return clampLength(podo::utf16ToUtf8(text, n, nullptr, 0, kPathSafe));
    const long bytes = podo::platform::utf16ToCodePage(codePage, text, n, nullptr, 0);
    return bytes < 0 ? 0 : clampLength(size_t(bytes));
}

int podoStr::toWide(const char *text, char16_t *buffer, int n, int codePage)
{
    if (!buffer || n < 0)
        return 0;
    const size_t length = text ? strlen(text) : 0;
    long units;
    if (podo::platform::isUtf8CodePage(codePage))
        units = long(podo::utf8ToUtf16(text, length, buffer, size_t(n), kPathSafe));
    else
        units = podo::platform::codePageToUtf16(codePage, text, length, buffer, size_t(n));
    if (units < 0 || units > n) {
        buffer[0] = 0;
        return 0;
    }
    buffer[units] = 0;
    return int(units) + 1;
}

int podoStr::toNarrow(const char16_t *text, char *buffer, int n, int codePage)
{
    if (!buffer || n < 0)
        return 0;
    const size_t length = podo::wideTextLength(text);
    long bytes;
    if (podo::platform::isUtf8CodePage(codePage))
        bytes = long(podo::utf16ToUtf8(text, length, buffer, size_t(n), kPathSafe));
    else
        bytes = podo::platform::utf16ToCodePage(codePage, text, length, buffer, size_t(n));
    if (bytes < 0 || bytes > n) {
        buffer[0] = 0;
        return 0;
    }
    buffer[bytes] = 0;
    return int(bytes) + 1;
}

// ---- the two forms ---------------------------------------------------------

void podoStr::invalidate()
{
    narrowValid = false;
    wideValid = false;
}

char *podoStr::setNarrow(const char *text, int length)
{
    invalidate();
    int n = length;
    if (!text)
        n = 0;
    else if (n < 0)
        n = clampLength(strlen(text));
    // The new buffer is filled before the old one is freed, so the text may
    // come from this string's own buffer.
    char *buffer = newNarrowBuffer(n);
    if (!buffer) {
        takeNarrow(nullptr, -1);
        return nullptr;
    }
    if (n)
        memcpy(buffer, text, size_t(n));
    takeNarrow(buffer, n);
    return narrow;
}

char16_t *podoStr::setWide(const char16_t *text, int length)
{
    invalidate();
    int n = length;
    if (!text)
        n = 0;
    else if (n < 0)
        n = clampLength(podo::wideTextLength(text));
    char16_t *buffer = newWideBuffer(n);
    if (!buffer) {
        takeWide(nullptr, -1);
        return nullptr;
    }
    if (n)
        memcpy(buffer, text, size_t(n) * sizeof(char16_t));
    takeWide(buffer, n);
    return wide;
}

const char *podoStr::getNarrow(int codePage) const
{
    if (narrowValid)
        return narrow;
    if (wideValid) {
        const int n = measureNarrow(wide, codePage);
        char *buffer = newNarrowBuffer(n);
        if (buffer) {
            toNarrow(wide, buffer, n, codePage);
            buffer[n] = 0;
            takeNarrow(buffer, n);
        }
    }
    if (narrow)
        return narrow; // valid now, or a stale text with nothing to rebuild it from
    char *empty = newNarrowBuffer(1);
    if (empty)
        takeNarrow(empty, 1);
    return narrow;
}

const char16_t *podoStr::getWide(int codePage) const
{
    if (wideValid)
        return wide;
    if (narrowValid) {
        const int n = measureWide(narrow, codePage);
        char16_t *buffer = newWideBuffer(n);
        if (buffer) {
            toWide(narrow, buffer, n, codePage);
            buffer[n] = 0;
            takeWide(buffer, n);
        }
    }
    if (wide)
        return wide;
    char16_t *empty = newWideBuffer(1);
    if (empty)
        takeWide(empty, 1);
    return wide;
}

char *podoStr::getNarrowBuffer(int codePage)
{
    getNarrow(codePage);
    wideValid = false;
    return narrow;
}

char16_t *podoStr::getWideBuffer(int codePage)
{
    getWide(codePage);
    narrowValid = false;
    return wide;
}

char *podoStr::editNarrow()
{
    getNarrow(podo::codePageUtf8);
    return narrow;
}

char16_t *podoStr::editWide()
{
    getWide(podo::codePageUtf8);
    return wide;
}

char16_t *podoStr::setMultiByte(const char *text, int codePage)
{
    invalidate();
    const int n = measureWide(text, codePage);
    char16_t *buffer = newWideBuffer(n);
    if (!buffer) {
        takeWide(nullptr, -1);
        return nullptr;
    }
    toWide(text, buffer, n, codePage);
    buffer[n] = 0;
    takeWide(buffer, n);
    return wide;
}

podoStr &podoStr::clear()
{
    setWide(u"", 0);
    return *this;
}

bool podoStr::isEmpty() const
{
    const char16_t *text = getWide(podo::codePageUtf8);
    return !text || !text[0];
}

podoStr &podoStr::assign(const podoStr &source, int start, int length)
{
    if (&source == this) {
        // The whole string onto itself changes nothing; a part of it is taken
        // through a copy, since setting frees the buffer the part lies in.
        if (start <= 0 && length < 0)
            return *this;
        const podoStr copy(*this);
        return assign(copy, start, length);
    }
    invalidate();
    if (start < 0)
        start = 0;
    if (source.wideValid) {
        const int stored = source.wideStored;
        const int available = start < stored ? stored - start : 0;
        int n = length < 0 ? clampLength(podo::wideTextLength(source.wide + (start < stored ? start : stored))) : length;
        if (n > available)
            n = available;
        setWide(source.wide + (start < stored ? start : stored), n);
    } else if (source.narrowValid) {
        const int stored = source.narrowStored;
        const int available = start < stored ? stored - start : 0;
        const char *from = source.narrow + (start < stored ? start : stored);
        int n = length < 0 ? clampLength(strlen(from)) : length;
        if (n > available)
            n = available;
        setNarrow(from, n);
    }
    return *this;
}

podoStr &podoStr::operator=(const char16_t *text)
{
    setWide(text, -1);
    return *this;
}

podoStr &podoStr::operator=(const char *text)
{
    setNarrow(text, -1);
    return *this;
}

podoStr &podoStr::operator=(const podoStr &other)
{
    return assign(other, 0, -1);
}

// ---- lengths ---------------------------------------------------------------

int podoStr::length() const
{
    if (narrowValid)
        return clampLength(strlen(narrow));
    if (wideValid)
        return clampLength(podo::wideTextLength(wide));
    return 0;
}

int podoStr::narrowLength() const
{
    const char *text = getNarrow(podo::codePageUtf8);
    return text ? clampLength(strlen(text)) : 0;
}

int podoStr::wideLength() const
{
    return clampLength(podo::wideTextLength(getWide(podo::codePageUtf8)));
}

int podoStr::narrowBufferLength() const
{
    return narrowStored;
}

int podoStr::wideBufferLength() const
{
    return wideStored;
}
