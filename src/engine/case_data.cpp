#include "case_data.h"

#include "case_tables.h"

namespace lookup {

char32_t simple_lowercase(char32_t cp) noexcept { return case_tables::lowercase_of(cp); }

bool is_cased(char32_t cp) noexcept { return case_tables::cased(cp); }

bool is_case_ignorable(char32_t cp) noexcept { return case_tables::case_ignorable(cp); }

}  // namespace lookup
