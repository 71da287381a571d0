#include "rows.h"

#include <optional>

#include "escapes.h"
#include "url_host.h"

namespace cli {
namespace {

constexpr std::string_view NO_ANSWER = "-";

// Everything one row is made of.
struct Row {
    std::string_view line;
    TextTraits line_traits;
    UrlHost host;
    bool host_is_utf8;
    const lookup::Lookup& answers;
};

std::optional<std::string_view> address_of(HostKind kind) noexcept {
    switch (kind) {
    case HostKind::ipv4: return "ipv4";
    case HostKind::ipv6: return "ipv6";
    default: return std::nullopt;
    }
}

std::optional<std::string_view> text_answer(Column column, const Row& row, std::uint64_t depth) noexcept {
    switch (column) {
    case Column::publicsuffix: return row.answers.public_suffix();
    case Column::privatesuffix: return row.answers.private_suffix();
    case Column::subdomain: return row.answers.subdomain(depth);
    case Column::address: return address_of(row.host.kind);
    default: return std::nullopt;
    }
}

// The subdomain labels and the private suffix, each handed to `item`.
template <typename Item>
bool for_each_part(const lookup::Lookup& answers, Item&& item) {
    const auto parts = answers.private_parts();
    if (!parts) {
        return false;
    }
    std::string_view rest = parts->text;
    for (std::size_t i = 0; i < parts->labels_in_front; ++i) {
        item(lookup::take_label(rest));
    }
    item(rest);
    return true;
}

void append_tsv_row(const RowFormat& format, const Row& row, ByteBuffer& out) {
    // Every column is a piece of the line or of its lowercase form, which
    // holds the separators exactly where the line does.
    const bool escape = row.line_traits.separators;
    bool first = true;
    for (const Column column : format.columns) {
        if (!first) {
            out.push_back('\t');
        }
        first = false;
        if (column == Column::domain || column == Column::host) {
            append_tsv_field(out, column == Column::domain ? row.line : row.host.host, escape);
        } else if (column == Column::privateparts) {
            bool first_part = true;
            const bool any = for_each_part(row.answers, [&](std::string_view part) {
                if (!first_part) {
                    out.push_back(',');
                }
                first_part = false;
                append_tsv_field(out, part, escape);
            });
            if (!any) {
                out.append(NO_ANSWER);
            }
        } else {
            append_tsv_field(out, text_answer(column, row, format.depth).value_or(NO_ANSWER), escape);
        }
    }
    out.push_back('\n');
}

void append_json_row(const RowFormat& format, const Row& row, ByteBuffer& out) {
    out.push_back('{');
    bool first = true;
    for (const Column column : format.columns) {
        out.append(first ? "\"" : ", \"");
        first = false;
        out.append(column_name(column));
        out.append("\": ");
        if (column == Column::domain) {
            append_json_string(out, row.line, row.line_traits.utf8);
        } else if (column == Column::host) {
            append_json_string(out, row.host.host, row.host_is_utf8);
        } else if (column == Column::privateparts) {
            bool first_part = true;
            const bool any = for_each_part(row.answers, [&](std::string_view part) {
                out.append(first_part ? "[" : ", ");
                first_part = false;
                append_json_string(out, part, true);
            });
            out.append(any ? "]" : "null");
        } else if (const auto answer = text_answer(column, row, format.depth)) {
            append_json_string(out, *answer, true);
        } else {
            out.append("null");
        }
    }
    out.append("}\n");
}

}  // namespace

void append_row(const RowFormat& format, std::string_view line, ByteBuffer& out) {
    const TextTraits line_traits = traits_of(line);
    const UrlHost host = format.urls ? extract_host(line) : UrlHost{line, HostKind::name};
    // The host is cut from the line at ASCII bytes: well-formed if the line is.
    const bool host_is_utf8 = line_traits.utf8 || (format.urls && is_utf8(host.host));
    // Addresses and text that is not UTF-8 are looked up as the empty name,
    // which is invalid: every answer is None.
    const bool answerable = host.kind == HostKind::name && host_is_utf8 && format.asks_table();
    const lookup::Lookup answers = lookup::look_up(*format.table, answerable ? host.host : std::string_view(), format.flags);
    const Row row{line, line_traits, host, host_is_utf8, answers};
    if (format.json) {
        append_json_row(format, row, out);
    } else {
        append_tsv_row(format, row, out);
    }
}

bool RowFormat::asks_table() const noexcept {
    for (const Column column : columns) {
        if (column != Column::domain && column != Column::host && column != Column::address) {
            return true;
        }
    }
    return false;
}

void append_header(const RowFormat& format, ByteBuffer& out) {
    bool first = true;
    for (const Column column : format.columns) {
        if (!first) {
            out.push_back('\t');
        }
        first = false;
        out.append(column_name(column));
    }
    out.push_back('\n');
}

}  // namespace cli
