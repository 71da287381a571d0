// find_child for a run of many lookups over one table. A search under a node
// with many edges (the root has about 1,600) takes a dozen probes, and nearly
// every name of a batch makes one under the root and one under its top-level
// label; so once a large node has been searched as many times as it has
// edges in the run, its children get a hash index, and each search under it
// takes a probe or two from then on. Built at need, owned by one thread, dropped with the run: it
// never holds more than a few times the table's own edges.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "suffix_table.h"

namespace lookup {

class ChildIndex {
public:
    // Nodes with fewer edges are searched as they are: the search is cheap.
    static constexpr std::uint16_t MIN_EDGES = 16;
    // A large node is indexed at its visit number edge_count: indexing costs
    // about as much per edge as a search, so by then the searches to come are
    // likely to pay for it, and a small batch never pays for an index that it
    // would hardly use.

    explicit ChildIndex(const SuffixTable& table) noexcept : table_(table) {}

    const SuffixTable& table() const noexcept { return table_; }

    // find_child(table(), node, label), with the same answers and faults: a
    // node is indexed only if its whole edge run passes every check that a
    // search makes (bounds, character boundaries, heads) and is sorted,
    // which is when an index and a search cannot disagree. Throws
    // std::bad_alloc.
    std::uint32_t find_child(std::uint32_t node, std::string_view label);

    // How many nodes have an index so far.
    std::size_t indexed_nodes() const noexcept;

private:
    // One child: its label's first eight bytes, zero-padded (the whole of
    // most labels, so that most searches never read the pool), where the
    // label lies in the pool, and where it leads. `size_plus_one` is 0 for a
    // free slot.
    struct Slot {
        std::uint64_t head;
        std::uint32_t start;
        std::uint32_t size_plus_one;
        std::int32_t target;
    };
    // A large node met in this run. `slots` is null until its children are
    // indexed, then a power-of-two run of slots, `mask` one less than that.
    struct NodeState {
        std::uint32_t node;
        std::uint32_t visits;
        const Slot* slots;
        std::uint32_t mask;
        unsigned shift;  // a hash's top bits, 64 - shift of them, pick its first slot
        bool indexable;
    };

    NodeState& state_of(std::uint32_t node);
    void index_children(NodeState& state, const Node& entry);
    std::uint32_t search_index(const NodeState& state, std::string_view label) const noexcept;

    SuffixTable table_;
    NodeState root_{0, 0, nullptr, 0, 0, true};  // met by every lookup, so kept apart
    // The other large nodes met, by node number (open addressing): a power
    // of two in size, or empty.
    std::vector<NodeState> states_;
    std::size_t state_count_ = 0;
    std::vector<std::unique_ptr<Slot[]>> slot_runs_;  // the runs that the states point to
};

}  // namespace lookup
