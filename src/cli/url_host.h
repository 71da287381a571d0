// The host of a URL, or of a host with a port, as a log line gives it: the
// scheme, user info, port, path, query and fragment are cut away, and
// addresses (IPv4, IPv6) are told apart from names, which alone have public
// suffixes.
#pragma once

#include <string_view>

namespace cli {

enum class HostKind {
    name,         // looked up
    ipv4,         // dotted decimal, as 192.0.2.1
    ipv6,         // in brackets, or bare when the text holds nothing else
    bad_literal,  // brackets without an IPv6 address inside: no answers
};

struct UrlHost {
    std::string_view host;  // a view into the line; the address without its brackets
    HostKind kind;
};

UrlHost extract_host(std::string_view line) noexcept;

// Four decimal numbers up to 255 joined by dots, with at most one trailing dot.
bool is_ipv4(std::string_view text) noexcept;
// Eight groups of up to four hex digits, "::" once for one or more groups of
// zeros, an IPv4 address as the last two groups, a zone after "%".
bool is_ipv6(std::string_view text) noexcept;

}  // namespace cli
