// The layout of the generated Unicode case tables (generated/case_tables.cpp)
// and the inline lookups over them, for callers on a hot path.
//
// Every code point has one record: its simple lowercase mapping as a signed
// distance, shifted left by DELTA_SHIFT, with the Cased and Case_Ignorable
// bits below it. Records are found in two stages: BLOCK_OF gives the block of
// the code point's 128-wide slice, RECORD_OF holds the record numbers of all
// distinct blocks one after another, and RECORDS holds the distinct records.
#pragma once

#include <cstdint>

namespace lookup::case_tables {

inline constexpr unsigned BLOCK_SHIFT = 7;
inline constexpr char32_t BLOCK_MASK = (char32_t{1} << BLOCK_SHIFT) - 1;
inline constexpr char32_t CODE_POINT_LIMIT = 0x110000;

inline constexpr std::uint32_t CASED = 1;
inline constexpr std::uint32_t CASE_IGNORABLE = 2;
inline constexpr unsigned DELTA_SHIFT = 2;

extern const std::uint32_t RECORDS[];
extern const std::uint8_t BLOCK_OF[CODE_POINT_LIMIT >> BLOCK_SHIFT];
extern const std::uint8_t RECORD_OF[];

// The record of `cp`; 0 (no mapping, no property) beyond the code space, so
// that stray bytes decoded to large values are harmless.
inline std::uint32_t record_of(char32_t cp) noexcept {
    if (cp >= CODE_POINT_LIMIT) {
        return 0;
    }
    const std::uint32_t block = BLOCK_OF[cp >> BLOCK_SHIFT];
    return RECORDS[RECORD_OF[(block << BLOCK_SHIFT) | (cp & BLOCK_MASK)]];
}

inline char32_t lowercase_of(char32_t cp) noexcept {
    const std::int32_t delta = static_cast<std::int32_t>(record_of(cp)) >> DELTA_SHIFT;
    return cp + static_cast<char32_t>(delta);
}

inline bool cased(char32_t cp) noexcept { return (record_of(cp) & CASED) != 0; }
inline bool case_ignorable(char32_t cp) noexcept { return (record_of(cp) & CASE_IGNORABLE) != 0; }

}  // namespace lookup::case_tables
