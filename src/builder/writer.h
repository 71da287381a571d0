// The generated C++ source of a compiled table: psl_table.h declares the
// arrays and their lengths, psl_table.cpp defines them; psl_index.h and
// psl_index.cpp do the same for the table's child index, which only bulk
// callers link.
#pragma once

#include <string>

#include "trie.h"

namespace builder {

struct GeneratedSource {
    std::string header;  // psl_table.h
    std::string source;  // psl_table.cpp
    std::string index_header;  // psl_index.h
    std::string index_source;  // psl_index.cpp
};

GeneratedSource render_table(const CompiledTable& table, const std::string& checksum);

// Writes the four files into `directory` (created if missing).
// Each file goes to a temporary name first and is renamed into place, so a
// failed run leaves no half-written table. Throws BuildError.
void write_table(const std::string& directory, const GeneratedSource& generated);

}  // namespace builder
