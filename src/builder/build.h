// The whole build in memory: list bytes in, table, checksum and figures out.
// Nothing is written here, so a failure leaves no trace on disk.
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "child_index.h"
#include "figures.h"
#include "list_reader.h"
#include "trie.h"

namespace builder {

// The most that a list file read by a program (not handed over as bytes) may
// hold: fifty times the list of today, and a stop for a path that names an
// endless stream (/dev/zero) or a wrong file.
inline constexpr std::size_t MAX_LIST_FILE_BYTES = 16 * 1024 * 1024;

// What a program needs to answer from a list: the table, the list's checksum
// and what the list says about itself.
struct TableBuild {
    CompiledTable table;
    std::string checksum;  // SHA-256 of the list file's bytes, lowercase hex
    ListInfo info;
    lookup::OwnedChildIndex index;  // kept only once checked against the table
    lookup::ChildIndexView index_view;  // of `index`

    // The table as bulk callers search it: through its index, if any. Valid
    // while this object lives where it is (not moved).
    lookup::SuffixTable view() const {
        lookup::SuffixTable searched = table.view(checksum);
        searched.index = index.nodes.empty() ? nullptr : &index_view;
        return searched;
    }
};

// Builds the table of `list_bytes` with `extra_rules` (one list line each)
// entered into the private section after the list's own rules, and the
// table's child index (none where it would not check consistent). Throws
// BuildError for a line that cannot become a table entry or a table that
// would not fit `limits`, std::bad_alloc when memory runs out.
TableBuild build_table(std::string_view list_bytes, std::span<const std::string_view> extra_rules = {},
                       const Limits& limits = {});

struct BuildResult {
    CompiledTable table;
    std::string checksum;
    Figures figures;
};

// build_table of the list alone, with the figures that table-builder prints.
BuildResult build_from_list(std::string_view list_bytes, const Limits& limits = {});

}  // namespace builder
