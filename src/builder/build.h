// The whole build in memory: list bytes in, table, checksum and figures out.
// Nothing is written here, so a failure leaves no trace on disk.
#pragma once

#include <string>
#include <string_view>

#include "figures.h"
#include "trie.h"

namespace builder {

struct BuildResult {
    CompiledTable table;
    std::string checksum;  // SHA-256 of the list file's bytes, lowercase hex
    Figures figures;
};

// Throws BuildError for a line that cannot become a table entry or a table
// that would not fit `limits`.
BuildResult build_from_list(std::string_view list_bytes, const Limits& limits = {});

}  // namespace builder
