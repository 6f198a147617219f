#pragma once

#include "foundation/podoStr.h"

// The operations of podoStr are spread over several files; they reach the
// forms through these, written once for both character types.
struct podoStrAccess
{
    // The form's text, rebuilt when stale.
    static const char *text(const podoStr &s, char) { return s.getNarrow(podo::codePageUtf8); }
    static const char16_t *text(const podoStr &s, char16_t) { return s.getWide(podo::codePageUtf8); }

    // The form's own buffer for an in-place edit; the caller marks the other
    // form stale when it changes anything.
    static char *edit(podoStr &s, char) { return s.editNarrow(); }
    static char16_t *edit(podoStr &s, char16_t) { return s.editWide(); }
    static void otherStale(podoStr &s, char) { s.wideValid = false; }
    static void otherStale(podoStr &s, char16_t) { s.narrowValid = false; }
    static bool valid(const podoStr &s, char) { return s.narrowValid; }
    static bool valid(const podoStr &s, char16_t) { return s.wideValid; }
    static char *buffer(podoStr &s, char) { return s.narrow; }
    static char16_t *buffer(podoStr &s, char16_t) { return s.wide; }

    // Makes the text n characters copied from `text` (which may lie in the
    // string's own buffers); the other form becomes stale.
    static void set(podoStr &s, const char *text, int n) { s.setNarrow(text, n); }
    static void set(podoStr &s, const char16_t *text, int n) { s.setWide(text, n); }

    // Takes a buffer made with newBuffer and holding n characters.
    static char *newBuffer(int n, char) { return podoStr::newNarrowBuffer(n); }
    static char16_t *newBuffer(int n, char16_t) { return podoStr::newWideBuffer(n); }
    static void adopt(podoStr &s, char *buffer, int n)
    {
        s.invalidate();
        s.takeNarrow(buffer, n);
    }
    static void adopt(podoStr &s, char16_t *buffer, int n)
    {
        s.invalidate();
        s.takeWide(buffer, n);
    }
};

namespace podo::text {

template <typename Ch>
inline int length(const Ch *text)
{
    int n = 0;
    if (text)
        while (text[n])
            ++n;
    return n;
}

template <typename Ch>
constexpr Ch lowerAscii(Ch c)
{
    return c >= 'A' && c <= 'Z' ? Ch(c + ('a' - 'A')) : c;
}

template <typename Ch>
constexpr Ch upperAscii(Ch c)
{
    return c >= 'a' && c <= 'z' ? Ch(c - ('a' - 'A')) : c;
}

} // namespace podo::text
