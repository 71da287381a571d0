// Eight ASCII bytes at a time in one 64-bit word: lowering them and finding
// their dots, without looking at each byte.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace lookup::ascii_words {

inline constexpr std::uint64_t ONES = 0x0101010101010101u;
inline constexpr std::uint64_t HIGH_BITS = 0x8080808080808080u;

inline std::uint64_t load(const unsigned char* at) noexcept {
    std::uint64_t word;
    std::memcpy(&word, at, sizeof word);
    return word;
}

inline void store(char* at, std::uint64_t word) noexcept { std::memcpy(at, &word, sizeof word); }

inline bool all_ascii(std::uint64_t word) noexcept { return (word & HIGH_BITS) == 0; }

// Adds 0x20 to every byte from 'A' to 'Z'. Every byte must be ASCII, so
// that the sums below never carry into the next byte.
inline std::uint64_t lowercase(std::uint64_t word) noexcept {
    const std::uint64_t from_a = word + ONES * (0x80 - 'A');
    const std::uint64_t past_z = word + ONES * (0x80 - 'Z' - 1);
    const std::uint64_t upper = from_a & ~past_z & HIGH_BITS;
    return word | (upper >> 2);
}

// The high bit of every byte that is '.', and no other bit. ASCII only.
inline std::uint64_t dots(std::uint64_t word) noexcept {
    const std::uint64_t differs = word ^ (ONES * '.');
    return ~(differs + ONES * 0x7F) & HIGH_BITS;
}

// The high bit of every byte that is '.', for bytes of any value (UTF-8
// included): no sum carries out of its byte.
inline std::uint64_t dots_in_any(std::uint64_t word) noexcept {
    constexpr std::uint64_t LOW_BITS = ~HIGH_BITS;
    const std::uint64_t differs = word ^ (ONES * '.');
    return ~(((differs & LOW_BITS) + LOW_BITS) | differs | LOW_BITS);
}

// The position in the word (0 to 7) of its first marked byte; `marks` not 0.
inline unsigned first_marked_byte(std::uint64_t marks) noexcept {
    if constexpr (std::endian::native == std::endian::little) {
        return static_cast<unsigned>(std::countr_zero(marks)) / 8;
    } else {
        return static_cast<unsigned>(std::countl_zero(marks)) / 8;
    }
}

// The position in the word (0 to 7) of its last marked byte; `marks` not 0.
inline unsigned last_marked_byte(std::uint64_t marks) noexcept {
    if constexpr (std::endian::native == std::endian::little) {
        return static_cast<unsigned>(63 - std::countl_zero(marks)) / 8;
    } else {
        return 7 - static_cast<unsigned>(std::countr_zero(marks)) / 8;
    }
}

// How many bytes carry a mark. The multiply adds the eight 0-or-1 bytes into
// the top byte; no popcount instruction is needed.
inline unsigned count_marks(std::uint64_t marks) noexcept { return static_cast<unsigned>(((marks >> 7) * ONES) >> 56); }

// The mark of the byte before each byte of the word, `before_first` standing
// for the byte before the word's first one.
inline std::uint64_t marks_of_previous(std::uint64_t marks, bool before_first) noexcept {
    if constexpr (std::endian::native == std::endian::little) {
        return (marks << 8) | (before_first ? 0x80u : 0u);
    } else {
        return (marks >> 8) | (before_first ? std::uint64_t{0x80} << 56 : 0u);
    }
}

// All the bits of the last `count` (0 to 8) bytes of a word.
inline std::uint64_t last_bytes(std::size_t count) noexcept {
    if (count == 0) {
        return 0;
    }
    if constexpr (std::endian::native == std::endian::little) {
        return ~std::uint64_t{0} << (8 * (8 - count));
    } else {
        return ~std::uint64_t{0} >> (8 * (8 - count));
    }
}

// All the bits of the first `count` (0 to 7) bytes of a word.
inline std::uint64_t first_bytes(std::size_t count) noexcept {
    if constexpr (std::endian::native == std::endian::little) {
        return (std::uint64_t{1} << (8 * count)) - 1;
    } else {
        return count == 0 ? 0 : ~std::uint64_t{0} << (8 * (8 - count));
    }
}

// Whether the last byte of the word is marked.
inline bool last_marked(std::uint64_t marks) noexcept {
    if constexpr (std::endian::native == std::endian::little) {
        return (marks >> 63) != 0;
    } else {
        return (marks & 0x80) != 0;
    }
}

}  // namespace lookup::ascii_words
