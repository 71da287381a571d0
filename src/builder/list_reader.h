// Reading a Public Suffix List file: sections, header lines, rule lines,
// lowering and classification. Every line that cannot become a table entry
// stops the build with a BuildError naming the line.
#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "rule.h"

namespace builder {

// What a list says besides its rules.
struct ListInfo {
    std::optional<std::string> version;  // the "// VERSION:" header line's text
    std::optional<std::string> commit;   // the "// COMMIT:" header line's text
    std::size_t icann_rules = 0;         // rule lines of the ICANN section
    std::size_t private_rules = 0;       // of the private section, extra rules included
};

// Hands every rule of the list text to `sink`, in file order, then each of
// `extra_rules` as one more line of the private section. Throws BuildError:
// lines name their number, extra rules their position.
ListInfo scan_list(std::string_view list_text, std::span<const std::string_view> extra_rules, RuleSink& sink);

// The rules of the list text, in file order. Throws BuildError.
std::vector<Rule> read_rules(std::string_view list_text);

// The bytes of the file at `path`. Throws BuildError if it cannot be read.
std::string read_list_file(const std::string& path);

}  // namespace builder
