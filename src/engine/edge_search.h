// The binary search of one node's edges that find_child makes, inline, so
// that the walk of a table without an index (the module's, per call) has it
// in its loop; find_child.cpp holds the faults and the out-of-line entry.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "find_child.h"
#include "suffix_table.h"
#include "utf8.h"

namespace lookup::edge_search {

[[noreturn, gnu::cold, gnu::noinline]] void edge_run_fault(std::uint32_t node);
[[noreturn, gnu::cold, gnu::noinline]] void label_range_fault(std::uint32_t edge);
[[noreturn, gnu::cold, gnu::noinline]] void label_boundary_fault(std::uint32_t edge);

// One node's run of edges, with everything a probe reads held in locals so
// that the search keeps them in registers.
struct EdgeRun {
    const Edge* edges;             // the run's first edge
    const std::uint32_t* heads;    // the run's first head
    const unsigned char* pool;
    std::size_t pool_size;
    std::uint32_t first;           // number of the run's first edge, for faults
};

inline bool range_is_sound(const EdgeRun& run, std::uint32_t start, std::uint32_t end) noexcept {
    return start <= end && end <= run.pool_size;
}

// Only a continuation byte (10xxxxxx) is not a character boundary; the end of
// the pool is one.
inline bool on_boundaries(const EdgeRun& run, std::uint32_t start, std::uint32_t end) noexcept {
    return !(start < run.pool_size && utf8::is_continuation(run.pool[start])) &&
           !(end < run.pool_size && utf8::is_continuation(run.pool[end]));
}

inline std::string_view label_text(const EdgeRun& run, std::uint32_t start, std::uint32_t end) noexcept {
    return {reinterpret_cast<const char*>(run.pool) + start, end - start};
}

// The label of the run's edge `i`, after checking that its range is a sound
// slice of the pool. Runs on every probe, so the checks stay inline and the
// faults out of line.
inline std::string_view checked_label(const EdgeRun& run, std::uint32_t i) {
    const Edge& entry = run.edges[i];
    const std::uint32_t start = entry.label_start;
    const std::uint32_t end = entry.label_end;
    if (!range_is_sound(run, start, end)) [[unlikely]] {
        label_range_fault(run.first + i);
    }
    if (!on_boundaries(run, start, end)) [[unlikely]] {
        label_boundary_fault(run.first + i);
    }
    return label_text(run, start, end);
}

// Bytewise order as unsigned bytes; a proper prefix sorts first.
inline int compare_labels(std::string_view edge_label, std::string_view query) noexcept {
    const std::size_t common = edge_label.size() < query.size() ? edge_label.size() : query.size();
    for (std::size_t i = 0; i < common; ++i) {
        const auto a = static_cast<unsigned char>(edge_label[i]);
        const auto b = static_cast<unsigned char>(query[i]);
        if (a != b) {
            return a < b ? -1 : 1;
        }
    }
    return (edge_label.size() > query.size()) - (edge_label.size() < query.size());
}

// The index in the run of the edge whose label equals `label`, or `count`.
// Every probed edge is validated; with heads they decide the order, and the
// pool is compared only when the heads agree. One instance per kind, so the
// probe loop carries no test for the heads.
template <bool WITH_HEADS>
inline std::uint32_t search_run(const EdgeRun& run, std::uint32_t count, std::string_view label,
                                std::uint32_t query_head) {
    auto order = [&](std::uint32_t i) {
        const std::string_view edge_label = checked_label(run, i);
        if constexpr (WITH_HEADS) {
            const std::uint32_t head = run.heads[i];
            if (head != query_head) {
                return head < query_head ? -1 : 1;
            }
        }
        return compare_labels(edge_label, label);
    };
    std::uint32_t base = 0;
    std::uint32_t size = count;
    while (size > 1) {
        const std::uint32_t half = size / 2;
        const std::uint32_t mid = base + half;
        if (order(mid) <= 0) {
            base = mid;
        }
        size -= half;
    }
    return order(base) == 0 ? base : count;
}

inline EdgeRun run_of(const SuffixTable& table, std::uint64_t first, bool with_heads) noexcept {
    return EdgeRun{table.edges.data() + first, with_heads ? table.edge_heads.data() + first : nullptr,
                   reinterpret_cast<const unsigned char*>(table.label_pool.data()), table.label_pool.size(),
                   static_cast<std::uint32_t>(first)};
}

// find_child's body.
[[gnu::always_inline]] inline std::uint32_t find_child_inline(const SuffixTable& table, std::uint32_t node,
                                                             std::string_view label) {
    const Node& entry = table.nodes[node];
    const std::uint64_t first = entry.first_edge;
    const std::uint64_t count = entry.edge_count;
    // Checked for every node, leaves included, in 64 bits so the sum cannot wrap.
    if (first + count > table.edges.size()) [[unlikely]] {
        edge_run_fault(node);
    }
    if (count == 0) {
        return NO_NODE;
    }
    const bool with_heads = table.edge_heads.size() == table.edges.size();
    const EdgeRun run = run_of(table, first, with_heads);
    const auto edges = static_cast<std::uint32_t>(count);
    const std::uint32_t found = with_heads ? search_run<true>(run, edges, label, label_head(label))
                                           : search_run<false>(run, edges, label, 0);
    if (found == edges) {
        return NO_NODE;
    }
    const std::int32_t target = run.edges[found].target;
    return target < 0 ? NO_NODE : static_cast<std::uint32_t>(target);
}

}  // namespace lookup::edge_search
