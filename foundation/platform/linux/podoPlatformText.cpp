#include "foundation/platform/podoPlatform.h"

#include <bit>
#include <cerrno>
#include <clocale>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iconv.h>
#include <locale.h>

namespace podo::platform {

namespace {

constexpr const char *nativeUtf16 = std::endian::native == std::endian::little ? "UTF-16LE" : "UTF-16BE";

locale_t cLocale()
{
    static const locale_t locale = newlocale(LC_ALL_MASK, "C", locale_t(0));
    return locale;
}

// iconv's name for a code page number; false when there is none we know.
bool codePageName(int codePage, char *name, size_t size)
{
    struct Named
    {
        int codePage;
        const char *name;
    };
    static const Named named[] = {
        {1, "CP437"},         {2, "MACINTOSH"},    {20127, "ASCII"},     {20866, "KOI8-R"},
        {21866, "KOI8-U"},    {51932, "EUC-JP"},   {51949, "EUC-KR"},    {54936, "GB18030"},
        {65000, "UTF-7"},     {10000, "MACINTOSH"}, {936, "GBK"},        {950, "BIG5"},
        {932, "SHIFT_JIS"},   {949, "CP949"},       {20932, "EUC-JP"},   {50220, "ISO-2022-JP"},
    };
    for (const Named &n : named)
        if (n.codePage == codePage) {
            snprintf(name, size, "%s", n.name);
            return true;
        }
    if (codePage >= 28591 && codePage <= 28606) {
        snprintf(name, size, "ISO-8859-%d", codePage - 28590);
        return true;
    }
    // The numbered OEM and Windows code pages (437, 850, 866, 874, 1250..1258).
    if ((codePage >= 437 && codePage <= 1258) || codePage == 874) {
        snprintf(name, size, "CP%d", codePage);
        return true;
    }
    return false;
}

// Runs iconv over the whole input through a scratch buffer. `onBad` handles
// input iconv refuses: it is given the remaining input and returns how many
// bytes to skip after writing its replacement through `emitBytes`.
template <typename Emit, typename OnBad>
long convertAll(iconv_t cd, const char *in, size_t inBytes, Emit emitBytes, OnBad onBad)
{
    char scratch[1024];
    char *inPtr = const_cast<char *>(in);
    size_t inLeft = inBytes;
    for (;;) {
        char *outPtr = scratch;
        size_t outLeft = sizeof scratch;
        size_t r = inLeft ? iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft) : iconv(cd, nullptr, nullptr, &outPtr, &outLeft);
        const int error = r == size_t(-1) ? errno : 0;
        emitBytes(scratch, size_t(outPtr - scratch));
        if (!inLeft && !error)
            break;
        if (error == E2BIG)
            continue;
        if (error == EILSEQ || error == EINVAL) {
            size_t skip = onBad(inPtr, inLeft);
            if (skip > inLeft)
                skip = inLeft;
            inPtr += skip;
            inLeft -= skip;
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
            continue;
        }
        if (error)
            return -1;
        // inLeft is 0 here: the final call above flushed the shift state.
    }
    return 0;
}

} // namespace

bool isUtf8CodePage(int codePage)
{
    // 0 and 3 are the system's and the thread's current code page: UTF-8 here.
    return codePage == 65001 || codePage == 0 || codePage == 3;
}

long codePageToUtf16(int codePage, const char *in, size_t length, char16_t *out, size_t capacity)
{
    char name[32];
    if (!codePageName(codePage, name, sizeof name))
        return -1;
    iconv_t cd = iconv_open(nativeUtf16, name);
    if (cd == iconv_t(-1))
        return -1;
    size_t count = 0;
    auto emitUnit = [&](char16_t unit) {
        if (out && count < capacity)
            out[count] = unit;
        ++count;
    };
    auto emitBytes = [&](const char *bytes, size_t n) {
        for (size_t k = 0; k + 2 <= n; k += 2) {
            char16_t unit;
            memcpy(&unit, bytes + k, 2);
            emitUnit(unit);
        }
    };
    long r = convertAll(cd, in, length, emitBytes, [&](const char *, size_t) {
        emitUnit(0xFFFD);
        return size_t(1);
    });
    iconv_close(cd);
    return r < 0 ? -1 : long(count);
}

long utf16ToCodePage(int codePage, const char16_t *in, size_t length, char *out, size_t capacity)
{
    char name[32];
    if (!codePageName(codePage, name, sizeof name))
        return -1;
    iconv_t cd = iconv_open(name, nativeUtf16);
    if (cd == iconv_t(-1))
        return -1;
    size_t count = 0;
    auto emitBytes = [&](const char *bytes, size_t n) {
        for (size_t k = 0; k < n; ++k) {
            if (out && count < capacity)
                out[count] = bytes[k];
            ++count;
        }
    };
    long r = convertAll(cd, reinterpret_cast<const char *>(in), length * 2, emitBytes, [&](const char *at, size_t left) {
        const char q = '?';
        emitBytes(&q, 1);
        // A surrogate pair is one character: skip both units.
        if (left >= 4) {
            char16_t units[2];
            memcpy(units, at, 4);
            if (units[0] >= 0xD800 && units[0] <= 0xDBFF && units[1] >= 0xDC00 && units[1] <= 0xDFFF)
                return size_t(4);
        }
        return size_t(2);
    });
    iconv_close(cd);
    return r < 0 ? -1 : long(count);
}

int printC(char *buffer, size_t size, const char *format, ...)
{
    va_list args;
    va_start(args, format);
    const locale_t previous = uselocale(cLocale());
    const int n = vsnprintf(buffer, size, format, args);
    uselocale(previous);
    va_end(args);
    return n;
}

double parseDoubleC(const char *text, char **end)
{
    return strtod_l(text, end, cLocale());
}

} // namespace podo::platform
