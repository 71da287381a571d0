// Decoding and encoding single UTF-8 characters for the lowering.
//
// Input is meant to be valid UTF-8 and is not validated as such; but a stray
// byte, a sequence cut short at the end of the text or one whose continuation
// bytes are missing comes back as a single NOT_A_CHARACTER byte, so that
// nothing is read out of bounds and no ASCII byte (a dot above all) is ever
// swallowed into a multi-byte character.
#pragma once

#include <cstddef>

namespace lookup::utf8 {

// Beyond the code space: no case data, copied through unchanged.
inline constexpr char32_t NOT_A_CHARACTER = 0xFFFFFFFF;

struct Decoded {
    char32_t cp;
    std::size_t length;
};

inline bool is_continuation(unsigned char byte) noexcept { return (byte & 0xC0) == 0x80; }

// The character that starts at `text`; `available` (at least 1) bytes can be read.
inline Decoded decode(const unsigned char* text, std::size_t available) noexcept {
    const unsigned char lead = text[0];
    std::size_t length = 0;
    char32_t cp = 0;
    if (lead < 0x80) {
        return {lead, 1};
    } else if (lead < 0xC0) {
        return {NOT_A_CHARACTER, 1};
    } else if (lead < 0xE0) {
        length = 2;
        cp = lead & 0x1F;
    } else if (lead < 0xF0) {
        length = 3;
        cp = lead & 0x0F;
    } else if (lead < 0xF8) {
        length = 4;
        cp = lead & 0x07;
    } else {
        return {NOT_A_CHARACTER, 1};
    }
    if (available < length) {
        return {NOT_A_CHARACTER, 1};
    }
    for (std::size_t k = 1; k < length; ++k) {
        if (!is_continuation(text[k])) {
            return {NOT_A_CHARACTER, 1};
        }
        cp = (cp << 6) | (text[k] & 0x3F);
    }
    return {cp, length};
}

// The character that ends just before `text + end`; `end` is at least 1.
// Agrees with decode() reading forwards over the same bytes.
inline Decoded decode_before(const unsigned char* text, std::size_t end) noexcept {
    std::size_t start = end - 1;
    while (start > 0 && end - start < 4 && is_continuation(text[start])) {
        --start;
    }
    const Decoded found = decode(text + start, end - start);
    if (start + found.length == end) {
        return found;
    }
    return {NOT_A_CHARACTER, 1};
}

// Writes `cp`, a code point below U+110000, at `out`; returns the byte count.
inline std::size_t encode(char32_t cp, char* out) noexcept {
    if (cp < 0x80) {
        out[0] = static_cast<char>(cp);
        return 1;
    }
    if (cp < 0x800) {
        out[0] = static_cast<char>(0xC0 | (cp >> 6));
        out[1] = static_cast<char>(0x80 | (cp & 0x3F));
        return 2;
    }
    if (cp < 0x10000) {
        out[0] = static_cast<char>(0xE0 | (cp >> 12));
        out[1] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out[2] = static_cast<char>(0x80 | (cp & 0x3F));
        return 3;
    }
    out[0] = static_cast<char>(0xF0 | (cp >> 18));
    out[1] = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out[2] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out[3] = static_cast<char>(0x80 | (cp & 0x3F));
    return 4;
}

}  // namespace lookup::utf8
