// The suffix label count of a normalized domain under the list's rules.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "suffix_table.h"

namespace lookup {

// Walks `table` from the root along the labels of `lowered` (no empty label,
// `label_count` labels), right to left, and returns how many rightmost labels
// form the public suffix: 0 only when no rule applies and !accept_unknown.
// `dot_bits` are the domain's NormalizedDomain::dot_bits (or null).
// A table with a child index is searched through it, with the same answers
// (match_suffix below).

// The same by the binary search alone, whatever index the table carries.
std::size_t match_suffix_searched(const SuffixTable& table, std::string_view lowered, std::size_t label_count,
                                  const std::uint64_t* dot_bits, bool accept_unknown, bool icann_only);

// The same through the table's child index, which it must carry (reached
// through the index's `match`, so that what never has an index links none
// of this search).
std::size_t match_suffix_indexed(const SuffixTable& table, std::string_view lowered, std::size_t label_count,
                                 const std::uint64_t* dot_bits, bool accept_unknown, bool icann_only);

inline std::size_t match_suffix(const SuffixTable& table, std::string_view lowered, std::size_t label_count,
                                const std::uint64_t* dot_bits, bool accept_unknown, bool icann_only) {
    if (table.index != nullptr) [[unlikely]] {
        return table.index->match(table, lowered, label_count, dot_bits, accept_unknown, icann_only);
    }
    return match_suffix_searched(table, lowered, label_count, dot_bits, accept_unknown, icann_only);
}

// The same for a domain whose dots were not noted.
inline std::size_t match_suffix(const SuffixTable& table, std::string_view lowered, std::size_t label_count,
                                bool accept_unknown, bool icann_only) {
    return match_suffix(table, lowered, label_count, nullptr, accept_unknown, icann_only);
}

}  // namespace lookup
