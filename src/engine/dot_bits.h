// The dots of a short domain as one bit per byte (bit i set: byte i is a
// dot), noted by normalize_domain while it lowers an all-ASCII text, so that
// the walk and the cuts find its labels with a bit scan instead of looking at
// its bytes again.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>

namespace lookup::dot_bits {

// Texts shorter than this have their dots noted: every offset has a bit.
inline constexpr std::size_t LIMIT = 64;

// The marks of ascii_words::dots() over one word as eight bits, byte i's at
// bit i: on a little-endian machine the multiply gathers the eight high bits
// into the top byte without a carry.
inline std::uint64_t of_word(std::uint64_t marks) noexcept {
    if constexpr (std::endian::native == std::endian::little) {
        return ((marks >> 7) * 0x0102040810204080u) >> 56;
    } else {
        std::uint64_t bits = 0;
        for (unsigned i = 0; i < 8; ++i) {
            bits |= ((marks >> (8 * (7 - i) + 7)) & 1u) << i;
        }
        return bits;
    }
}

// The start of the label that ends at offset `end` (below LIMIT): just after
// the last dot before it, or 0.
inline std::size_t label_start_before(std::uint64_t dots, std::size_t end) noexcept {
    const std::uint64_t before = dots & ((std::uint64_t{1} << end) - 1);
    return before == 0 ? 0 : static_cast<std::size_t>(64 - std::countl_zero(before));
}

// The start of the text's label `k`, counted from 0 at the left; `k` below
// the label count.
inline std::size_t label_start(std::uint64_t dots, std::size_t k) noexcept {
    if (k == 0) {
        return 0;
    }
    for (; k > 1; --k) {
        dots &= dots - 1;
    }
    return static_cast<std::size_t>(std::countr_zero(dots)) + 1;
}

}  // namespace lookup::dot_bits
