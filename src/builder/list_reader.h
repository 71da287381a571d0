// Reading a Public Suffix List file: sections, rule lines, lowering and
// classification. Every line that cannot become a table entry stops the
// build with a BuildError naming the line.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "rule.h"

namespace builder {

// The rules of the list text, in file order. Throws BuildError.
std::vector<Rule> read_rules(std::string_view list_text);

// The bytes of the file at `path`. Throws BuildError if it cannot be read.
std::string read_list_file(const std::string& path);

}  // namespace builder
