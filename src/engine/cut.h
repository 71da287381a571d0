// Cutting answers out of a domain's text, and the decisions on the label
// count n and the suffix label count p that every query makes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string_view>

#include "ascii_words.h"
#include "dot_bits.h"

namespace lookup {

// The first dot from `at` on, or `end`: eight bytes at a time, labels being
// short enough that a call of memchr would cost more. `whole_words` tells
// that the text holds eight bytes or more before `end`, so that its last
// word can be read.
inline const char* next_dot(const char* at, const char* end, bool whole_words) noexcept {
    using namespace ascii_words;
    const auto word_at = [](const char* from) { return load(reinterpret_cast<const unsigned char*>(from)); };
    if (!whole_words) {
        while (at != end && *at != '.') {
            ++at;
        }
        return at;
    }
    for (; end - at >= 8; at += 8) {
        const std::uint64_t marks = dots_in_any(word_at(at));
        if (marks != 0) {
            return at + first_marked_byte(marks);
        }
    }
    // The rest, in the text's last word; its earlier bytes were looked at.
    const std::uint64_t marks = dots_in_any(word_at(end - 8)) & last_bytes(static_cast<std::size_t>(end - at));
    return marks != 0 ? end - 8 + first_marked_byte(marks) : end;
}

// The view of `text` after its first `k` labels and the dot after each.
// Callers ask only for k below the text's label count, so a dot is always found.
inline std::string_view skip_labels(std::string_view text, std::size_t k) noexcept {
    const char* start = text.data();
    const char* end = start + text.size();
    for (; k != 0; --k) {
        const char* dot = next_dot(start, end, text.size() >= 8);
        if (dot == end) {
            return {end, 0};
        }
        start = dot + 1;
    }
    return {start, static_cast<std::size_t>(end - start)};
}

// The first label of `rest`, which is then what follows the label's dot.
// Callers take only labels in front of a last one, so a dot is always found.
inline std::string_view take_label(std::string_view& rest) noexcept {
    const void* dot = std::memchr(rest.data(), '.', rest.size());
    const std::size_t length = dot == nullptr ? rest.size() : static_cast<std::size_t>(static_cast<const char*>(dot) - rest.data());
    const std::string_view label = rest.substr(0, length);
    rest.remove_prefix(dot == nullptr ? length : length + 1);
    return label;
}

// skip_labels out of line: the scan, for the few texts without noted dots,
// stays out of the callers that cut answers.
[[gnu::noinline]] inline std::string_view skip_labels_by_scan(std::string_view text, std::size_t k) noexcept {
    return skip_labels(text, k);
}

// The same, with the text's dots (NormalizedDomain::dot_bits) when they
// were noted.
inline std::string_view skip_labels(std::string_view text, std::size_t k, const std::uint64_t* dot_bits) noexcept {
    return dot_bits != nullptr ? text.substr(dot_bits::label_start(*dot_bits, k)) : skip_labels_by_scan(text, k);
}

inline bool has_public_suffix(std::size_t p) noexcept { return p != 0; }
inline bool has_private_suffix(std::size_t n, std::size_t p) noexcept { return p != 0 && n >= p + 1; }
inline bool decide_is_public(std::size_t n, std::size_t p) noexcept { return p == n; }
inline bool decide_is_private(std::size_t n, std::size_t p) noexcept { return p != 0 && p < n; }

// `dot_bits` as for skip_labels, in each of the cuts below.
inline std::optional<std::string_view> public_suffix_of(std::string_view source, std::size_t n, std::size_t p,
                                                        const std::uint64_t* dot_bits) noexcept {
    if (!has_public_suffix(p)) {
        return std::nullopt;
    }
    return skip_labels(source, n - p, dot_bits);
}

inline std::optional<std::string_view> private_suffix_of(std::string_view source, std::size_t n, std::size_t p,
                                                         const std::uint64_t* dot_bits) noexcept {
    if (!has_private_suffix(n, p)) {
        return std::nullopt;
    }
    return skip_labels(source, n - (p + 1), dot_bits);
}

// The private suffix extended by `depth` labels to the left. No sum with
// depth is formed, so every depth up to 2^64-1 is safe.
inline std::optional<std::string_view> subdomain_of(std::string_view source, std::size_t n, std::size_t p,
                                                    std::uint64_t depth,
                                                    const std::uint64_t* dot_bits) noexcept {
    if (!has_private_suffix(n, p)) {
        return std::nullopt;
    }
    const std::size_t in_front = n - p - 1;
    if (in_front < depth) {
        return std::nullopt;
    }
    return skip_labels(source, in_front - static_cast<std::size_t>(depth), dot_bits);
}

}  // namespace lookup
