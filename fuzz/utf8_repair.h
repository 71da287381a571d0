// Arbitrary bytes made into valid UTF-8: every byte that does not start a
// well-formed sequence (overlong forms, surrogates and values above U+10FFFF
// included) becomes U+FFFD. Also hands out the code points, which the
// reference lowering works on.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace fuzz {

inline std::vector<char32_t> decode_lenient(std::string_view bytes) {
    std::vector<char32_t> out;
    std::size_t i = 0;
    auto at = [&](std::size_t k) { return static_cast<unsigned char>(bytes[k]); };
    auto tail = [&](std::size_t k) { return k < bytes.size() && (at(k) & 0xC0) == 0x80; };
    while (i < bytes.size()) {
        const unsigned char b = at(i);
        char32_t cp = 0;
        std::size_t length = 0;
        if (b < 0x80) {
            cp = b;
            length = 1;
        } else if (b >= 0xC2 && b <= 0xDF && tail(i + 1)) {
            cp = (char32_t{b} & 0x1F) << 6 | (at(i + 1) & 0x3F);
            length = 2;
        } else if (b >= 0xE0 && b <= 0xEF && tail(i + 1) && tail(i + 2)) {
            cp = (char32_t{b} & 0x0F) << 12 | char32_t(at(i + 1) & 0x3F) << 6 | (at(i + 2) & 0x3F);
            length = (cp >= 0x800 && (cp < 0xD800 || cp > 0xDFFF)) ? 3 : 0;
        } else if (b >= 0xF0 && b <= 0xF4 && tail(i + 1) && tail(i + 2) && tail(i + 3)) {
            cp = (char32_t{b} & 0x07) << 18 | char32_t(at(i + 1) & 0x3F) << 12 | char32_t(at(i + 2) & 0x3F) << 6 |
                 (at(i + 3) & 0x3F);
            length = (cp >= 0x10000 && cp <= 0x10FFFF) ? 4 : 0;
        }
        if (length == 0) {
            out.push_back(0xFFFD);
            ++i;
        } else {
            out.push_back(cp);
            i += length;
        }
    }
    return out;
}

inline void append_utf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

inline std::string encode_utf8(const std::vector<char32_t>& code_points) {
    std::string out;
    out.reserve(code_points.size());
    for (const char32_t cp : code_points) {
        append_utf8(out, cp);
    }
    return out;
}

}  // namespace fuzz
