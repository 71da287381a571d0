// Synthetic names of many labels, for the cost per byte of long input.
#pragma once

#include <cstddef>
#include <string>

namespace bench {

enum class LabelText { Ascii, NonAscii };

// `labels` labels in all (at least 3), mixed case, ending in a listed suffix
// so that the walk goes beyond the top label. NonAscii labels carry
// uppercase letters outside ASCII, so lowering decodes every character.
std::string make_long_name(std::size_t labels, LabelText text);

}  // namespace bench
