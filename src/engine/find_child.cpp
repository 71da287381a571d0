#include "find_child.h"

#include <string>

#include "edge_search.h"
#include "fault.h"

namespace lookup {
namespace edge_search {

void edge_run_fault(std::uint32_t node) {
    throw Fault("edge run of node " + std::to_string(node) + " ends beyond the edge table");
}

void label_range_fault(std::uint32_t edge) {
    throw Fault("label of edge " + std::to_string(edge) + " lies outside the label pool");
}

void label_boundary_fault(std::uint32_t edge) {
    throw Fault("label of edge " + std::to_string(edge) + " does not lie on character boundaries");
}

}  // namespace edge_search

using namespace edge_search;

bool run_is_sound_and_sorted(const SuffixTable& table, std::uint32_t node) noexcept {
    const Node& entry = table.nodes[node];
    const std::uint64_t first = entry.first_edge;
    const std::uint64_t count = entry.edge_count;
    if (first + count > table.edges.size()) {
        return false;
    }
    const bool with_heads = table.edge_heads.size() == table.edges.size();
    const EdgeRun run = run_of(table, first, with_heads);
    std::string_view previous;
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::uint32_t start = run.edges[i].label_start;
        const std::uint32_t end = run.edges[i].label_end;
        if (!range_is_sound(run, start, end) || !on_boundaries(run, start, end)) {
            return false;
        }
        const std::string_view label = label_text(run, start, end);
        if ((with_heads && run.heads[i] != label_head(label)) || (i != 0 && compare_labels(previous, label) >= 0)) {
            return false;
        }
        previous = label;
    }
    return true;
}

std::uint32_t find_child(const SuffixTable& table, std::uint32_t node, std::string_view label) {
    return find_child_inline(table, node, label);
}

}  // namespace lookup
