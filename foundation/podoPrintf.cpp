#include "foundation/podoPrintf.h"

#include "foundation/platform/podoPlatform.h"
#include "foundation/podoUtf.h"

#include <cstdint>
#include <cstring>
#include <string>

namespace podo {

namespace {

enum class Size { none, hh, h, l, ll, L, j, z, t, w };

// Prints one number with a narrow printf specification in the "C" locale and
// appends it.
template <typename Ch, typename Value>
void putNumber(TextSink<Ch> &out, const char *spec, Value value)
{
    char local[128];
    int n = platform::printC(local, sizeof local, spec, value);
    if (n < 0)
        return;
    const char *text = local;
    std::unique_ptr<char[]> heap;
    if (size_t(n) >= sizeof local) {
        heap.reset(new (std::nothrow) char[size_t(n) + 1]);
        if (!heap)
            return;
        n = platform::printC(heap.get(), size_t(n) + 1, spec, value);
        if (n < 0)
            return;
        text = heap.get();
    }
    for (int i = 0; i < n; ++i)
        out.put(Ch(static_cast<unsigned char>(text[i])));
}

// Text in the sink's own character type, converted from either form.
inline void convertText(std::string &into, const char *text, size_t n)
{
    into.assign(text, n);
}

inline void convertText(std::string &into, const char16_t *text, size_t n)
{
    into.resize(utf16ToUtf8(text, n, nullptr, 0));
    utf16ToUtf8(text, n, into.data(), into.size());
}

inline void convertText(std::u16string &into, const char *text, size_t n)
{
    into.resize(utf8ToUtf16(text, n, nullptr, 0));
    utf8ToUtf16(text, n, into.data(), into.size());
}

inline void convertText(std::u16string &into, const char16_t *text, size_t n)
{
    into.assign(text, n);
}

// The longest prefix of at most `most` units that does not cut a character.
inline size_t wholeCharacters(const std::string &text, size_t most)
{
    if (most >= text.size())
        return text.size();
    while (most > 0 && (static_cast<unsigned char>(text[most]) & 0xC0) == 0x80)
        --most;
    return most;
}

inline size_t wholeCharacters(const std::u16string &text, size_t most)
{
    if (most >= text.size())
        return text.size();
    if (most > 0 && text[most - 1] >= 0xD800 && text[most - 1] <= 0xDBFF)
        --most;
    return most;
}

template <typename Ch>
void putPadded(TextSink<Ch> &out, const Ch *text, size_t n, int width, bool left)
{
    const size_t pad = width > 0 && size_t(width) > n ? size_t(width) - n : 0;
    if (!left)
        out.fill(Ch(' '), pad);
    out.put(text, n);
    if (left)
        out.fill(Ch(' '), pad);
}

template <typename Ch, typename Source>
void putText(TextSink<Ch> &out, const Source *text, int precision, int width, bool left)
{
    static const char null[] = "(null)";
    std::basic_string<Ch> converted;
    if (!text) {
        convertText(converted, null, sizeof null - 1);
    } else if constexpr (sizeof(Source) == sizeof(Ch)) {
        // With a precision the text need not be terminated.
        size_t n = 0;
        while ((precision < 0 || n < size_t(precision)) && text[n])
            ++n;
        converted.assign(reinterpret_cast<const Ch *>(text), n);
    } else {
        size_t n = 0;
        while (text[n])
            ++n;
        convertText(converted, text, n);
    }
    size_t n = converted.size();
    if (precision >= 0)
        n = wholeCharacters(converted, size_t(precision));
    putPadded(out, converted.data(), n, width, left);
}

template <typename Ch>
int readCount(const Ch *&f)
{
    long long n = 0;
    while (*f >= '0' && *f <= '9') {
        if (n < INT_MAX)
            n = n * 10 + (*f - '0');
        ++f;
    }
    return n > INT_MAX ? INT_MAX : int(n);
}

template <typename Ch>
void formatAny(TextSink<Ch> &out, const Ch *f, va_list args)
{
    constexpr bool narrowFormat = sizeof(Ch) == 1;
    va_list ap;
    va_copy(ap, args);
    while (f && *f) {
        if (*f != '%') {
            out.put(*f++);
            continue;
        }
        const Ch *spec = f++;
        if (*f == '%') {
            out.put(Ch('%'));
            ++f;
            continue;
        }

        char flags[8];
        int flagCount = 0;
        bool left = false;
        for (;; ++f) {
            const Ch c = *f;
            if (c != '-' && c != '+' && c != ' ' && c != '#' && c != '0')
                break;
            if (c == '-')
                left = true;
            if (flagCount < 5 && !memchr(flags, char(c), size_t(flagCount)))
                flags[flagCount++] = char(c);
        }

        int width = -1;
        if (*f == '*') {
            width = va_arg(ap, int);
            if (width < 0) {
                left = true;
                if (flagCount < 6 && !memchr(flags, '-', size_t(flagCount)))
                    flags[flagCount++] = '-';
                width = width == INT_MIN ? INT_MAX : -width;
            }
            ++f;
        } else if (*f >= '0' && *f <= '9') {
            width = readCount(f);
        }

        int precision = -1;
        if (*f == '.') {
            ++f;
            if (*f == '*') {
                precision = va_arg(ap, int);
                if (precision < 0)
                    precision = -1;
                ++f;
            } else {
                precision = readCount(f);
            }
        }

        Size size = Size::none;
        switch (*f) {
        case 'h':
            size = f[1] == 'h' ? Size::hh : Size::h;
            f += size == Size::hh ? 2 : 1;
            break;
        case 'l':
            size = f[1] == 'l' ? Size::ll : Size::l;
            f += size == Size::ll ? 2 : 1;
            break;
        case 'L':
            size = Size::L;
            ++f;
            break;
        case 'q':
            size = Size::ll;
            ++f;
            break;
        case 'j':
            size = Size::j;
            ++f;
            break;
        case 'z':
            size = Size::z;
            ++f;
            break;
        case 't':
            size = Size::t;
            ++f;
            break;
        case 'w':
            size = Size::w;
            ++f;
            break;
        case 'I':
            if (f[1] == '6' && f[2] == '4') {
                size = Size::ll;
                f += 3;
            } else if (f[1] == '3' && f[2] == '2') {
                f += 3;
            } else {
                size = Size::z;
                ++f;
            }
            break;
        default:
            break;
        }

        const Ch conversion = *f;
        if (!conversion) {
            out.put(spec, size_t(f - spec));
            break;
        }
        ++f;

        // The narrow specification handed to the "C" printer.
        char number[64];
        auto makeSpec = [&](const char *length, char letter) {
            int n = 0;
            number[n++] = '%';
            for (int i = 0; i < flagCount; ++i)
                number[n++] = flags[i];
            if (width >= 0)
                n += snprintf(number + n, sizeof number - size_t(n), "%d", width);
            if (precision >= 0)
                n += snprintf(number + n, sizeof number - size_t(n), ".%d", precision);
            snprintf(number + n, sizeof number - size_t(n), "%s%c", length, letter);
            return number;
        };

        switch (conversion) {
        case 'd':
        case 'i': {
            long long value;
            switch (size) {
            case Size::hh: value = static_cast<signed char>(va_arg(ap, int)); break;
            case Size::h: value = static_cast<short>(va_arg(ap, int)); break;
            case Size::l: value = va_arg(ap, long); break;
            case Size::ll:
            case Size::L: value = va_arg(ap, long long); break;
            case Size::j: value = va_arg(ap, intmax_t); break;
            case Size::z:
            case Size::t: value = va_arg(ap, ptrdiff_t); break;
            default: value = va_arg(ap, int); break;
            }
            putNumber(out, makeSpec("ll", 'd'), value);
            break;
        }
        case 'u':
        case 'o':
        case 'x':
        case 'X': {
            unsigned long long value;
            switch (size) {
            case Size::hh: value = static_cast<unsigned char>(va_arg(ap, unsigned)); break;
            case Size::h: value = static_cast<unsigned short>(va_arg(ap, unsigned)); break;
            case Size::l: value = va_arg(ap, unsigned long); break;
            case Size::ll:
            case Size::L: value = va_arg(ap, unsigned long long); break;
            case Size::j: value = va_arg(ap, uintmax_t); break;
            case Size::z:
            case Size::t: value = va_arg(ap, size_t); break;
            default: value = va_arg(ap, unsigned); break;
            }
            putNumber(out, makeSpec("ll", char(conversion)), value);
            break;
        }
        case 'f':
        case 'F':
        case 'e':
        case 'E':
        case 'g':
        case 'G':
        case 'a':
        case 'A':
            if (size == Size::L)
                putNumber(out, makeSpec("L", char(conversion)), va_arg(ap, long double));
            else
                putNumber(out, makeSpec("", char(conversion)), va_arg(ap, double));
            break;
        case 'p':
            putNumber(out, makeSpec("", 'p'), va_arg(ap, void *));
            break;
        case 'c':
        case 'C':
        case 's':
        case 'S': {
            const bool lower = conversion == 'c' || conversion == 's';
            const bool forcedWide = size == Size::l || size == Size::w;
            const bool forcedNarrow = size == Size::h;
            const bool wideArgument = narrowFormat ? (lower ? forcedWide : !forcedNarrow)
                                                   : (lower ? !forcedNarrow : forcedWide);
            if (conversion == 'c' || conversion == 'C') {
                // Exactly one character, also when it is 0.
                const int value = va_arg(ap, int);
                std::basic_string<Ch> c;
                if (wideArgument) {
                    const char16_t unit = char16_t(value);
                    convertText(c, &unit, 1);
                } else {
                    const char byte = char(value);
                    convertText(c, &byte, 1);
                }
                putPadded(out, c.data(), c.size(), width, left);
            } else if (wideArgument) {
                putText(out, va_arg(ap, const char16_t *), precision, width, left);
            } else {
                putText(out, va_arg(ap, const char *), precision, width, left);
            }
            break;
        }
        case 'n':
            // Writing through an argument is never wanted: the pointer is skipped.
            (void)va_arg(ap, void *);
            break;
        default:
            out.put(spec, size_t(f - spec));
            break;
        }
    }
    va_end(ap);
}

} // namespace

void formatText(TextSink<char> &out, const char *format, va_list args)
{
    formatAny(out, format, args);
}

void formatText(TextSink<char16_t> &out, const char16_t *format, va_list args)
{
    formatAny(out, format, args);
}

} // namespace podo
