// Counts that describe a compiled table, printed after every build so that a
// new copy of the list can be checked at a glance.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "trie.h"

namespace builder {

// Rules recorded per kind: plain, wildcard, exception.
struct RuleCounts {
    std::size_t plain = 0;
    std::size_t wildcard = 0;
    std::size_t exception = 0;
};

struct Figures {
    std::size_t nodes = 0;
    std::size_t edges = 0;
    std::size_t pool_bytes = 0;
    std::size_t labels = 0;
    RuleCounts icann_rules;
    RuleCounts private_rules;
    std::map<std::uint8_t, std::size_t> flags;  // flags byte -> nodes
    std::vector<std::size_t> depths;            // nodes at depth 1, 2, ...
    std::size_t aliases = 0;
    std::size_t root_edges = 0;
    std::size_t max_edge_count = 0;
    std::size_t max_label_bytes = 0;
    std::string checksum;
};

Figures compute_figures(const CompiledTable& table, const std::string& checksum);

std::string figures_text(const Figures& figures);
// One JSON object on one line.
std::string figures_json(const Figures& figures);

}  // namespace builder
