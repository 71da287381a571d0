// The suffix label count of a normalized domain under the list's rules.
#pragma once

#include <cstddef>
#include <string_view>

#include "suffix_table.h"

namespace lookup {

// Walks `table` from the root along the labels of `lowered` (no empty label,
// `label_count` labels), right to left, and returns how many rightmost labels
// form the public suffix: 0 only when no rule applies and !accept_unknown.
// A table with a child index is searched through it, with the same answers.
std::size_t match_suffix(const SuffixTable& table, std::string_view lowered, std::size_t label_count,
                         bool accept_unknown, bool icann_only);

// match_suffix of a table that carries a child index, searched through it
// (match_suffix reaches it through the index's `match`).
std::size_t match_suffix_indexed(const SuffixTable& table, std::string_view lowered, std::size_t label_count,
                                 bool accept_unknown, bool icann_only);

}  // namespace lookup
