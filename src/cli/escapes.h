// Writing text into the two output formats: tab-separated columns with the
// separators escaped, and JSON strings as Python's json module writes them.
#pragma once

#include <string>
#include <string_view>

#include "byte_buffer.h"

namespace cli {

// Whether `text` is well-formed UTF-8 (a fast path for ASCII first).
bool is_utf8(std::string_view text) noexcept;

// What a line's columns need, found in one pass over it.
struct TextTraits {
    bool utf8;        // well-formed UTF-8
    bool separators;  // holds a tab, newline, carriage return or backslash
};
TextTraits traits_of(std::string_view text) noexcept;
// `text` with those four written as \t, \n, \r and \\.
void append_escaped_tsv(ByteBuffer& out, std::string_view text);
inline void append_tsv_field(ByteBuffer& out, std::string_view text, bool escape) {
    if (escape) {
        append_escaped_tsv(out, text);
    } else {
        out.append(text);
    }
}

// `text` as a quoted JSON string. Well-formed UTF-8 goes out as it is
// (json.dumps with ensure_ascii=False); other text as json.dumps writes what
// Python's text.decode("utf-8", "replace") makes of it: everything beyond
// ASCII as \uXXXX, each ill-formed sequence as one \ufffd, so that strict
// JSON parsers (which refuse lone surrogates) take every line.
void append_json_string(ByteBuffer& out, std::string_view text, bool utf8);

// `text` quoted for a message, as Python's repr() quotes a str.
std::string python_repr(std::string_view text);

}  // namespace cli
