// Unicode 17.0 case data, looked up in the generated two-stage tables.
#pragma once

namespace lookup {

// The simple lowercase mapping of `cp`, or `cp` itself when it has none.
char32_t simple_lowercase(char32_t cp) noexcept;
// The derived property Cased (Lowercase, Uppercase or general category Lt).
bool is_cased(char32_t cp) noexcept;
// The derived property Case_Ignorable.
bool is_case_ignorable(char32_t cp) noexcept;

}  // namespace lookup
