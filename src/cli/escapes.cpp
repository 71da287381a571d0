#include "escapes.h"

#include <cstdint>
#include <cstring>

#include "ascii_words.h"
#include "utf8.h"

namespace cli {
namespace {

constexpr char HEX[] = "0123456789abcdef";

void append_u_escape(ByteBuffer& out, unsigned value) {
    const char escape[] = {'\\', 'u', HEX[(value >> 12) & 15], HEX[(value >> 8) & 15], HEX[(value >> 4) & 15], HEX[value & 15]};
    out.append({escape, sizeof escape});
}

// The JSON escape of an ASCII byte that needs one, or nothing.
const char* short_json_escape(unsigned char byte) noexcept {
    switch (byte) {
    case '"': return "\\\"";
    case '\\': return "\\\\";
    case '\b': return "\\b";
    case '\f': return "\\f";
    case '\n': return "\\n";
    case '\r': return "\\r";
    case '\t': return "\\t";
    default: return nullptr;
    }
}

void append_escaped_ascii(ByteBuffer& out, unsigned char byte) {
    if (const char* escape = short_json_escape(byte)) {
        out.append(escape);
    } else if (byte < 0x20 || byte == 0x7F) {
        append_u_escape(out, byte);
    } else {
        out.push_back(static_cast<char>(byte));
    }
}

void append_ensure_ascii(ByteBuffer& out, std::string_view text) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
    for (std::size_t i = 0; i < text.size();) {
        const std::ptrdiff_t length = lookup::utf8::sequence_at(text, i);
        if (length < 0) {
            // One U+FFFD for each ill-formed sequence, as Python's "replace"
            // decoding: lone surrogates would be refused by strict parsers.
            append_u_escape(out, 0xFFFDu);
            i += static_cast<std::size_t>(-length);
            continue;
        }
        const char32_t cp = lookup::utf8::decode(bytes + i, static_cast<std::size_t>(length)).cp;
        if (cp < 0x80) {
            append_escaped_ascii(out, static_cast<unsigned char>(cp));
        } else if (cp < 0x10000) {
            append_u_escape(out, cp);
        } else {
            append_u_escape(out, 0xD800u + ((cp - 0x10000) >> 10));
            append_u_escape(out, 0xDC00u + ((cp - 0x10000) & 0x3FF));
        }
        i += static_cast<std::size_t>(length);
    }
}

}  // namespace

bool is_utf8(std::string_view text) noexcept {
    std::size_t i = 0;
    for (; i + 8 <= text.size(); i += 8) {
        std::uint64_t word;
        std::memcpy(&word, text.data() + i, 8);
        if ((word & 0x8080808080808080u) != 0) {
            return lookup::utf8::is_valid(text.substr(i));
        }
    }
    // The rest, in the last word, whose earlier bytes were looked at already.
    if (i < text.size() && text.size() >= 8 &&
        lookup::ascii_words::all_ascii(lookup::ascii_words::load(reinterpret_cast<const unsigned char*>(text.data()) + text.size() - 8))) {
        return true;
    }
    return lookup::utf8::is_valid(text.substr(i));
}

TextTraits traits_of(std::string_view text) noexcept {
    namespace words = lookup::ascii_words;
    // The high bit of each byte of an ASCII word that equals `c`.
    const auto equal = [](std::uint64_t word, char c) {
        return ~((word ^ (words::ONES * static_cast<unsigned char>(c))) + words::ONES * 0x7F) & words::HIGH_BITS;
    };
    const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
    bool ascii = true;
    bool separators = false;
    std::size_t i = 0;
    for (; i + 8 <= text.size(); i += 8) {
        const std::uint64_t word = words::load(bytes + i);
        if (!words::all_ascii(word)) {
            ascii = false;
            break;
        }
        separators |= (equal(word, '\t') | equal(word, '\n') | equal(word, '\r') | equal(word, '\\')) != 0;
    }
    if (ascii && i < text.size() && text.size() >= 8) {
        // The rest, in the line's last word, whose earlier bytes were looked
        // at already; a byte that is not ASCII leaves the rest to the loop.
        const std::uint64_t word = words::load(bytes + text.size() - 8);
        if (words::all_ascii(word)) {
            separators |= (equal(word, '\t') | equal(word, '\n') | equal(word, '\r') | equal(word, '\\')) != 0;
            i = text.size();
        }
    }
    for (; i < text.size(); ++i) {
        const char c = static_cast<char>(bytes[i]);
        ascii &= bytes[i] < 0x80;
        separators |= c == '\t' || c == '\n' || c == '\r' || c == '\\';
    }
    return {ascii || lookup::utf8::is_valid(text), separators};
}

void append_escaped_tsv(ByteBuffer& out, std::string_view text) {
    for (const char c : text) {
        switch (c) {
        case '\t': out.append("\\t"); break;
        case '\n': out.append("\\n"); break;
        case '\r': out.append("\\r"); break;
        case '\\': out.append("\\\\"); break;
        default: out.push_back(c);
        }
    }
}

void append_json_string(ByteBuffer& out, std::string_view text, bool utf8) {
    out.push_back('"');
    if (!utf8) {
        append_ensure_ascii(out, text);
    } else {
        std::size_t run = 0;
        for (std::size_t i = 0; i < text.size(); ++i) {
            const auto byte = static_cast<unsigned char>(text[i]);
            if (byte >= 0x20 && byte != '"' && byte != '\\') {
                continue;
            }
            out.append(text.substr(run, i - run));
            if (const char* escape = short_json_escape(byte)) {
                out.append(escape);
            } else {
                append_u_escape(out, byte);
            }
            run = i + 1;
        }
        out.append(text.substr(run));
    }
    out.push_back('"');
}

std::string python_repr(std::string_view text) {
    const char quote = text.find('\'') != std::string_view::npos && text.find('"') == std::string_view::npos ? '"' : '\'';
    std::string out(1, quote);
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == quote || c == '\\') {
            out += {'\\', c};
        } else if (c == '\n' || c == '\r' || c == '\t') {
            out += c == '\n' ? "\\n" : c == '\r' ? "\\r" : "\\t";
        } else if (byte < 0x20 || byte == 0x7F) {
            out += {'\\', 'x', HEX[byte >> 4], HEX[byte & 15]};
        } else {
            out.push_back(c);
        }
    }
    out.push_back(quote);
    return out;
}

}  // namespace cli
