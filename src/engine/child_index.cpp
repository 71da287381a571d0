#include "child_index.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <span>

#include "find_child.h"
#include "index_probe.h"

namespace lookup {
namespace {

using index_probe::home_slot_of;
using index_probe::key_of;
using index_probe::LabelKey;

static_assert(std::size(index_probe::SEED_MULTIPLIERS) == HASH_SEEDS);

std::uint32_t label_size(const Edge& edge) noexcept { return edge.label_end - edge.label_start; }

std::string_view edge_label(const SuffixTable& table, const Edge& edge) noexcept {
    return table.label_pool.substr(edge.label_start, label_size(edge));
}

// Slots for `edges` children: at most half of them in use.
std::uint32_t room_for(std::uint32_t edges) noexcept {
    std::uint32_t size = 2;
    while (size < 2 * edges) {
        size *= 2;
    }
    return size;
}

// The longest run of occupied slots, wrapping around the end.
std::uint32_t longest_run(const IndexSlot* slots, std::uint32_t count) noexcept {
    std::uint32_t longest = 0;
    std::uint32_t run = 0;
    // Twice round, so that a run across the end is counted whole; a layout
    // with a free slot never runs longer than one round.
    for (std::uint32_t i = 0; i < 2 * count; ++i) {
        run = slots[i % count].edge == NO_EDGE ? 0 : run + 1;
        longest = std::max(longest, run);
    }
    return std::min(longest, count);
}

// Whether every child of the node can be described in a slot: each label
// fits the slot's size byte, each edge leads nowhere or to a node of the
// table whose flags leave LEADS_NOWHERE free.
bool children_fit_slots(const SuffixTable& table, const Node& entry) noexcept {
    for (std::uint32_t i = 0; i < entry.edge_count; ++i) {
        const Edge& edge = table.edges[entry.first_edge + i];
        if (label_size(edge) > UINT8_MAX ||
            (edge.target >= 0 && (static_cast<std::uint64_t>(edge.target) >= table.nodes.size() ||
                                  (table.nodes[static_cast<std::uint32_t>(edge.target)].flags & LEADS_NOWHERE) != 0))) {
            return false;
        }
    }
    return true;
}

// What a slot holding `edge` says of the node it leads to: its kinds and
// its entry. The edge is one that children_fit_slots has passed.
struct ChildFields {
    std::uint8_t kinds;
    std::uint16_t child_entry;
};

ChildFields child_fields(const SuffixTable& table, std::span<const std::uint16_t> node_entries, std::uint32_t edge) {
    const std::int32_t target = table.edges[edge].target;
    if (target < 0) {
        return {LEADS_NOWHERE, NO_INDEX_ENTRY};
    }
    const auto child = static_cast<std::uint32_t>(target);
    return {table.nodes[child].flags, table.nodes[child].edge_count == 0 ? NO_CHILDREN : node_entries[child]};
}

// Lays the node's children out under `seed` into `slots` (all free); false
// when a run of occupied slots grows beyond MAX_PROBES.
bool lay_out(const SuffixTable& table, const Node& entry, std::uint32_t seed, IndexSlot* slots, std::uint32_t mask) {
    for (std::uint32_t i = 0; i < entry.edge_count; ++i) {
        const std::uint32_t edge = entry.first_edge + i;
        const std::string_view label = edge_label(table, table.edges[edge]);
        const LabelKey key = key_of(label);
        std::uint32_t probes = 0;
        const std::size_t slot = linear_probe::first_where(home_slot_of(key, label.size(), seed, mask), mask, [&](std::size_t at) {
            return slots[at].edge == NO_EDGE || ++probes == MAX_PROBES;
        });
        if (slots[slot].edge != NO_EDGE) {
            return false;
        }
        slots[slot] = IndexSlot{key.head, edge, static_cast<std::uint8_t>(label.size()), 0, NO_INDEX_ENTRY};
    }
    return longest_run(slots, mask + 1) <= MAX_PROBES;
}

// Whether the node's slots hold each of its edges once, as lay_out puts them.
bool slots_are_consistent(const SuffixTable& table, const Node& node, const IndexedNode& entry) noexcept {
    const IndexSlot* slots = table.index->slots.data() + entry.first_slot;
    const std::uint32_t count = entry.slot_mask + 1;
    std::vector<bool> seen;
    try {
        seen.assign(node.edge_count, false);
    } catch (...) {
        return false;
    }
    std::uint32_t used = 0;
    for (std::uint32_t slot = 0; slot < count; ++slot) {
        const IndexSlot& held = slots[slot];
        if (held.edge == NO_EDGE) {
            if (held.head != 0 || held.size != 0 || held.kinds != 0 || held.child_entry != 0) {
                return false;
            }
            continue;
        }
        const std::uint64_t offset = std::uint64_t{held.edge} - node.first_edge;
        if (held.edge < node.first_edge || offset >= node.edge_count || seen[offset]) {
            return false;
        }
        seen[offset] = true;
        ++used;
        const std::string_view label = edge_label(table, table.edges[held.edge]);
        const LabelKey key = key_of(label);
        const ChildFields child = child_fields(table, table.index->node_entries, held.edge);
        if (held.head != key.head || held.size != label.size() || held.kinds != child.kinds ||
            held.child_entry != child.child_entry) {
            return false;
        }
        // Reachable: no free slot between its home and itself.
        if (linear_probe::first_where(home_slot_of(key, label.size(), entry.seed, entry.slot_mask), entry.slot_mask, [&](std::size_t at) {
                return at == slot || slots[at].edge == NO_EDGE;
            }) != slot) {
            return false;
        }
    }
    return used == node.edge_count && longest_run(slots, count) <= MAX_PROBES;
}

}  // namespace

OwnedChildIndex build_child_index(const SuffixTable& table) {
    OwnedChildIndex index;
    index.node_entries.assign(table.nodes.size(), NO_INDEX_ENTRY);
    for (std::uint32_t node = 0; node < table.nodes.size() && index.nodes.size() < NO_CHILDREN; ++node) {
        const Node& entry = table.nodes[node];
        if (entry.edge_count < MIN_INDEXED_EDGES || !run_is_sound_and_sorted(table, node) ||
            !children_fit_slots(table, entry)) {
            continue;
        }
        const std::uint32_t count = room_for(entry.edge_count);
        const auto first = static_cast<std::uint32_t>(index.slots.size());
        for (std::uint32_t seed = 0; seed < HASH_SEEDS; ++seed) {
            index.slots.resize(first);
            index.slots.resize(first + std::size_t{count}, IndexSlot{0, NO_EDGE, 0, 0, 0});
            if (lay_out(table, entry, seed, index.slots.data() + first, count - 1)) {
                index.node_entries[node] = static_cast<std::uint16_t>(index.nodes.size());
                index.nodes.push_back(IndexedNode{node, first, count - 1, seed});
                break;
            }
        }
        if (index.nodes.empty() || index.nodes.back().node != node) {
            index.slots.resize(first);  // no key lays it out well: left to the search
        }
    }
    // Every node has its entry now: the slots can tell their children's.
    for (IndexSlot& slot : index.slots) {
        if (slot.edge != NO_EDGE) {
            const ChildFields child = child_fields(table, index.node_entries, slot.edge);
            slot.kinds = child.kinds;
            slot.child_entry = child.child_entry;
        }
    }
    return index;
}

bool child_index_is_consistent(const SuffixTable& table, ChildIndexView index) noexcept {
    if (index.match != match_suffix_indexed || index.node_entries.size() != table.nodes.size() ||
        index.nodes.size() >= NO_CHILDREN) {
        return false;
    }
    std::size_t mapped = 0;
    for (std::uint32_t node = 0; node < index.node_entries.size(); ++node) {
        const std::uint16_t entry = index.node_entries[node];
        if (entry != NO_INDEX_ENTRY) {
            if (entry >= index.nodes.size() || index.nodes[entry].node != node) {
                return false;
            }
            ++mapped;
        }
    }
    if (mapped != index.nodes.size()) {
        return false;
    }
    std::uint64_t next_slot = 0;
    for (std::size_t i = 0; i < index.nodes.size(); ++i) {
        const IndexedNode& entry = index.nodes[i];
        const std::uint64_t count = std::uint64_t{entry.slot_mask} + 1;
        if ((i != 0 && entry.node <= index.nodes[i - 1].node) || entry.node >= table.nodes.size() ||
            entry.first_slot != next_slot || (count & (count - 1)) != 0 || count < 2 ||
            entry.first_slot + count > index.slots.size() || entry.seed >= HASH_SEEDS) {
            return false;
        }
        const Node& node = table.nodes[entry.node];
        if (node.edge_count < MIN_INDEXED_EDGES || 2 * std::uint64_t{node.edge_count} > count ||
            !run_is_sound_and_sorted(table, entry.node) || !children_fit_slots(table, node)) {
            return false;
        }
        const SuffixTable held{table.label_pool, table.nodes, table.edges, table.checksum, table.edge_heads, &index};
        if (!slots_are_consistent(held, node, entry)) {
            return false;
        }
        next_slot = entry.first_slot + count;
    }
    return next_slot == index.slots.size();
}

std::uint32_t longest_probe_run(ChildIndexView index) noexcept {
    std::uint32_t longest = 0;
    for (const IndexedNode& entry : index.nodes) {
        longest = std::max(longest, longest_run(index.slots.data() + entry.first_slot, entry.slot_mask + 1));
    }
    return longest;
}

std::uint32_t home_slot(std::string_view label, std::uint32_t seed, std::uint32_t slot_mask) noexcept {
    return home_slot_of(key_of(label), label.size(), seed, slot_mask);
}

}  // namespace lookup
