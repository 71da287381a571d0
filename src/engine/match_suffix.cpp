#include "match_suffix.h"

#include "edge_search.h"
#include "trie_walk.h"

namespace lookup {

std::size_t match_suffix_searched(const SuffixTable& table, std::string_view lowered, std::size_t label_count,
                                  const std::uint64_t* dot_bits, bool accept_unknown, bool icann_only) {
    return trie_walk::walk(table, lowered, label_count, dot_bits, accept_unknown, icann_only,
                           [](const SuffixTable& searched, std::uint32_t node, std::string_view label) {
                               return edge_search::find_child_inline(searched, node, label);
                           });
}

}  // namespace lookup
