// UTF-8, the one copy of it in the project: the lenient single-character
// decoding and the encoding that the lowering runs on, the strict decoding
// that list files are checked with, and the repair of arbitrary bytes into
// valid text for messages.
//
// decode() and decode_before() take text that is meant to be valid UTF-8 and
// do not validate it as such; but a stray byte, a sequence cut short at the
// end of the text or one whose continuation bytes are missing comes back as a
// single NOT_A_CHARACTER byte, so that nothing is read out of bounds and no
// ASCII byte (a dot above all) is ever swallowed into a multi-byte character.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "ascii_words.h"

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

// `cp` appended to `out` in UTF-8.
inline void append(std::string& out, char32_t cp) {
    char bytes[4];
    out.append(bytes, encode(cp, bytes));
}

// Code points (each below U+110000) as UTF-8 text.
inline std::string encode_all(std::u32string_view code_points) {
    std::string out;
    out.reserve(code_points.size());
    for (const char32_t cp : code_points) {
        append(out, cp);
    }
    return out;
}

// A word at a time, the last word read whole (over the one before it).
inline bool is_ascii(std::string_view text) noexcept {
    const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t size = text.size();
    if (size < 8) {
        unsigned seen = 0;
        for (std::size_t at = 0; at < size; ++at) {
            seen |= bytes[at];
        }
        return seen < 0x80;
    }
    std::uint64_t seen = ascii_words::load(bytes + size - 8);
    for (std::size_t at = 0; at + 8 < size; at += 8) {
        seen |= ascii_words::load(bytes + at);
    }
    return ascii_words::all_ascii(seen);
}

// The length of the well-formed sequence that starts at text[i]; for one that
// goes wrong, minus the length of its maximal ill-formed subpart (the bytes
// that one U+FFFD replaces, the way Python's "replace" handler counts).
// Overlong forms, surrogates and values past U+10FFFF are never well formed.
inline std::ptrdiff_t sequence_at(std::string_view text, std::size_t i) noexcept {
    const auto lead = static_cast<unsigned char>(text[i]);
    if (lead < 0x80) {
        return 1;
    }
    std::size_t length = 0;
    unsigned char second_low = 0x80;
    unsigned char second_high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        second_low = lead == 0xE0 ? 0xA0 : 0x80;
        second_high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        second_low = lead == 0xF0 ? 0x90 : 0x80;
        second_high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return -1;
    }
    std::size_t valid = 1;
    if (i + 1 < text.size()) {
        const auto second = static_cast<unsigned char>(text[i + 1]);
        if (second >= second_low && second <= second_high) {
            valid = 2;
            while (valid < length && i + valid < text.size() &&
                   is_continuation(static_cast<unsigned char>(text[i + valid]))) {
                ++valid;
            }
        }
    }
    return valid == length ? static_cast<std::ptrdiff_t>(length) : -static_cast<std::ptrdiff_t>(valid);
}

// The code points of `text`, or nothing if it is not well-formed UTF-8.
inline std::optional<std::u32string> decode_strict(std::string_view text) {
    std::u32string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const std::ptrdiff_t length = sequence_at(text, i);
        if (length < 0) {
            return std::nullopt;
        }
        out.push_back(decode(reinterpret_cast<const unsigned char*>(text.data()) + i, static_cast<std::size_t>(length)).cp);
        i += static_cast<std::size_t>(length);
    }
    return out;
}

inline bool is_valid(std::string_view text) noexcept {
    // ASCII eight bytes at a time first: most text is ASCII throughout.
    std::size_t start = 0;
    const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
    while (start + 8 <= text.size() && ascii_words::all_ascii(ascii_words::load(bytes + start))) {
        start += 8;
    }
    for (std::size_t i = start; i < text.size();) {
        const std::ptrdiff_t length = sequence_at(text, i);
        if (length < 0) {
            return false;
        }
        i += static_cast<std::size_t>(length);
    }
    return true;
}

// `bytes` with every maximal ill-formed subpart replaced by one U+FFFD.
inline std::string repair(std::string_view bytes) {
    constexpr std::string_view REPLACEMENT = "\xEF\xBF\xBD";
    std::string out;
    out.reserve(bytes.size());
    for (std::size_t i = 0; i < bytes.size();) {
        const std::ptrdiff_t length = sequence_at(bytes, i);
        if (length > 0) {
            out.append(bytes.substr(i, static_cast<std::size_t>(length)));
            i += static_cast<std::size_t>(length);
        } else {
            out.append(REPLACEMENT);
            i += static_cast<std::size_t>(-length);
        }
    }
    return out;
}

}  // namespace lookup::utf8
