// One rule of the list, as the reader hands it on.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "build_error.h"

namespace builder {

enum class Section { icann, private_domains };

// A rule while it is read: its base name lowered (valid only during the call
// that receives it), labels separated by dots, none of them empty.
struct RuleText {
    std::uint8_t kind;      // FLAG_RULE, FLAG_WILDCARD or FLAG_EXCEPTION
    Section section;
    std::string_view base;
    Origin origin;
};

// Receives the rules of a list one by one, in file order.
class RuleSink {
public:
    virtual void add(const RuleText& rule) = 0;

protected:
    ~RuleSink() = default;
};

// A rule kept whole, for tests and the fuzzers.
struct Rule {
    std::uint8_t kind;
    Section section;
    std::vector<std::string> labels;  // lowered labels of the base name, leftmost first
    std::size_t line;                 // 1-based line number in the list file
};

}  // namespace builder
