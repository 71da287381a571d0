#include "input.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "escapes.h"

namespace cli {
namespace {

constexpr std::size_t READ_BYTES = 64 * 1024;

// The length of the white space character (as Python's str.isspace() has
// them) that `text` begins with, or 0. Every one of them begins with a lead
// byte, so a match is a character of its own whatever bytes stand around it.
std::size_t space_at_start(std::string_view text) noexcept {
    static constexpr std::string_view WIDE_SPACES[] = {
        "\xC2\x85", "\xC2\xA0", "\xE1\x9A\x80", "\xE2\x80\x80", "\xE2\x80\x81", "\xE2\x80\x82", "\xE2\x80\x83",
        "\xE2\x80\x84", "\xE2\x80\x85", "\xE2\x80\x86", "\xE2\x80\x87", "\xE2\x80\x88", "\xE2\x80\x89",
        "\xE2\x80\x8A", "\xE2\x80\xA8", "\xE2\x80\xA9", "\xE2\x80\xAF", "\xE2\x81\x9F", "\xE3\x80\x80"};
    const auto byte = static_cast<unsigned char>(text[0]);
    if (byte < 0x80) {
        return (byte >= '\t' && byte <= '\r') || (byte >= 0x1C && byte <= 0x20) ? 1 : 0;
    }
    if (byte != 0xC2 && (byte < 0xE1 || byte > 0xE3)) {
        return 0;
    }
    for (const std::string_view space : WIDE_SPACES) {
        if (text.starts_with(space)) {
            return space.size();
        }
    }
    return 0;
}

std::size_t space_at_end(std::string_view text) noexcept {
    const auto byte = static_cast<unsigned char>(text.back());
    if (byte < 0x80) {
        return space_at_start(text.substr(text.size() - 1));
    }
    for (std::size_t length = 2; length <= 3 && length <= text.size(); ++length) {
        const std::string_view tail = text.substr(text.size() - length);
        if (space_at_start(tail) == length) {
            return length;
        }
    }
    return 0;
}

// `line` less the white space at both ends, as str.strip() removes it.
std::string_view stripped(std::string_view line) noexcept {
    const auto plain = [](char c) { return c > ' ' && c < 0x7F; };
    if (!line.empty() && plain(line.front()) && plain(line.back())) {
        return line;
    }
    while (!line.empty()) {
        const std::size_t length = space_at_start(line);
        if (length == 0) {
            break;
        }
        line.remove_prefix(length);
    }
    while (!line.empty()) {
        const std::size_t length = space_at_end(line);
        if (length == 0) {
            break;
        }
        line.remove_suffix(length);
    }
    return line;
}

}  // namespace

InputReader::InputReader(std::string_view prog, std::vector<std::string_view> domains,
                         std::vector<std::string_view> files, std::size_t max_line)
    : prog_(prog), domains_(std::move(domains)), files_(std::move(files)), max_line_(max_line) {
    if (domains_.empty() && files_.empty()) {
        files_.push_back("-");
    }
}

InputReader::~InputReader() { close_source(); }

bool InputReader::fill(Batch& batch) {
    const bool more = fill_lines(batch);
    if (counts_ != nullptr) {
        counts_->lines.fetch_add(batch.lines.size(), std::memory_order_relaxed);
    }
    return more;
}

bool InputReader::fill_lines(Batch& batch) {
    batch.clear();
    while (next_domain_ < domains_.size() && batch.text.size() < BATCH_BYTES) {
        batch.add_line(domains_[next_domain_++]);
    }
    // One block read per round, straight into the batch behind the start of
    // a line that the last block cut; the lines stay where they were read.
    // The batch is handed over as soon as it holds a line, so that a slow
    // stream is answered as it comes.
    while (batch.lines.empty() || batch.text.size() < BATCH_BYTES) {
        if (fd_ < 0 && (!batch.lines.empty() || !open_next())) {
            return !batch.lines.empty();
        }
        const std::size_t start = batch.text.size();
        batch.text.append(carry_);
        const std::size_t fresh = batch.text.size();
        carry_.clear();
        // A long line is read in blocks as large as what is carried of it, so
        // that carrying it from block to block costs no more than reading it
        // twice (in 64 KiB blocks a line of L bytes would be copied L / 64 KiB
        // times).
        const std::size_t block = std::max(READ_BYTES, fresh - start);
        const std::ptrdiff_t count = read_block(batch.text.room(block), block);
        if (count <= 0) {
            // At the end the carried bytes are the last line, without "\n";
            // after an error they are dropped.
            batch.text.truncate(count < 0 ? start : fresh);
            if (count == 0 && (fresh > start || discarding_)) {
                end_line(batch, start, fresh);
            }
            discarding_ = false;
            close_source();
            continue;
        }
        batch.text.advance(static_cast<std::size_t>(count));
        const std::size_t rest = take_lines(batch, start, fresh);
        if (!discarding_) {
            carry_.assign(batch.text.view().substr(rest));
            if (carry_.size() > max_line_) {
                // Reported once the line's end is found; nothing more of it is kept.
                discarding_ = true;
                carry_.clear();
            }
        }
        batch.text.truncate(rest);
        if (!batch.lines.empty()) {
            return true;
        }
    }
    return true;
}

// Records the lines that end in batch.text after `fresh` (the first of them
// begins at `start`); returns where the unfinished last one begins.
std::size_t InputReader::take_lines(Batch& batch, std::size_t start, std::size_t fresh) {
    const char* text = batch.text.data();
    const std::size_t size = batch.text.size();
    std::size_t from = fresh;
    while (from < size) {
        const auto* newline = static_cast<const char*>(std::memchr(text + from, '\n', size - from));
        if (newline == nullptr) {
            break;
        }
        const auto end = static_cast<std::size_t>(newline - text);
        end_line(batch, start, end);
        start = from = end + 1;
    }
    return start;
}

// The line batch.text[start, end) has ended.
void InputReader::end_line(Batch& batch, std::size_t start, std::size_t end) {
    ++line_number_;
    if (discarding_ || end - start > max_line_) {
        discarding_ = false;
        report("line " + std::to_string(line_number_) + " of " + source_name() + " is longer than " +
               std::to_string(max_line_) + " bytes (--max-line); skipped");
        return;
    }
    const std::string_view line(batch.text.data() + start, end - start);
    const std::string_view domain = stripped(line);
    if (!domain.empty()) {
        batch.lines.push_back({static_cast<std::size_t>(domain.data() - batch.text.data()), domain.size()});
    }
}

bool InputReader::open_next() {
    while (next_file_ < files_.size()) {
        name_ = files_[next_file_++];
        line_number_ = 0;
        if (name_ == "-") {
            fd_ = STDIN_FILENO;
            return true;
        }
        fd_ = ::open(std::string(name_).c_str(), O_RDONLY | O_CLOEXEC);
        if (fd_ >= 0) {
            return true;
        }
        report("cannot read " + source_name() + ": " + std::strerror(errno));
    }
    return false;
}

// Reads up to `size` bytes of the open source into `into`: the count, 0 at
// its end, -1 after an error (reported).
std::ptrdiff_t InputReader::read_block(char* into, std::size_t size) {
    while (true) {
        const ssize_t count = ::read(fd_, into, size);
        if (count >= 0) {
            if (counts_ != nullptr) {
                counts_->bytes.fetch_add(static_cast<std::uint64_t>(count), std::memory_order_relaxed);
            }
            return count;
        }
        if (errno == EINTR) {
            continue;
        }
        const char* reason = fd_ == STDIN_FILENO && errno == EBADF ? "it is closed" : std::strerror(errno);
        report("cannot read " + source_name() + ": " + reason);
        return -1;
    }
}

void InputReader::close_source() {
    if (fd_ > STDIN_FILENO) {
        ::close(fd_);
    }
    fd_ = -1;
}

std::string InputReader::source_name() const {
    return name_ == "-" ? std::string("standard input") : python_repr(name_);
}

void InputReader::report(const std::string& message) {
    failed_ = true;
    const std::string line = prog_ + ": " + message + "\n";
    std::fputs(line.c_str(), stderr);
}

}  // namespace cli
