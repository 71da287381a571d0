#include "match/find_child.h"

#include <string>

#include "match/fault.h"

namespace lookup {
namespace {

[[noreturn, gnu::cold, gnu::noinline]] void edge_run_fault(std::uint32_t node) {
    throw Fault("edge run of node " + std::to_string(node) + " ends beyond the edge table");
}

[[noreturn, gnu::cold, gnu::noinline]] void label_range_fault(std::uint32_t edge) {
    throw Fault("label of edge " + std::to_string(edge) + " lies outside the label pool");
}

[[noreturn, gnu::cold, gnu::noinline]] void label_boundary_fault(std::uint32_t edge) {
    throw Fault("label of edge " + std::to_string(edge) + " does not lie on character boundaries");
}

// Only a UTF-8 continuation byte (10xxxxxx) is not a character boundary.
inline bool is_continuation(unsigned char byte) noexcept { return (byte & 0xC0) == 0x80; }

// The label of `edge`, after checking that its range is a sound slice of the
// pool. Runs on every probe, so the checks stay inline and the faults out of line.
inline std::string_view checked_label(const SuffixTable& table, std::uint32_t edge) {
    const Edge& entry = table.edges[edge];
    const std::uint32_t start = entry.label_start;
    const std::uint32_t end = entry.label_end;
    const std::size_t pool_size = table.label_pool.size();
    if (start > end || end > pool_size) [[unlikely]] {
        label_range_fault(edge);
    }
    const auto* pool = reinterpret_cast<const unsigned char*>(table.label_pool.data());
    // start < pool_size whenever start < end; the end of the pool is a boundary.
    if ((start < pool_size && is_continuation(pool[start])) || (end < pool_size && is_continuation(pool[end])))
        [[unlikely]] {
        label_boundary_fault(edge);
    }
    return {table.label_pool.data() + start, end - start};
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

}  // namespace

std::uint32_t find_child(const SuffixTable& table, std::uint32_t node, std::string_view label) {
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
    const auto run = static_cast<std::uint32_t>(first);
    // Every probed edge is validated; where the heads are at hand they decide
    // the order, and the pool is compared only when the heads agree.
    const bool use_heads = table.edge_heads.size() == table.edges.size();
    const std::uint32_t query_head = label_head(label);
    auto order = [&](std::uint32_t edge) {
        const std::string_view edge_label = checked_label(table, edge);
        if (use_heads) {
            const std::uint32_t head = table.edge_heads[edge];
            if (head != query_head) {
                return head < query_head ? -1 : 1;
            }
        }
        return compare_labels(edge_label, label);
    };
    std::uint32_t base = 0;
    std::uint32_t size = static_cast<std::uint32_t>(count);
    while (size > 1) {
        const std::uint32_t half = size / 2;
        const std::uint32_t mid = base + half;
        if (order(run + mid) <= 0) {
            base = mid;
        }
        size -= half;
    }
    if (order(run + base) != 0) {
        return NO_NODE;
    }
    const std::int32_t target = table.edges[run + base].target;
    return target < 0 ? NO_NODE : static_cast<std::uint32_t>(target);
}

}  // namespace lookup
