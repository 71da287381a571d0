// Strict UTF-8 decoding for the builder: list files are checked before any
// rule is lowered, because the lowering trusts its input to be valid.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace builder {

// The code points of `text`, or nothing if it is not well-formed UTF-8
// (overlong forms, surrogates and values above U+10FFFF are refused).
inline std::optional<std::u32string> decode_utf8(std::string_view text) {
    std::u32string out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<unsigned char>(text[i]);
        if (lead < 0x80) {
            out.push_back(lead);
            ++i;
            continue;
        }
        std::size_t length = 0;
        char32_t value = 0;
        char32_t minimum = 0;
        if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2, value = lead & 0x1F, minimum = 0x80;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3, value = lead & 0x0F, minimum = 0x800;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4, value = lead & 0x07, minimum = 0x10000;
        } else {
            return std::nullopt;
        }
        if (text.size() - i < length) {
            return std::nullopt;
        }
        for (std::size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80) {
                return std::nullopt;
            }
            value = (value << 6) | (next & 0x3F);
        }
        if (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
            return std::nullopt;
        }
        out.push_back(value);
        i += length;
    }
    return out;
}

inline bool is_ascii(std::string_view text) {
    for (const char c : text) {
        if (static_cast<unsigned char>(c) >= 0x80) {
            return false;
        }
    }
    return true;
}

}  // namespace builder
