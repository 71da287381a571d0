#include "match_suffix.h"

#include "find_child.h"
#include "index_probe.h"
#include "trie_walk.h"

namespace lookup {
namespace {

// The binary search, for the nodes that the index leaves out (none of the
// compiled list's): out of line, so that it takes none of the indexed
// loop's registers.
[[gnu::noinline]] std::uint32_t child_by_search(const SuffixTable& table, std::uint32_t node,
                                                std::string_view label) {
    return find_child(table, node, label);
}

}  // namespace

// The walk through the child index: from an indexed node, one search of its
// slots, whose slot carries the child's rule kinds and entry (and ends the
// walk at a leaf); from any other node, the binary search. The index was
// checked against the table when it was accepted, so what its slots say
// about a child is what the table says.
[[gnu::noinline]] std::size_t match_suffix_indexed(const SuffixTable& table, std::string_view lowered,
                                                   std::size_t label_count, const std::uint64_t* dot_bits,
                                                   bool accept_unknown, bool icann_only) {
    if (table.nodes.empty()) {
        trie_walk::node_fault(0);
    }
    const ChildIndexView& index = *table.index;
    const unsigned shift = icann_only ? ICANN_SHIFT : 0;
    const char* const begin = lowered.data();
    const char* label_end = begin + lowered.size();
    std::uint32_t node = 0;  // the node reached, where it has no entry
    std::uint16_t entry = index.node_entries[0];
    trie_walk::Outcome outcome;

    for (std::size_t i = 0;; ++i) {
        const char* label_start = trie_walk::label_start_of<true>(begin, label_end, dot_bits);
        const std::string_view label(label_start, static_cast<std::size_t>(label_end - label_start));
        unsigned kinds;
        if (entry != NO_INDEX_ENTRY) {
            const IndexSlot* slot =
                index_probe::search_slots(table, index.nodes[entry], label, index_probe::key_in_text(label, begin));
            if (slot == nullptr || (slot->kinds & LEADS_NOWHERE) != 0) {
                break;
            }
            kinds = slot->kinds;
            entry = slot->child_entry;
            if (entry == NO_INDEX_ENTRY) {
                node = static_cast<std::uint32_t>(table.edges[slot->edge].target);
            }
        } else {
            node = child_by_search(table, node, label);
            if (node == NO_NODE) {
                break;
            }
            if (node >= table.nodes.size()) {
                trie_walk::node_fault(node);
            }
            kinds = table.nodes[node].flags;
            entry = index.node_entries[node];
        }
        if (trie_walk::take_rule(kinds >> shift, i, label_count, outcome) || label_start == begin ||
            entry == NO_CHILDREN) {
            break;
        }
        label_end = label_start - 1;
    }
    return trie_walk::answer_of(outcome, accept_unknown);
}

}  // namespace lookup
