// Checks a table against the layout rules that the matcher and the
// generated source rely on, without using any of the builder's code. Returns
// one line per violation (at most a few per rule), empty for a sound table.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "suffix_table.h"
#include "lowered_text.h"
#include "normalize.h"

namespace builder::testing {

inline bool is_continuation_byte(std::string_view pool, std::size_t offset) {
    return offset < pool.size() && (static_cast<unsigned char>(pool[offset]) & 0xC0) == 0x80;
}

inline bool is_kind(unsigned field) {
    return field == 0 || field == lookup::FLAG_RULE || field == lookup::FLAG_WILDCARD ||
           field == lookup::FLAG_EXCEPTION;
}

inline std::vector<std::string> layout_violations(const lookup::SuffixTable& table) {
    std::vector<std::string> problems;
    std::map<std::string, int> reported;
    auto report = [&](const std::string& rule, const std::string& what) {
        if (reported[rule]++ < 3) {
            problems.push_back(rule + ": " + what);
        }
    };
    const auto& nodes = table.nodes;
    const auto& edges = table.edges;
    const std::string_view pool = table.label_pool;

    // 1. A tree under node 0.
    if (nodes.empty()) {
        report("rule 1", "no root");
        return problems;
    }
    if (nodes[0].flags != 0) {
        report("rule 1", "root flags are not 0x00");
    }
    if (edges.size() + 1 != nodes.size()) {
        report("rule 1", std::to_string(edges.size()) + " edges for " + std::to_string(nodes.size()) + " nodes");
    }
    std::vector<int> parents(nodes.size(), 0);
    for (const lookup::Edge& edge : edges) {
        if (edge.target >= 0 && static_cast<std::size_t>(edge.target) < nodes.size()) {
            ++parents[static_cast<std::size_t>(edge.target)];
        }
    }
    if (parents[0] != 0) {
        report("rule 1", "an edge leads to the root");
    }
    for (std::size_t i = 1; i < nodes.size(); ++i) {
        if (parents[i] != 1) {
            report("rule 1", "node " + std::to_string(i) + " is the target of " + std::to_string(parents[i]) + " edges");
        }
    }

    // 2. Runs inside the edge table.
    for (std::size_t i = 0; i < nodes.size(); ++i) {
        if (std::uint64_t{nodes[i].first_edge} + nodes[i].edge_count > edges.size()) {
            report("rule 2", "run of node " + std::to_string(i) + " ends beyond the edge table");
        }
    }

    // 4. Label ranges (checked before the runs compare labels).
    bool ranges_sound = true;
    for (std::size_t k = 0; k < edges.size(); ++k) {
        const lookup::Edge& edge = edges[k];
        if (edge.label_start >= edge.label_end || edge.label_end > pool.size() ||
            is_continuation_byte(pool, edge.label_start) || is_continuation_byte(pool, edge.label_end)) {
            report("rule 4", "edge " + std::to_string(k) + " has a bad label range");
            ranges_sound = false;
        }
    }
    if (!ranges_sound) {
        return problems;
    }
    auto label = [&](const lookup::Edge& edge) { return pool.substr(edge.label_start, edge.label_end - edge.label_start); };

    // 3. Runs strictly increasing.
    for (std::size_t i = 0; i < nodes.size(); ++i) {
        const std::uint64_t end = std::uint64_t{nodes[i].first_edge} + nodes[i].edge_count;
        for (std::uint64_t k = std::uint64_t{nodes[i].first_edge} + 1; k < end && k < edges.size(); ++k) {
            // char_traits<char> compares as unsigned char: bytewise, a prefix first.
            if (label(edges[k - 1]).compare(label(edges[k])) >= 0) {
                report("rule 3", "run of node " + std::to_string(i) + " is not strictly increasing at edge " +
                                     std::to_string(k));
            }
        }
    }

    // 5. Breadth-first numbering, edges grouped by parent in node order.
    std::uint64_t edges_before = 0;
    for (std::size_t i = 0; i < nodes.size(); ++i) {
        if (nodes[i].first_edge != edges_before) {
            report("rule 5", "node " + std::to_string(i) + " starts its run at " + std::to_string(nodes[i].first_edge) +
                                 ", not " + std::to_string(edges_before));
        }
        edges_before += nodes[i].edge_count;
    }
    for (std::size_t k = 0; k < edges.size(); ++k) {
        if (static_cast<std::int64_t>(edges[k].target) != static_cast<std::int64_t>(k) + 1) {
            report("rule 5", "edge " + std::to_string(k) + " leads to node " + std::to_string(edges[k].target));
        }
    }

    // 6. No negative target.
    for (std::size_t k = 0; k < edges.size(); ++k) {
        if (edges[k].target < 0) {
            report("rule 6", "edge " + std::to_string(k) + " has a negative target");
        }
    }

    // 7. Each distinct label once, laid out in order of first use.
    std::map<std::string_view, std::pair<std::uint32_t, std::uint32_t>> first_range;
    std::uint64_t cursor = 0;
    for (std::size_t k = 0; k < edges.size(); ++k) {
        const auto [it, added] = first_range.emplace(label(edges[k]), std::pair{edges[k].label_start, edges[k].label_end});
        if (added) {
            if (edges[k].label_start != cursor) {
                report("rule 7", "label of edge " + std::to_string(k) + " is not the next in the pool");
            }
            cursor = edges[k].label_end;
        } else if (it->second != std::pair{edges[k].label_start, edges[k].label_end}) {
            report("rule 7", "edge " + std::to_string(k) + " does not reuse the range of its label");
        }
    }
    if (cursor != pool.size()) {
        report("rule 7", "the pool holds " + std::to_string(pool.size() - cursor) + " bytes that no edge uses");
    }

    // Labels: lowercase, no separators or rule marks.
    for (const auto& [text, range] : first_range) {
        if (text.find_first_of(".*!") != std::string_view::npos) {
            report("labels", "label \"" + std::string(text) + "\" holds '.', '*' or '!'");
        }
        lookup::LoweredText lowered;
        lookup::lower_text(text, lowered);
        if (lowered.view() != text) {
            report("labels", "label \"" + std::string(text) + "\" is not lowercase");
        }
    }

    // Flags: two fields of one kind each, the ICANN one no stronger than the
    // full-list one (equal, but where a private rule on the name is stronger).
    for (std::size_t i = 0; i < nodes.size(); ++i) {
        const unsigned full = nodes[i].flags & 0x07;
        const unsigned icann = (nodes[i].flags >> lookup::ICANN_SHIFT) & 0x07;
        if ((nodes[i].flags & 0xC0) != 0 || !is_kind(full) || !is_kind(icann) || icann > full) {
            report("flags", "node " + std::to_string(i) + " has flags " + std::to_string(nodes[i].flags));
        }
    }
    return problems;
}

}  // namespace builder::testing
