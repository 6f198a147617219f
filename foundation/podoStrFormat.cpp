#include "foundation/podoStr.h"

#include "foundation/platform/podoPlatform.h"
#include "foundation/podoPrintf.h"
#include "foundation/podoStrAccess.h"

#include <cmath>
#include <cstring>
#include <string>

using podo::text::length;

namespace {

// ---- number readers --------------------------------------------------------

bool isSpace(char16_t c)
{
    return c == ' ' || (c >= '\t' && c <= '\r');
}

int digitValue(char16_t c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'Z')
        return c - 'A' + 10;
    return 99;
}

struct ParsedInteger
{
    uint64_t magnitude = 0;
    bool negative = false;
    bool overflow = false;
};

// The integer at the start of `p` as the C library's strtol family reads it,
// without its dependence on the process locale.
ParsedInteger parseInteger(const char16_t *p, int base)
{
    ParsedInteger r;
    if (!p || base < 0 || base == 1 || base > 36)
        return r;
    while (isSpace(*p))
        ++p;
    if (*p == '+' || *p == '-')
        r.negative = *p++ == '-';
    const bool hexPrefix = p[0] == '0' && (p[1] == 'x' || p[1] == 'X') && digitValue(p[2]) < 16;
    if (base == 0)
        base = hexPrefix ? 16 : p[0] == '0' ? 8 : 10;
    if (base == 16 && hexPrefix)
        p += 2;
    for (int d; (d = digitValue(*p)) < base; ++p) {
        if (r.magnitude > (UINT64_MAX - uint64_t(d)) / uint64_t(base))
            r.overflow = true;
        else
            r.magnitude = r.magnitude * uint64_t(base) + uint64_t(d);
    }
    return r;
}

// ---- Base64 ----------------------------------------------------------------

constexpr char base64Alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

int base64Value(char c)
{
    const char *at = c ? strchr(base64Alphabet, c) : nullptr;
    return at ? int(at - base64Alphabet) : 0; // other 7-bit characters count as 0
}

} // namespace

// ---- formatting ------------------------------------------------------------

int podoStr::format(const char *format, ...)
{
    podo::TextSink<char> out;
    va_list args;
    va_start(args, format);
    podo::formatText(out, format, args);
    va_end(args);
    setNarrow(out.text(), int(out.size()));
    return narrowStored;
}

int podoStr::format(const char16_t *format, ...)
{
    podo::TextSink<char16_t> out;
    va_list args;
    va_start(args, format);
    podo::formatText(out, format, args);
    va_end(args);
    setWide(out.text(), int(out.size()));
    return wideStored;
}

int podoStr::format(const podoStr *format, ...)
{
    podo::TextSink<char16_t> out;
    va_list args;
    va_start(args, format);
    // The format may be this string: it is read whole before the text is set.
    podo::formatText(out, format ? format->getWide(podo::codePageUtf8) : nullptr, args);
    va_end(args);
    setWide(out.text(), int(out.size()));
    return wideStored;
}

podoStr &podoStr::setNumber(double value, int width, int decimals, bool withSign)
{
    const char sign = value > 0 ? '+' : value < 0 ? '-' : ' ';
    if (decimals < 0)
        decimals = 0;
    // The magnitude is printed, not converted to an integer: rounding carries
    // into the whole part as printing rounds, and any magnitude (also infinity
    // or NaN) gives its own text.
    podoStr magnitude;
    magnitude.format("%.*f", decimals, std::fabs(value));
    const char *text = magnitude.getNarrow(podo::codePageUtf8);
    const char *point = strchr(text, '.');
    const std::string whole(text, point ? size_t(point - text) : strlen(text));
    const char *fraction = point ? point : "";
    if (withSign)
        format("%c%*s%s", sign, width, whole.c_str(), fraction);
    else
        format("%*s%s", width, whole.c_str(), fraction);
    return *this;
}

// ---- number readers --------------------------------------------------------

namespace {

const char16_t *fromIndex(const char16_t *text, int start)
{
    if (!text)
        return nullptr;
    if (start <= 0)
        return text;
    return start <= length(text) ? text + start : nullptr;
}

} // namespace

int32_t podoStr::toLong(int start, int base) const
{
    const ParsedInteger r = parseInteger(fromIndex(getWide(podo::codePageUtf8), start), base);
    if (r.negative)
        return r.overflow || r.magnitude > uint64_t(INT32_MAX) + 1 ? INT32_MIN : int32_t(-int64_t(r.magnitude));
    return r.overflow || r.magnitude > uint64_t(INT32_MAX) ? INT32_MAX : int32_t(r.magnitude);
}

int64_t podoStr::toInt64(int start, int base) const
{
    const ParsedInteger r = parseInteger(fromIndex(getWide(podo::codePageUtf8), start), base);
    if (r.negative)
        return r.overflow || r.magnitude > uint64_t(INT64_MAX) + 1 ? INT64_MIN : int64_t(0 - r.magnitude);
    return r.overflow || r.magnitude > uint64_t(INT64_MAX) ? INT64_MAX : int64_t(r.magnitude);
}

uint32_t podoStr::toULong(int start, int base) const
{
    const ParsedInteger r = parseInteger(fromIndex(getWide(podo::codePageUtf8), start), base);
    if (r.overflow || r.magnitude > UINT32_MAX)
        return UINT32_MAX;
    const uint32_t value = uint32_t(r.magnitude);
    return r.negative ? uint32_t(0u - value) : value;
}

uint64_t podoStr::toUInt64(int start, int base) const
{
    const ParsedInteger r = parseInteger(fromIndex(getWide(podo::codePageUtf8), start), base);
    if (r.overflow)
        return UINT64_MAX;
    return r.negative ? 0 - r.magnitude : r.magnitude;
}

double podoStr::toDouble(int start) const
{
    const char16_t *p = fromIndex(getWide(podo::codePageUtf8), start);
    if (!p)
        return 0;
    while (isSpace(*p))
        ++p;
    // A number is ASCII: the ASCII run is enough for the C reader.
    std::string ascii;
    for (; *p > ' ' && *p < 0x7F; ++p)
        ascii += char(*p);
    return podo::platform::parseDoubleC(ascii.c_str(), nullptr);
}

bool podoStr::isNumeric() const
{
    const char *text = getNarrow(podo::codePageUtf8);
    if (!text)
        return true;
    for (; *text; ++text)
        if (!((*text >= '0' && *text <= '9') || *text == '-' || *text == '.'))
            return false;
    return true;
}

// ---- encodings -------------------------------------------------------------

podoStr &podoStr::encodeBase64(const void *bytes, int count)
{
    invalidate();
    if (!bytes || count < 0)
        count = 0;
    const auto *in = static_cast<const uint8_t *>(bytes);
    const int64_t encoded = (int64_t(count) + 2) / 3 * 4;
    char *out = podoStrAccess::newBuffer(encoded > INT32_MAX - 1 ? 0 : int(encoded), char());
    if (!out || encoded > INT32_MAX - 1) {
        delete[] out;
        setNarrow("", 0);
        return *this;
    }
    int o = 0;
    for (int i = 0; i < count; i += 3) {
        const uint32_t b0 = in[i];
        const uint32_t b1 = i + 1 < count ? in[i + 1] : 0;
        const uint32_t b2 = i + 2 < count ? in[i + 2] : 0;
        const uint32_t group = b0 << 16 | b1 << 8 | b2;
        out[o++] = base64Alphabet[group >> 18 & 63];
        out[o++] = base64Alphabet[group >> 12 & 63];
        out[o++] = i + 1 < count ? base64Alphabet[group >> 6 & 63] : '=';
        out[o++] = i + 2 < count ? base64Alphabet[group & 63] : '=';
    }
    out[o] = 0;
    podoStrAccess::adopt(*this, out, o);
    return *this;
}

int podoStr::decodeBase64(uint8_t **output) const
{
    const char *text = getNarrow(podo::codePageUtf8);
    if (!output || !text)
        return 0;
    const size_t n = strlen(text);
    if (n == 0 || n % 4 || n > size_t(INT32_MAX))
        return 0;
    size_t pads = 0;
    while (pads < n && text[n - 1 - pads] == '=')
        ++pads;
    if (pads > 2)
        return 0;
    // Padding only at the very end, and 7-bit text before it.
    for (size_t i = 0; i < n - pads; ++i)
        if (text[i] == '=' || static_cast<unsigned char>(text[i]) >= 0x80)
            return 0;
    const size_t decoded = n / 4 * 3 - pads;
    if (!*output) {
        *output = new (std::nothrow) uint8_t[decoded];
        if (!*output)
            return 0;
    }
    uint8_t *out = *output;
    size_t o = 0;
    for (size_t i = 0; i < n; i += 4) {
        const uint32_t group = uint32_t(base64Value(text[i])) << 18 | uint32_t(base64Value(text[i + 1])) << 12 |
                               uint32_t(base64Value(text[i + 2])) << 6 | uint32_t(base64Value(text[i + 3]));
        const uint8_t bytes[3] = {uint8_t(group >> 16), uint8_t(group >> 8), uint8_t(group)};
        for (int k = 0; k < 3 && o < decoded; ++k)
            out[o++] = bytes[k];
    }
    return int(decoded);
}

podoStr &podoStr::encodeUrl()
{
    static const char hex[] = "0123456789ABCDEF";
    const char *text = getNarrow(podo::codePageUtf8);
    std::string encoded;
    auto percent = [&](unsigned char b) {
        encoded += '%';
        encoded += hex[b >> 4];
        encoded += hex[b & 15];
    };
    for (const char *p = text; p && *p; ++p) {
        const unsigned char b = static_cast<unsigned char>(*p);
        if ((b >= 'a' && b <= 'z') || (b >= 'A' && b <= 'Z') || (b >= '0' && b <= '9') || b == '-' || b == '.' ||
            b == '_') {
            encoded += char(b);
        } else if (b >= 0x80) {
            // Taken as the lead of a three-byte sequence: the next two bytes are
            // encoded whatever they are, unless the text ends first.
            percent(b);
            for (int k = 0; k < 2 && p[1]; ++k)
                percent(static_cast<unsigned char>(*++p));
        } else {
            percent(b);
        }
    }
    setNarrow(encoded.c_str(), int(encoded.size()));
    return *this;
}
