// The columns that lookup-psl can print, by the names that --fields, the
// header line and the JSON keys use.
#pragma once

#include <optional>
#include <string_view>
#include <vector>

namespace cli {

enum class Column { domain, host, address, publicsuffix, privatesuffix, privateparts, subdomain };

inline constexpr Column ALL_COLUMNS[] = {Column::domain,        Column::host,          Column::address,
                                         Column::publicsuffix,  Column::privatesuffix, Column::privateparts,
                                         Column::subdomain};

std::string_view column_name(Column column) noexcept;
std::optional<Column> column_named(std::string_view name) noexcept;

// The columns printed without --fields: the domain, the host and address
// columns of --urls, the three answers, and subdomain with --depth.
std::vector<Column> default_columns(bool urls, bool depth);

}  // namespace cli
