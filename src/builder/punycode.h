// Punycode (RFC 3492) encoding of one label, for the "xn--" twins of rules
// with non-ASCII labels.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace builder {

// The Punycode form of `code_points` (without the "xn--" prefix), or nothing
// when the encoding overflows. Basic code points are copied as they are.
std::optional<std::string> punycode_encode(std::u32string_view code_points);

}  // namespace builder
