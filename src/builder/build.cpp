#include "build.h"

#include "sha256.h"

namespace builder {

namespace {

TableBuild build(std::string_view list_bytes, std::span<const std::string_view> extra_rules, const Limits& limits,
                 bool with_info) {
    // About one node per 30 bytes of list text (11103 for 333 KB), guessed a
    // little high so that the tables need not grow; they do when needed.
    WorkTrie trie(limits, list_bytes.size() / 28 + extra_rules.size());
    TableBuild result;
    result.info = scan_list(list_bytes, extra_rules, trie);
    result.table = trie.compile(with_info);
    result.checksum = sha256_hex(list_bytes);
    return result;
}

}  // namespace

TableBuild build_table(std::string_view list_bytes, std::span<const std::string_view> extra_rules,
                       const Limits& limits) {
    TableBuild result = build(list_bytes, extra_rules, limits, false);
    // Checked before it is ever searched: a search through an index that
    // disagreed with the table would answer wrongly without a fault.
    result.index = lookup::build_child_index(result.table.view());
    if (!lookup::child_index_is_consistent(result.table.view(), result.index.view())) {
        result.index = {};
    }
    result.index_view = result.index.view();
    return result;
}

BuildResult build_from_list(std::string_view list_bytes, const Limits& limits) {
    TableBuild built = build(list_bytes, {}, limits, true);
    BuildResult result{std::move(built.table), std::move(built.checksum), {}};
    result.figures = compute_figures(result.table, result.checksum);
    return result;
}

}  // namespace builder
