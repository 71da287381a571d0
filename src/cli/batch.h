// A run of input lines and, once answered, their output: the unit that the
// reader fills, a worker answers and the writer writes, reused from one run
// of lines to the next so that memory stays flat.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "byte_buffer.h"

namespace cli {

// A batch is handed on once its lines reach this many bytes.
inline constexpr std::size_t BATCH_BYTES = 64 * 1024;

struct Batch {
    struct Span {
        std::size_t start;
        std::size_t length;
    };
    ByteBuffer text;          // the lines' bytes, as read
    std::vector<Span> lines;  // where each line lies in text
    ByteBuffer out;            // the rows of the lines

    void clear() noexcept {
        text.clear();
        lines.clear();
        out.clear();
    }
    void add_line(std::string_view line) {
        lines.push_back({text.size(), line.size()});
        text.append(line);
    }
    std::string_view line(std::size_t i) const noexcept { return {text.data() + lines[i].start, lines[i].length}; }
};

}  // namespace cli
