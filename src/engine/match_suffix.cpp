#include "match_suffix.h"

#include "find_child.h"
#include "trie_walk.h"

namespace lookup {

std::size_t match_suffix(const SuffixTable& table, std::string_view lowered, std::size_t label_count,
                         bool accept_unknown, bool icann_only) {
    // Out of line, so that the search of a table without an index (the
    // module's, per call) stays as lean as it was.
    if (!table.index.empty()) [[unlikely]] {
        return match_suffix_indexed(table, lowered, label_count, accept_unknown, icann_only);
    }
    return trie_walk::walk(table, lowered, label_count, accept_unknown, icann_only,
                           [](const SuffixTable& searched, std::uint32_t node, std::string_view label) {
                               return find_child(searched, node, label);
                           });
}

}  // namespace lookup
