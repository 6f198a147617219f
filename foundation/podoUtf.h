#pragma once

#include <cstddef>
#include <string>

// UTF-8 <-> UTF-16 conversion for the two forms of a podoStr. Any input
// converts: every ill-formed piece becomes U+FFFD (one per maximal ill-formed
// subsequence, as Unicode recommends), never a refusal.
namespace podo {

// What becomes of ill-formed input. keepBytes is for text that must come back as
// the bytes it was, such as the system's paths: each byte of an ill-formed UTF-8
// piece becomes the unpaired surrogate U+DC80..U+DCFF, which converts back to
// that byte (any other unpaired surrogate still gives U+FFFD).
enum class IllFormed { replace, keepBytes };

// Converts `length` bytes. Returns the number of UTF-16 units the whole input
// gives; writes them to `out` while they fit in `capacity` (out may be null to
// measure). A character that does not fit whole is not written in part.
size_t utf8ToUtf16(const char *in, size_t length, char16_t *out, size_t capacity,
                   IllFormed illFormed = IllFormed::replace);

// Converts `length` units; an unpaired surrogate becomes U+FFFD. Returns the
// number of bytes the whole input gives, writing as utf8ToUtf16 does.
size_t utf16ToUtf8(const char16_t *in, size_t length, char *out, size_t capacity,
                   IllFormed illFormed = IllFormed::replace);

// Length of a terminated UTF-16 text; 0 for null.
size_t wideTextLength(const char16_t *text);

} // namespace podo
