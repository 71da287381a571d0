// The one way the builder fails: a message, and where in the input it points:
// a line of the list file, one of the caller's extra rules, or neither (the
// whole file).
#pragma once

#include <cstddef>
#include <stdexcept>
#include <string>

namespace builder {

// Where a rule came from: a 1-based line of the list file, or the 1-based
// position among the extra rules (line 0).
struct Origin {
    std::size_t line = 0;
    std::size_t extra_rule = 0;
};

class BuildError : public std::runtime_error {
public:
    BuildError(std::size_t line, const std::string& reason) : BuildError(Origin{line, 0}, reason) {}
    BuildError(Origin origin, const std::string& reason)
        : std::runtime_error(prefix(origin) + reason), origin_(origin), reason_(reason) {}

    std::size_t line() const noexcept { return origin_.line; }
    std::size_t extra_rule() const noexcept { return origin_.extra_rule; }
    const std::string& reason() const noexcept { return reason_; }

private:
    static std::string prefix(Origin origin) {
        if (origin.extra_rule != 0) {
            return "extra rule " + std::to_string(origin.extra_rule) + ": ";
        }
        return origin.line == 0 ? std::string() : "line " + std::to_string(origin.line) + ": ";
    }

    Origin origin_;
    std::string reason_;
};

}  // namespace builder
