#pragma once

#include <cstdint>

class davalArrayString;

namespace podo {

// The narrow form's code page; every caller in the system passes it.
constexpr int codePageUtf8 = 65001;

} // namespace podo

// The one string type of the system. It holds one text in up to two forms: a
// narrow form (bytes, UTF-8 unless a code page says otherwise) and a wide form
// (UTF-16 units). Each form has its own valid flag; setting one form makes the
// other stale, and reading a stale form rebuilds it from the valid one once and
// caches it.
//
// Invariants:
// - every buffer is terminated (0 after its characters, and 0 at its end from
//   the moment it is allocated); a buffer made for n characters has room for n + 1;
// - when both forms are valid they hold the same text;
// - the stored length of a form is what its buffer was made for (-1: no buffer),
//   not necessarily the length of the text in it (in-place trims keep it).
//
// Lengths, indexes and counts are 32-bit and count units of the form an
// operation works on (bytes or UTF-16 units); -1 means "up to the terminator".
// The wide and podoStr variants of an operation work on the wide form, the
// narrow variants on the narrow form.
//
// There is no lock: reading a stale form writes the cache, so a string shared
// between threads needs its owner's lock even for reading. The const getters
// are const only in the sense that the text does not change.
class podoStr
{
public:
    podoStr();
    podoStr(const podoStr *other);
    podoStr(const podoStr &other);
    podoStr(const char *text);
    podoStr(const char16_t *text);
    virtual ~podoStr();

    // Storage and encodings.
    virtual void invalidate();
    virtual char *setNarrow(const char *text, int length = -1);
    virtual const char *getNarrow(int codePage = podo::codePageUtf8) const;
    virtual char16_t *setWide(const char16_t *text, int length = -1);
    virtual const char16_t *getWide(int codePage = podo::codePageUtf8) const;
    // The text for in-place change, kept within its stored length and
    // terminated; the other form becomes stale.
    virtual char *getNarrowBuffer(int codePage = podo::codePageUtf8);
    virtual char16_t *getWideBuffer(int codePage = podo::codePageUtf8);
    // Text in another code page always becomes the wide form.
    virtual char16_t *setMultiByte(const char *text, int codePage);
    virtual podoStr &clear();
    virtual bool isEmpty() const;
    virtual bool isNumeric() const;
    virtual bool isPlainName(bool letterFirst) const;
    virtual podoStr &assign(const podoStr &source, int start = 0, int length = -1);
    virtual podoStr &operator=(const char16_t *text);
    virtual podoStr &operator=(const char *text);
    virtual podoStr &operator=(const podoStr &other);

    // Copying out: count < 0 copies the rest with its terminator; otherwise
    // count units (0-filled past the text's end) and a terminator at [count].
    virtual char16_t *copyWideTo(char16_t *buffer, int start, int count) const;
    virtual char *copyNarrowTo(char *buffer, int start, int count) const;
    virtual char16_t *copyWideTo(char16_t *buffer) const;
    virtual char *copyNarrowTo(char *buffer) const;

    // Appending; a 0 character or a null text changes nothing.
    virtual podoStr &appendChar(char16_t c);
    virtual podoStr &appendChar(char c);
    virtual podoStr &append(const char16_t *text);
    virtual podoStr &append(const char *text);
    virtual podoStr &append(const podoStr &other);
    virtual podoStr operator+(char16_t c) const;
    virtual podoStr operator+(char c) const;
    virtual podoStr operator+(const char16_t *text) const;
    virtual podoStr operator+(const char *text) const;
    virtual podoStr operator+(const podoStr &other) const;
    virtual podoStr &operator+=(char16_t c);
    virtual podoStr &operator+=(char c);
    virtual podoStr &operator+=(const char16_t *text);
    virtual podoStr &operator+=(const char *text);
    virtual podoStr &operator+=(const podoStr &other);

    // Lengths. length() converts nothing: the valid form's length (narrow
    // first), 0 when neither is valid.
    virtual int length() const;
    virtual int narrowLength() const;
    virtual int wideLength() const;
    virtual int narrowBufferLength() const;
    virtual int wideBufferLength() const;

    // Natural order: runs of digits compare as numbers ("a9" < "a10"), then
    // unit by unit (wide units unsigned, narrow bytes signed). Count 0 compares
    // the whole texts. A null text gives 1. Results are -1, 0 or 1.
    virtual int compare(const char16_t *text, int count = 0) const;
    virtual int compare(const char *text, int count = 0) const;
    virtual int compare(const podoStr &other, int count = 0) const;
    // ASCII letters folded; the difference of the first differing characters.
    // A text that ends within the count compares smaller.
    virtual int compareNoCase(const char16_t *text, int count = 0) const;
    virtual int compareNoCase(const char *text, int count = 0) const;
    virtual int compareNoCase(const podoStr &other, int count = 0) const;
    virtual bool startsWith(const char16_t *text) const;
    virtual bool startsWith(const char *text) const;
    virtual bool startsWith(const podoStr &other) const;
    virtual bool operator==(const char16_t *text) const;
    virtual bool operator==(const char *text) const;
    virtual bool operator==(const podoStr &other) const;
    virtual bool operator!=(const char16_t *text) const;
    virtual bool operator!=(const char *text) const;
    virtual bool operator!=(const podoStr &other) const;
    virtual bool operator<(const char16_t *text) const;
    virtual bool operator<(const char *text) const;
    virtual bool operator<(const podoStr &other) const;
    virtual bool operator>(const char16_t *text) const;
    virtual bool operator>(const char *text) const;
    virtual bool operator>(const podoStr &other) const;
    virtual bool operator<=(const char16_t *text) const;
    virtual bool operator<=(const char *text) const;
    virtual bool operator<=(const podoStr &other) const;
    virtual bool operator>=(const char16_t *text) const;
    virtual bool operator>=(const char *text) const;
    virtual bool operator>=(const podoStr &other) const;

    // Search: the index of the first occurrence at or after start, or -1. An
    // empty text is found at start.
    virtual int find(const char16_t *text, int start = 0) const;
    virtual int find(const char *text, int start = 0) const;
    virtual int find(const podoStr &other, int start = 0) const;
    virtual int findNoCase(const char16_t *text, int start = 0) const;
    virtual int findNoCase(const char *text, int start = 0) const;
    virtual int findNoCase(const podoStr &other, int start = 0) const;

    // Replace up to `most` occurrences (below 1 counts as 1), left to right,
    // never looking into replacement text; returns the count. An empty find
    // text replaces nothing.
    virtual int replace(const char16_t *find, const char16_t *replacement, int most = 0x7FFFFFFF);
    virtual int replace(const char *find, const char *replacement, int most = 0x7FFFFFFF);
    virtual int replaceNoCase(const char16_t *find, const char16_t *replacement, int most = 0x7FFFFFFF);
    virtual int replaceNoCase(const char *find, const char *replacement, int most = 0x7FFFFFFF);
    // replace() for each character of the set in turn; the sum of the counts.
    virtual int replaceChars(const char16_t *set, const char16_t *replacement, int most = 0x7FFFFFFF);
    virtual int replaceChars(const char *set, const char *replacement, int most = 0x7FFFFFFF);

    // Whole-text wildcard match: '*' any run, '?' any one character.
    virtual bool matches(const char16_t *pattern) const;
    virtual bool matches(const char *pattern) const;
    virtual bool matches(const podoStr &pattern) const;
    virtual bool matchesNoCase(const char16_t *pattern) const;
    virtual bool matchesNoCase(const char *pattern) const;
    virtual bool matchesNoCase(const podoStr &pattern) const;

    // Base64 (RFC 4648 alphabet, '=' padding, no line breaks) and percent-encoding.
    virtual podoStr &encodeBase64(const void *bytes, int count);
    // Decodes the narrow text. When *output is null, allocates the result
    // (new[]; the caller deletes it). Returns the decoded size; 0, touching
    // nothing, for text that is not well-formed Base64.
    virtual int decodeBase64(uint8_t **output) const;
    virtual podoStr &encodeUrl();

    // Number readers over the wide text from `start`: white space, sign,
    // digits; base 0 takes the base from a "0x" or "0" prefix. Out-of-range
    // values give the type's limit; the unsigned readers negate a value
    // written with '-' in their own width. Independent of the process locale.
    virtual int32_t toLong(int start = 0, int base = 10) const;
    virtual int64_t toInt64(int start = 0, int base = 10) const;
    virtual uint32_t toULong(int start = 0, int base = 10) const;
    virtual uint64_t toUInt64(int start = 0, int base = 10) const;
    virtual double toDouble(int start = 0) const;
    // Sign character ('+', '-', or ' ' for 0 and NaN) when withSign, the
    // magnitude's whole part right-aligned in `width` (negative: left-aligned)
    // and `decimals` fraction digits. The narrow form.
    virtual podoStr &setNumber(double value, int width, int decimals, bool withSign);

    virtual podoStr &makeUpper();

    // Pieces between separators, as a new array the caller deletes. No piece
    // follows a separator at the very end; an empty text gives no pieces; an
    // empty separator gives the whole text as one piece. The array is declared
    // in foundation/davalArrayString.h.
    virtual davalArrayString *split(const char16_t *separator, bool skipEmpty) const;
    virtual davalArrayString *split(const char *separator, bool skipEmpty) const;

    // Trimming; the left trims keep a text made only of trimmed characters.
    virtual podoStr &trimLeftChar(char16_t c);
    virtual podoStr &trimLeftChar(char c);
    virtual podoStr &trimLeft(const char16_t *set);
    virtual podoStr &trimLeft(const char *set);
    virtual podoStr &trimRightChar(char16_t c);
    virtual podoStr &trimRightChar(char c);
    virtual podoStr &trimRight(const char16_t *set);
    virtual podoStr &trimRight(const char *set);
    virtual podoStr &trimChar(char16_t c);
    virtual podoStr &trimChar(char c);
    virtual podoStr &trim(const char16_t *set);
    virtual podoStr &trim(const char *set);

    // The string takes the buffer's text; the buffer receives the former text
    // with its terminator (it must have room for it).
    virtual podoStr &swap(char16_t *buffer);
    virtual podoStr &swap(char *buffer);
    virtual podoStr &swap(podoStr &other);

    // Reserve a buffer for `length` characters (-1: none); the form becomes
    // stale and holds the empty text until written. Returns the stored length.
    virtual int allocNarrow(int length);
    virtual int allocWide(int length);

    // printf-style formatting into one form; returns the new length. Numbers
    // always use the "C" conventions. In a narrow format %s and %c take narrow
    // text and %S and %C wide (UTF-16) text; in a wide format the reverse.
    // %hs/%hc always mean narrow, %ls/%lc and %ws/%wc wide.
    virtual int format(const char *format, ...);
    virtual int format(const char16_t *format, ...);
    virtual int format(const podoStr *format, ...);

    // Paths. Both '/' and '\\' separate folders ('/' is the one added); a
    // second character ':' ends a drive. The parts: drive ("C:"), folder (up to
    // and including the last separator), name, extension (from the name's last
    // '.'). Outputs and inputs may be null (not wanted, not given) and may be
    // this string itself.
    virtual void splitPath(podoStr *drive, podoStr *folder, podoStr *name, podoStr *extension) const;
    virtual podoStr &makePath(const podoStr *drive, const podoStr *folder, const podoStr *name,
                              const podoStr *extension);
    // Replaces each given part (an empty one removes it) and joins again.
    virtual podoStr &setPathParts(const podoStr *drive, const podoStr *folder, const podoStr *name,
                                  const podoStr *extension);
    virtual podoStr &setExtension(const podoStr &extension);
    virtual podoStr &removeExtension();
    // Only when the path has no extension.
    virtual podoStr &setDefaultExtension(const podoStr &extension);
    // The text after the last separator (the whole text when there is none).
    virtual const char *getNarrowFileName() const;
    virtual const char16_t *getWideFileName() const;
    // Appends the separator (0: the preferred one) to a non-empty text that
    // does not end with one.
    virtual podoStr &addTrailingSeparator(char16_t separator = 0);
    // Drops one trailing separator.
    virtual podoStr &removeTrailingSeparator();
    virtual podoStr &replaceSeparators(char16_t separator);
    bool endsWithSeparator() const;

    // Conversion helpers: counts without the terminator, 0 when the code page
    // is unknown. toWide/toNarrow convert the terminated text into a buffer made
    // for n units (room for n + 1) and return the units written with the
    // terminator, 0 on failure.
    static int measureWide(const char *text, int codePage);
    static int measureNarrow(const char16_t *text, int codePage);
    static int toWide(const char *text, char16_t *buffer, int n, int codePage);
    static int toNarrow(const char16_t *text, char *buffer, int n, int codePage);

private:
    friend struct podoStrAccess;

    // Builds a buffer for n characters without touching the fields.
    static char *newNarrowBuffer(int n);
    static char16_t *newWideBuffer(int n);
    void takeNarrow(char *buffer, int n) const;
    void takeWide(char16_t *buffer, int n) const;

    // The form an editing operation works on, rebuilt when stale; the other
    // form is left as it is (the caller marks it stale when it changes the text).
    char *editNarrow();
    char16_t *editWide();

    mutable char *narrow = nullptr;
    mutable bool narrowValid = false;
    mutable int32_t narrowStored = -1;
    mutable char16_t *wide = nullptr;
    mutable bool wideValid = false;
    mutable int32_t wideStored = -1;
};
