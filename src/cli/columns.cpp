#include "columns.h"

namespace cli {

std::string_view column_name(Column column) noexcept {
    switch (column) {
    case Column::domain: return "domain";
    case Column::host: return "host";
    case Column::address: return "address";
    case Column::publicsuffix: return "publicsuffix";
    case Column::privatesuffix: return "privatesuffix";
    case Column::privateparts: return "privateparts";
    case Column::subdomain: return "subdomain";
    }
    return {};
}

std::optional<Column> column_named(std::string_view name) noexcept {
    for (const Column column : ALL_COLUMNS) {
        if (column_name(column) == name) {
            return column;
        }
    }
    return std::nullopt;
}

std::vector<Column> default_columns(bool urls, bool depth) {
    std::vector<Column> columns{Column::domain};
    if (urls) {
        columns.insert(columns.end(), {Column::host, Column::address});
    }
    columns.insert(columns.end(), {Column::publicsuffix, Column::privatesuffix, Column::privateparts});
    if (depth) {
        columns.push_back(Column::subdomain);
    }
    return columns;
}

}  // namespace cli
