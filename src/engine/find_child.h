// One step down the trie: the child of a node reached by one label.
#pragma once

#include <cstdint>
#include <string_view>

#include "suffix_table.h"

namespace lookup {

inline constexpr std::uint32_t NO_NODE = UINT32_MAX;

// The target of the edge of `node` whose label equals `label` byte for byte,
// or NO_NODE. Throws Fault when the node's edge run or a probed label range
// breaks the table's bounds. `node` must be a node number already checked
// against the node table.
std::uint32_t find_child(const SuffixTable& table, std::uint32_t node, std::string_view label);

}  // namespace lookup
