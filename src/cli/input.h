// The lines to look up: the DOMAIN arguments as given, then each file (or
// standard input) read in blocks and split at "\n", each line stripped of
// white space, blank ones skipped. Sources that cannot be read and lines
// longer than the limit are reported on standard error and left out.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "batch.h"
#include "progress.h"

namespace cli {

class InputReader {
public:
    InputReader(std::string_view prog, std::vector<std::string_view> domains, std::vector<std::string_view> files,
                std::size_t max_line);
    ~InputReader();
    InputReader(const InputReader&) = delete;
    InputReader& operator=(const InputReader&) = delete;

    // Refills `batch` with the next lines: up to about BATCH_BYTES, and no
    // more than the input has at hand, so that a slow stream is answered as
    // it comes. False when the input is used up.
    bool fill(Batch& batch);

    // Counts the lines handed out and the bytes read into `counts` from now on.
    void count_into(ProgressCounts& counts) noexcept { counts_ = &counts; }

    // Whether a source could not be read or a line was skipped.
    bool failed() const noexcept { return failed_; }

private:
    bool fill_lines(Batch& batch);
    bool open_next();
    std::ptrdiff_t read_block(char* into, std::size_t size);
    std::size_t take_lines(Batch& batch, std::size_t start, std::size_t fresh);
    void end_line(Batch& batch, std::size_t start, std::size_t end);
    void close_source();
    std::string source_name() const;
    void report(const std::string& message);

    std::string prog_;
    std::vector<std::string_view> domains_;
    std::vector<std::string_view> files_;
    std::size_t max_line_;
    std::size_t next_domain_ = 0;
    std::size_t next_file_ = 0;

    int fd_ = -1;                 // the open source, -1 between sources
    std::string_view name_;       // its name as given ("-" for standard input)
    std::size_t line_number_ = 0;
    std::string carry_;           // the start of a line that a block cut in two
    bool discarding_ = false;     // within a line too long to keep
    bool failed_ = false;
    ProgressCounts* counts_ = nullptr;
};

}  // namespace cli
