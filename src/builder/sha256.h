// SHA-256 (FIPS 180-4), used for the checksum text that identifies the copy
// of the list a table was built from.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace builder {

std::array<std::uint8_t, 32> sha256(std::string_view bytes);

// The digest as 64 lowercase hexadecimal digits.
std::string sha256_hex(std::string_view bytes);

}  // namespace builder
