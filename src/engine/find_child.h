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

// Whether find_child can search every label of the node's edge run without a
// fault (the run lies in the edge table, each label in the pool on character
// boundaries, with its true head) and the labels are strictly sorted: then a
// label is found by any exact search of the run exactly when find_child
// finds it. `node` must be a node number already checked.
bool run_is_sound_and_sorted(const SuffixTable& table, std::uint32_t node) noexcept;

}  // namespace lookup
