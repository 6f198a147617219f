// Small UTF-8 helpers for caret movement and length limits.
#pragma once

#include <cstddef>
#include <string>

namespace qgui::utf8 {

// Bytes of the sequence that starts at i (1 for a stray continuation byte or a cut sequence).
inline size_t sequenceLength(const std::string& s, size_t i) {
    if (i >= s.size()) return 0;
    unsigned char c = static_cast<unsigned char>(s[i]);
    size_t n = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 1;
    if (i + n > s.size()) return 1;
    for (size_t k = 1; k < n; ++k)
        if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return 1;
    return n;
}

inline size_t next(const std::string& s, size_t i) { return i >= s.size() ? s.size() : i + sequenceLength(s, i); }

inline size_t previous(const std::string& s, size_t i) {
    if (i == 0) return 0;
    size_t j = i - 1;
    while (j > 0 && (static_cast<unsigned char>(s[j]) & 0xC0) == 0x80 && i - j < 4) --j;
    return sequenceLength(s, j) == i - j ? j : i - 1;
}

// Length in UTF-16 code units: characters above U+FFFF count twice.
inline size_t utf16Length(const std::string& s) {
    size_t n = 0;
    for (size_t i = 0; i < s.size(); i += sequenceLength(s, i)) n += sequenceLength(s, i) == 4 ? 2 : 1;
    return n;
}

}  // namespace qgui::utf8
