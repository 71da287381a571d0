// The working trie of rules and its lowering into the three flat arrays of
// the compiled table (breadth-first node numbering, shared label pool).
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "suffix_table.h"
#include "rule.h"

namespace builder {

// Field widths of the compiled table. Tests lower them to reach the checks
// with small lists.
struct Limits {
    std::size_t max_edge_count = std::numeric_limits<std::uint16_t>::max();
    // Targets are signed 32-bit node numbers.
    std::size_t max_nodes = std::size_t{std::numeric_limits<std::int32_t>::max()} + 1;
    // Label ranges are unsigned 32-bit offsets into the pool.
    std::size_t max_pool_bytes = std::numeric_limits<std::uint32_t>::max();
};

// What the figures need to know about a node beyond its table entry.
struct NodeInfo {
    std::uint32_t depth;  // labels in the node's name; 0 for the root
    bool alias;           // reached only through the "xn--" twin of some rule
    bool written;         // a rule of the file, in its own form, is recorded here
};

struct CompiledTable {
    std::string pool;
    std::vector<lookup::Node> nodes;
    std::vector<lookup::Edge> edges;
    std::vector<std::uint32_t> heads;  // label_head of each edge's label, indexed like edges
    std::vector<NodeInfo> info;        // indexed like nodes
    std::size_t distinct_labels = 0;

    // The table as the matcher reads it; valid while this object lives.
    lookup::SuffixTable view(std::string_view checksum = {}) const {
        return lookup::SuffixTable{pool, nodes, edges, checksum, heads};
    }
};

// Enters `rules` (with the "xn--" twins of those with non-ASCII labels) and
// numbers, packs and flags the result. Throws BuildError when the table would
// not fit `limits` or a label cannot be Punycode-encoded.
CompiledTable compile_rules(const std::vector<Rule>& rules, const Limits& limits = {});

}  // namespace builder
