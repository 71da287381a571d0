// One input line in, one output line out: the host taken from the line
// (--urls), the line looked up, its columns written as tab-separated text or
// as a JSON object.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "columns.h"
#include "byte_buffer.h"
#include "lookup.h"

namespace cli {

struct RowFormat {
    const lookup::SuffixTable* table;
    lookup::QueryFlags flags;
    std::uint64_t depth = 0;  // for the subdomain column
    std::vector<Column> columns;
    bool json = false;
    bool urls = false;

    // Whether a column asks the table (else no line is looked up at all).
    bool asks_table() const noexcept;
};

// Appends the row of `line` (stripped, or a DOMAIN argument as given) to `out`.
void append_row(const RowFormat& format, std::string_view line, ByteBuffer& out);

// The column names, tab-separated, as the first line of --header.
void append_header(const RowFormat& format, ByteBuffer& out);

}  // namespace cli
