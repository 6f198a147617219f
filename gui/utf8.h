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

// The text with each ill-formed piece (a stray byte, a cut, overlong or surrogate sequence)
// replaced by U+FFFD: cairo refuses a whole text that is not UTF-8, and a path may not be.
inline std::string displayable(const std::string& s) {
    std::string out;
    out.reserve(s.size());
    size_t i = 0;
    while (i < s.size()) {
        const unsigned char lead = static_cast<unsigned char>(s[i]);
        if (lead < 0x80) {
            out += s[i++];
            continue;
        }
        size_t need = 0;
        unsigned char low = 0x80, high = 0xBF;
        if (lead >= 0xC2 && lead <= 0xDF) need = 1;
        else if (lead >= 0xE0 && lead <= 0xEF) {
            need = 2;
            if (lead == 0xE0) low = 0xA0;
            else if (lead == 0xED) high = 0x9F;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            need = 3;
            if (lead == 0xF0) low = 0x90;
            else if (lead == 0xF4) high = 0x8F;
        }
        size_t j = i + 1, got = 0;
        for (; need && got < need && j < s.size(); ++got, ++j) {
            const unsigned char next = static_cast<unsigned char>(s[j]);
            if (next < low || next > high) break;
            low = 0x80;
            high = 0xBF;
        }
        if (need && got == need) out.append(s, i, j - i);
        else out += "\xEF\xBF\xBD";
        i = j;
    }
    return out;
}

}  // namespace qgui::utf8
