#include "match_suffix.h"

#include "index_probe.h"
#include "trie_walk.h"

namespace lookup {

[[gnu::noinline]] std::size_t match_suffix_indexed(const SuffixTable& table, std::string_view lowered, std::size_t label_count,
                                 bool accept_unknown, bool icann_only) {
    return trie_walk::walk<true>(table, lowered, label_count, accept_unknown, icann_only,
                           [begin = lowered.data()](const SuffixTable& searched, std::uint32_t node, std::string_view label) {
                               return find_child_indexed(searched, node, label, begin);
                           });
}

}  // namespace lookup
