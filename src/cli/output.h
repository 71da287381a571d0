// Standard output, written with write(2) as each batch is answered: nothing
// is buffered beyond a batch, so answers stream out as lines come in.
#pragma once

#include <string_view>

namespace cli {

class Output {
public:
    explicit Output(int fd) noexcept : fd_(fd) {}

    // False when the bytes could not all be written; error() tells why.
    bool write(std::string_view bytes) noexcept;
    int error() const noexcept { return error_; }

private:
    int fd_;
    int error_ = 0;
};

}  // namespace cli
