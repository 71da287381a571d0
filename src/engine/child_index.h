// The child index of a table: for each node with children (the root has
// about 1,600), its children in hash slots, so that a step down from it takes
// a probe or two instead of a binary search, and a step from one indexed
// node to the next reads only the slot and the next node's entry. Made once
// with the table (written by table-builder for the compiled list, built with
// a run-time list), never per lookup, and read-only afterwards, so threads
// share it.
//
// A table's index answers exactly as find_child does: a node is indexed only
// when its whole edge run passes every check that a search makes and is
// sorted. Its worst case is bounded for any list: a layout whose longest run
// of occupied slots exceeds MAX_PROBES is laid out again under the hash's
// next key, and a node that no key lays out well is left to the binary search.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "index_probe.h"
#include "match_suffix.h"
#include "suffix_table.h"

namespace lookup {

// Every node with children is indexed: a step through the slots reads less
// than a search of even one edge.
inline constexpr std::uint16_t MIN_INDEXED_EDGES = 1;
// Every search in an accepted layout, found or not, ends within this many
// probes.
inline constexpr std::uint32_t MAX_PROBES = 24;
// How many keys of the hash a node's layout may try.
inline constexpr std::uint32_t HASH_SEEDS = 8;

// An index and its arrays; view() is valid while it lives.
struct OwnedChildIndex {
    std::vector<IndexedNode> nodes;
    std::vector<IndexSlot> slots;
    std::vector<std::uint16_t> node_entries;
    ChildIndexView view() const noexcept { return {nodes, slots, node_entries, match_suffix_indexed}; }
};

// The index of `table`'s sound, sorted nodes with children (the first
// NO_CHILDREN of them). Throws std::bad_alloc.
OwnedChildIndex build_child_index(const SuffixTable& table);

// Whether `index` is one that build_child_index could have made for `table`:
// every entry a large node whose run is sound and sorted, found through
// node_entries, its slots within
// the slot array, holding each of the node's edges exactly once with its own
// head and size, each reachable from its home slot, no run of occupied slots
// longer than MAX_PROBES. Only such an index is ever searched.
bool child_index_is_consistent(const SuffixTable& table, ChildIndexView index) noexcept;

// The longest run of occupied slots of any indexed node: the most probes
// that a search under it makes.
std::uint32_t longest_probe_run(ChildIndexView index) noexcept;

// The home slot of a label in a layout of `slot_mask + 1` slots under key
// `seed`: where its search starts.
std::uint32_t home_slot(std::string_view label, std::uint32_t seed, std::uint32_t slot_mask) noexcept;

}  // namespace lookup
