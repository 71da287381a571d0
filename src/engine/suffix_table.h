// The compiled suffix table: a trie of lowercase domain labels entered from the
// rightmost label, held in three flat arrays. The matcher only ever sees a
// SuffixTable view, so tests can run it over small hand-made or corrupt tables.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace lookup {

struct Node {
    std::uint32_t first_edge;
    std::uint16_t edge_count;
    std::uint8_t flags;
};

struct Edge {
    std::uint32_t label_start;
    std::uint32_t label_end;
    std::int32_t target;  // negative: the edge leads nowhere
};

// Rule kinds, stored in each of the two 3-bit fields of Node::flags.
inline constexpr std::uint8_t FLAG_RULE = 1;
inline constexpr std::uint8_t FLAG_WILDCARD = 2;
inline constexpr std::uint8_t FLAG_EXCEPTION = 4;
// Bits 3-5 hold the kind taken from the ICANN section alone.
inline constexpr unsigned ICANN_SHIFT = 3;

// The first four bytes of a label as one big-endian number, zero-padded. For
// two labels whose heads differ, the heads are in the labels' bytewise order
// (a zero pad only ever stands against a real byte where the shorter label is
// a proper prefix of the longer), so a search decides most probes on one load.
constexpr std::uint32_t label_head(std::string_view label) noexcept {
    std::uint32_t head = 0;
    for (std::size_t i = 0; i < 4; ++i) {
        head = (head << 8) | (i < label.size() ? static_cast<unsigned char>(label[i]) : 0u);
    }
    return head;
}

// The child index of a table (child_index.h): hash slots over the children
// of its nodes, made once with the table. One entry per indexed node,
// sorted by node number, owning `slot_mask + 1` slots from `first_slot`;
// `node_entries` (as long as the node table) gives each node's entry, or
// NO_INDEX_ENTRY.
struct IndexedNode {
    std::uint32_t node;
    std::uint32_t first_slot;
    std::uint32_t slot_mask;
    std::uint32_t seed;  // which of the hash's keys laid the slots out
};

inline constexpr std::uint16_t NO_INDEX_ENTRY = UINT16_MAX;
// A slot's child_entry for a child without children: the walk ends there.
inline constexpr std::uint16_t NO_CHILDREN = UINT16_MAX - 1;

// One child: its label's first eight bytes, zero-padded, its edge and its
// size, with what a step down needs of the node it leads to: its rule kinds
// (its Node::flags, or LEADS_NOWHERE for an edge whose target is negative)
// and its own entry (NO_CHILDREN for a leaf), so that a step from one indexed
// node to another reads only the slot. `edge` is NO_EDGE for a free slot.
struct IndexSlot {
    std::uint64_t head;
    std::uint32_t edge;
    std::uint8_t size;
    std::uint8_t kinds;
    std::uint16_t child_entry;
};

inline constexpr std::uint8_t LEADS_NOWHERE = 0x80;

struct SuffixTable;

struct ChildIndexView {
    std::span<const IndexedNode> nodes;
    std::span<const IndexSlot> slots;
    std::span<const std::uint16_t> node_entries;
    // The walk through the index (match_suffix_indexed), reached through the
    // table, so that a program that never has an index (the module) links
    // none of its search.
    std::size_t (*match)(const SuffixTable& table, std::string_view lowered, std::size_t label_count,
                         const std::uint64_t* dot_bits, bool accept_unknown, bool icann_only) = nullptr;
    bool empty() const noexcept { return nodes.empty(); }
};

// A read-only view over the three arrays and the checksum text, with the
// optional `edge_heads`: label_head of each edge's label, written beside the
// edges by the builder, and the optional child index. A view without heads
// (as hand-made test tables) is searched through the pool alone; one without
// an index by a binary search of each node's edges.
struct SuffixTable {
    std::string_view label_pool;
    std::span<const Node> nodes;
    std::span<const Edge> edges;
    std::string_view checksum;
    std::span<const std::uint32_t> edge_heads = {};
    // Null for none; a pointer, so that a table without one (made on each
    // call of the module's functions) costs no more to make than before.
    const ChildIndexView* index = nullptr;
};

// The compiled table with its generated child index, for bulk work; its
// arrays live in a library of their own (lookup_engine_indexed), so that
// what links only compiled_table() carries none of them.
SuffixTable indexed_compiled_table() noexcept;

// The table compiled into the module (defined beside the generated source, or
// by a test fixture for the deliberately corrupt build). Made on each call from
// the arrays' addresses, so nothing in the data needs relocating at load.
SuffixTable compiled_table() noexcept;

}  // namespace lookup
