#include "foundation/podoUtf.h"

#include <cstdint>

namespace podo {

namespace {

constexpr char16_t replacementCharacter = 0xFFFD;

} // namespace

size_t utf8ToUtf16(const char *in, size_t length, char16_t *out, size_t capacity, IllFormed illFormed)
{
    size_t count = 0;
    auto put = [&](char32_t c) {
        if (c >= 0x10000) {
            c -= 0x10000;
            if (out && count + 2 <= capacity) {
                out[count] = char16_t(0xD800 + (c >> 10));
                out[count + 1] = char16_t(0xDC00 + (c & 0x3FF));
            }
            count += 2;
        } else {
            if (out && count < capacity)
                out[count] = char16_t(c);
            ++count;
        }
    };

    // A kept byte is one unit, U+DC00 plus the byte.
    auto bad = [&](size_t from, size_t to) {
        if (illFormed == IllFormed::replace)
            put(replacementCharacter);
        else
            for (size_t k = from; k < to; ++k)
                put(0xDC00 + static_cast<unsigned char>(in[k]));
    };

    size_t i = 0;
    while (i < length) {
        const unsigned lead = static_cast<unsigned char>(in[i]);
        if (lead < 0x80) {
            put(lead);
            ++i;
            continue;
        }
        // The allowed range of the first continuation byte excludes overlong
        // forms, surrogates and values above U+10FFFF.
        unsigned need, low = 0x80, high = 0xBF;
        char32_t c;
        if (lead >= 0xC2 && lead <= 0xDF) {
            need = 1;
            c = lead & 0x1F;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            need = 2;
            c = lead & 0x0F;
            if (lead == 0xE0)
                low = 0xA0;
            else if (lead == 0xED)
                high = 0x9F;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            need = 3;
            c = lead & 0x07;
            if (lead == 0xF0)
                low = 0x90;
            else if (lead == 0xF4)
                high = 0x8F;
        } else {
            bad(i, i + 1);
            ++i;
            continue;
        }
        size_t j = i + 1;
        unsigned got = 0;
        for (; got < need && j < length; ++got, ++j) {
            const unsigned next = static_cast<unsigned char>(in[j]);
            if (next < low || next > high)
                break;
            c = (c << 6) | (next & 0x3F);
            low = 0x80;
            high = 0xBF;
        }
        if (got == need)
            put(c);
        else
            bad(i, j);
        i = j;
    }
    return count;
}

size_t utf16ToUtf8(const char16_t *in, size_t length, char *out, size_t capacity, IllFormed illFormed)
{
    size_t count = 0;
    auto put = [&](char32_t c) {
        char bytes[4];
        size_t n;
        if (c < 0x80) {
            bytes[0] = char(c);
            n = 1;
        } else if (c < 0x800) {
            bytes[0] = char(0xC0 | (c >> 6));
            bytes[1] = char(0x80 | (c & 0x3F));
            n = 2;
        } else if (c < 0x10000) {
            bytes[0] = char(0xE0 | (c >> 12));
            bytes[1] = char(0x80 | ((c >> 6) & 0x3F));
            bytes[2] = char(0x80 | (c & 0x3F));
            n = 3;
        } else {
            bytes[0] = char(0xF0 | (c >> 18));
            bytes[1] = char(0x80 | ((c >> 12) & 0x3F));
            bytes[2] = char(0x80 | ((c >> 6) & 0x3F));
            bytes[3] = char(0x80 | (c & 0x3F));
            n = 4;
        }
        if (out && count + n <= capacity)
            for (size_t k = 0; k < n; ++k)
                out[count + k] = bytes[k];
        count += n;
    };

    for (size_t i = 0; i < length; ++i) {
        const char32_t unit = in[i];
        if (unit < 0xD800 || unit > 0xDFFF) {
            put(unit);
        } else if (unit <= 0xDBFF && i + 1 < length && in[i + 1] >= 0xDC00 && in[i + 1] <= 0xDFFF) {
            put(0x10000 + ((unit - 0xD800) << 10) + (in[i + 1] - 0xDC00));
            ++i;
        } else if (illFormed == IllFormed::keepBytes && unit >= 0xDC80 && unit <= 0xDCFF) {
            if (out && count < capacity)
                out[count] = char(unit - 0xDC00);
            ++count;
        } else {
            put(replacementCharacter);
        }
    }
    return count;
}

size_t wideTextLength(const char16_t *text)
{
    size_t n = 0;
    if (text)
        while (text[n])
            ++n;
    return n;
}

} // namespace podo
