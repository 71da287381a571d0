// The one way the builder fails: a message, and the list line it concerns
// (0 when it concerns the whole file).
#pragma once

#include <cstddef>
#include <stdexcept>
#include <string>

namespace builder {

class BuildError : public std::runtime_error {
public:
    BuildError(std::size_t line, const std::string& reason)
        : std::runtime_error(line == 0 ? reason : "line " + std::to_string(line) + ": " + reason),
          line_(line) {}

    std::size_t line() const noexcept { return line_; }

private:
    std::size_t line_;
};

}  // namespace builder
