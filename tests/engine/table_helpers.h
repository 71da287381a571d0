// Small helpers for tests over the compiled table and hand-made ones.
#pragma once

#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "find_child.h"
#include "suffix_table.h"

namespace lookup::testing {

// The node of a dotted name, found label by label from the right, or NO_NODE.
inline std::uint32_t node_of(const SuffixTable& table, std::string_view name) {
    std::uint32_t node = 0;
    while (!name.empty()) {
        const auto dot = name.rfind('.');
        const std::string_view label = dot == std::string_view::npos ? name : name.substr(dot + 1);
        node = find_child(table, node, label);
        if (node == NO_NODE) {
            return NO_NODE;
        }
        name = dot == std::string_view::npos ? std::string_view() : name.substr(0, dot);
    }
    return node;
}

// Owns the arrays of a hand-made table; view() is valid while it lives.
struct OwnedTable {
    std::string pool;
    std::vector<Node> nodes;
    std::vector<Edge> edges;
    std::vector<std::uint32_t> heads;  // empty: searched through the pool alone

    SuffixTable view() const { return SuffixTable{pool, nodes, edges, std::string_view(), heads}; }

    // Adds the edge heads as the builder writes them. An edge whose range is
    // corrupt gets the head of what of it lies in the pool: a search faults
    // on such an edge before its head can matter.
    OwnedTable& with_heads() {
        heads.clear();
        for (const Edge& edge : edges) {
            const std::size_t start = std::min<std::size_t>(edge.label_start, pool.size());
            const std::size_t end = std::clamp<std::size_t>(edge.label_end, start, pool.size());
            heads.push_back(label_head(std::string_view(pool).substr(start, end - start)));
        }
        return *this;
    }
};

// A root whose children are `labels` (given in sorted order), each a leaf
// with the given flags.
template <class Labels>
OwnedTable flat_table_of(const Labels& labels, std::uint8_t flags = 0x09) {
    OwnedTable table;
    table.nodes.push_back({0, static_cast<std::uint16_t>(std::size(labels)), 0});
    std::int32_t target = 1;
    for (const std::string_view label : labels) {
        const auto start = static_cast<std::uint32_t>(table.pool.size());
        table.pool += label;
        table.edges.push_back({start, static_cast<std::uint32_t>(table.pool.size()), target++});
    }
    for (std::size_t i = 0; i < std::size(labels); ++i) {
        table.nodes.push_back({static_cast<std::uint32_t>(std::size(labels)), 0, flags});
    }
    return table;
}

inline OwnedTable flat_table(std::initializer_list<std::string_view> labels, std::uint8_t flags = 0x09) {
    return flat_table_of(labels, flags);
}

}  // namespace lookup::testing
