// One rule of the list, as the reader hands it to the trie.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace builder {

enum class Section { icann, private_domains };

struct Rule {
    std::uint8_t kind;                // FLAG_RULE, FLAG_WILDCARD or FLAG_EXCEPTION
    Section section;
    std::vector<std::string> labels;  // lowered labels of the base name, leftmost first
    std::size_t line;                 // 1-based line number in the list file
};

}  // namespace builder
