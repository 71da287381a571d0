// A search through a table's child index (child_index.h): inline, for the
// walk's every step down; child_index.cpp lays the slots out with the same
// key and hash.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "ascii_words.h"
#include "find_child.h"
#include "id_index.h"
#include "suffix_table.h"

namespace lookup {

inline constexpr std::uint32_t NO_EDGE = UINT32_MAX;

namespace index_probe {

inline std::uint32_t load_half(const unsigned char* at) noexcept {
    std::uint32_t half;
    std::memcpy(&half, at, sizeof half);
    return half;
}

// A label as the index compares it: its first eight bytes, zero-padded, and
// its last eight (0 for a label of eight bytes or fewer). Read without a loop
// and without reading beyond the label.
struct LabelKey {
    std::uint64_t head;
    std::uint64_t tail;
};

inline LabelKey key_of(std::string_view label) noexcept {
    const auto* bytes = reinterpret_cast<const unsigned char*>(label.data());
    const std::size_t size = label.size();
    if (size >= 8) {
        return {ascii_words::load(bytes), size > 8 ? ascii_words::load(bytes + size - 8) : 0};
    }
    if (size >= 4) {
        // Two overlapping halves: the overlap holds the same bytes in both.
        return {load_half(bytes) | (std::uint64_t{load_half(bytes + size - 4)} << (8 * (size - 4))), 0};
    }
    if (size > 0) {
        return {bytes[0] | (std::uint64_t{bytes[size / 2]} << (8 * (size / 2))) |
                    (std::uint64_t{bytes[size - 1]} << (8 * (size - 1))),
                0};
    }
    return {0, 0};
}

// key_of(label) for a label that ends at least eight bytes after `begin`,
// the start of its text: one load of the word that ends with the label
// (shifted to drop the bytes in front of it) for a label of eight bytes or
// fewer, with no branch on its size.
inline LabelKey key_in_text(std::string_view label, const char* begin) noexcept {
    const std::size_t size = label.size();
    const char* end = label.data() + size;
    if (size == 0 || size > 8 || end - begin < 8) {
        return key_of(label);
    }
    const std::uint64_t word = ascii_words::load(reinterpret_cast<const unsigned char*>(end - 8));
    if constexpr (std::endian::native == std::endian::little) {
        return {word >> (8 * (8 - size)), 0};
    } else {
        return {word << (8 * (8 - size)), 0};
    }
}

// One of the keyed mixes of the label's key and size (`seed` picks the key);
// its high half picks the home slot.
inline std::uint32_t slot_hash(const LabelKey& key, std::size_t size, std::uint32_t seed) noexcept {
    std::uint64_t x = key.head ^ (key.tail * 0xC2B2AE3D27D4EB4Fu) ^ size;
    x ^= 0xD6E8FEB86659FD93u * (std::uint64_t{seed} + 1);
    x *= 0x9E3779B97F4A7C15u;
    x ^= x >> 29;
    x *= 0xBF58476D1CE4E5B9u;
    return static_cast<std::uint32_t>(x >> 32);
}

inline std::uint32_t search_slots(const SuffixTable& table, const IndexedNode& entry, std::string_view label,
                                  const LabelKey& key) noexcept {
    const std::size_t size = label.size();
    const IndexSlot* slots = table.index->slots.data() + entry.first_slot;
    const std::size_t found =
        linear_probe::first_where(slot_hash(key, size, entry.seed), entry.slot_mask, [&](std::size_t slot) {
            const IndexSlot& probe = slots[slot];
            return probe.edge == NO_EDGE ||
                   (probe.head == key.head && probe.size == size &&
                    (size <= 8 || std::memcmp(table.label_pool.data() + table.edges[probe.edge].label_start + 8,
                                              label.data() + 8, size - 8) == 0));
        });
    if (slots[found].edge == NO_EDGE) {
        return NO_NODE;
    }
    const std::int32_t target = table.edges[slots[found].edge].target;
    return target < 0 ? NO_NODE : static_cast<std::uint32_t>(target);
}

}  // namespace index_probe

// find_child(table, node, label), through table.index where it holds the
// node. `table.index` must be set and consistent with the table, `node`
// checked.
inline std::uint32_t find_child_indexed(const SuffixTable& table, std::uint32_t node, std::string_view label) {
    const std::uint16_t entry = table.index->node_entries[node];
    if (entry != NO_INDEX_ENTRY) {
        return index_probe::search_slots(table, table.index->nodes[entry], label, index_probe::key_of(label));
    }
    return find_child(table, node, label);
}

// The same for a label of the text that starts at `begin`, whose key is read
// from the text around it.
inline std::uint32_t find_child_indexed(const SuffixTable& table, std::uint32_t node, std::string_view label,
                                        const char* begin) {
    const std::uint16_t entry = table.index->node_entries[node];
    if (entry != NO_INDEX_ENTRY) {
        return index_probe::search_slots(table, table.index->nodes[entry], label, index_probe::key_in_text(label, begin));
    }
    return find_child(table, node, label);
}

}  // namespace lookup
