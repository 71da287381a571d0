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

// The hash's keys: odd multipliers, one per seed.
inline constexpr std::uint64_t SEED_MULTIPLIERS[] = {
    0x9E3779B97F4A7C15u, 0xBF58476D1CE4E5B9u, 0x94D049BB133111EBu, 0xD6E8FEB86659FD93u,
    0xC2B2AE3D27D4EB4Fu, 0x165667B19E3779F9u, 0xFF51AFD7ED558CCDu, 0xC4CEB9FE1A85EC53u,
};

// The home slot of a label in a layout of `slot_mask + 1` slots (a power of
// two, 2 or more) under key `seed`: the top bits of one multiply, which
// depend on every byte of the key. `seed` must be below HASH_SEEDS.
inline std::uint32_t home_slot_of(const LabelKey& key, std::size_t size, std::uint32_t seed,
                                  std::uint32_t slot_mask) noexcept {
    const std::uint64_t x = (key.head ^ (key.tail * 0xA0761D6478BD642Fu) ^ size) * SEED_MULTIPLIERS[seed];
    return static_cast<std::uint32_t>(x >> std::countl_zero(std::uint64_t{slot_mask}));
}

// The slot of the indexed node `entry` that holds `label`, or null.
inline const IndexSlot* search_slots(const SuffixTable& table, const IndexedNode& entry, std::string_view label,
                                     const LabelKey& key) noexcept {
    const std::size_t size = label.size();
    const IndexSlot* slots = table.index->slots.data() + entry.first_slot;
    const std::size_t found = linear_probe::first_where(
        home_slot_of(key, size, entry.seed, entry.slot_mask), entry.slot_mask, [&](std::size_t slot) {
            const IndexSlot& probe = slots[slot];
            return probe.edge == NO_EDGE ||
                   (probe.head == key.head && probe.size == size &&
                    (size <= 8 || std::memcmp(table.label_pool.data() + table.edges[probe.edge].label_start + 8,
                                              label.data() + 8, size - 8) == 0));
        });
    return slots[found].edge == NO_EDGE ? nullptr : slots + found;
}

}  // namespace index_probe

// One step down as the indexed walk takes it, with find_child's answer:
// the child of `node` by `label`, through the index where it holds the node
// (its key read from the text around it when the text's start `begin` is
// given). `table.index` must be set and consistent with the table, `node`
// checked. For the tests and fuzzers that hold it to find_child.
inline std::uint32_t find_child_indexed(const SuffixTable& table, std::uint32_t node, std::string_view label,
                                        const char* begin = nullptr) {
    const std::uint16_t entry = table.index->node_entries[node];
    if (entry == NO_INDEX_ENTRY) {
        return find_child(table, node, label);
    }
    const index_probe::LabelKey key =
        begin != nullptr ? index_probe::key_in_text(label, begin) : index_probe::key_of(label);
    const IndexSlot* slot = index_probe::search_slots(table, table.index->nodes[entry], label, key);
    if (slot == nullptr || (slot->kinds & LEADS_NOWHERE) != 0) {
        return NO_NODE;
    }
    return static_cast<std::uint32_t>(table.edges[slot->edge].target);
}

}  // namespace lookup
