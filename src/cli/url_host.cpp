#include "url_host.h"

#include <cstddef>

namespace cli {
namespace {

bool is_alpha(char c) noexcept { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool is_digit(char c) noexcept { return c >= '0' && c <= '9'; }
bool is_hex(char c) noexcept { return is_digit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

// `line` less "scheme://" or a leading "//". A scheme without "//" (as
// "mailto:") is left: "host:port" looks just like it.
std::string_view without_scheme(std::string_view line) noexcept {
    std::size_t i = 0;
    if (!line.empty() && is_alpha(line[0])) {
        i = 1;
        while (i < line.size() && (is_alpha(line[i]) || is_digit(line[i]) || line[i] == '+' || line[i] == '-' ||
                                   line[i] == '.')) {
            ++i;
        }
        if (line.substr(i).starts_with("://")) {
            return line.substr(i + 3);
        }
    }
    return line.starts_with("//") ? line.substr(2) : line;
}

// One decimal number from 0 to 255, of one to three digits.
bool is_octet(std::string_view text) noexcept {
    if (text.empty() || text.size() > 3) {
        return false;
    }
    unsigned value = 0;
    for (const char c : text) {
        if (!is_digit(c)) {
            return false;
        }
        value = value * 10 + static_cast<unsigned>(c - '0');
    }
    return value <= 255;
}

bool is_dotted_quad(std::string_view text) noexcept {
    for (int part = 0; part < 3; ++part) {
        const std::size_t dot = text.find('.');
        if (dot == std::string_view::npos || !is_octet(text.substr(0, dot))) {
            return false;
        }
        text.remove_prefix(dot + 1);
    }
    return is_octet(text);
}

}  // namespace

bool is_ipv4(std::string_view text) noexcept {
    if (text.ends_with('.')) {
        text.remove_suffix(1);
    }
    // Most hosts end in a letter: no need to look further.
    return !text.empty() && is_digit(text.back()) && is_dotted_quad(text);
}

bool is_ipv6(std::string_view text) noexcept {
    const std::size_t percent = text.find('%');
    if (percent != std::string_view::npos) {
        if (percent + 1 == text.size()) {
            return false;
        }
        text = text.substr(0, percent);
    }
    std::size_t groups = 0;
    bool compressed = false;
    std::size_t i = 0;
    if (text.starts_with("::")) {
        compressed = true;
        i = 2;
    } else if (text.starts_with(":")) {
        return false;
    }
    while (i < text.size()) {
        std::size_t end = i;
        while (end < text.size() && end - i < 5 && is_hex(text[end])) {
            ++end;
        }
        if (end < text.size() && text[end] == '.') {
            // An IPv4 address in the last 32 bits ends the text.
            if (!is_dotted_quad(text.substr(i))) {
                return false;
            }
            groups += 2;
            break;
        }
        if (end == i || end - i > 4) {
            return false;
        }
        ++groups;
        i = end;
        if (i == text.size()) {
            break;
        }
        if (text[i] != ':') {
            return false;
        }
        ++i;
        if (i < text.size() && text[i] == ':') {
            if (compressed) {
                return false;
            }
            compressed = true;
            ++i;
        } else if (i == text.size()) {
            return false;  // one colon at the end
        }
    }
    return compressed ? groups <= 7 : groups == 8;
}

UrlHost extract_host(std::string_view line) noexcept {
    const std::string_view rest = without_scheme(line);
    // One pass to the end of the authority: the last "@" ends the user info,
    // the first ":" after it starts the port (or is part of a bare IPv6 address).
    std::size_t end = 0;
    std::size_t at = std::string_view::npos;
    std::size_t colon = std::string_view::npos;
    bool more_colons = false;
    for (; end < rest.size(); ++end) {
        const char c = rest[end];
        if (c == '/' || c == '?' || c == '#') {
            break;
        }
        if (c == '@') {
            at = end;
            colon = std::string_view::npos;
            more_colons = false;
        } else if (c == ':') {
            more_colons = colon != std::string_view::npos;
            colon = more_colons ? colon : end;
        }
    }
    const std::size_t start = at == std::string_view::npos ? 0 : at + 1;
    const std::string_view authority = rest.substr(start, end - start);
    if (authority.starts_with('[')) {
        const std::size_t close = authority.find(']');
        const std::string_view inside = authority.substr(1, close == std::string_view::npos ? close : close - 1);
        const bool port_or_nothing = close != std::string_view::npos &&
                                     (close + 1 == authority.size() || authority[close + 1] == ':');
        return {inside, port_or_nothing && is_ipv6(inside) ? HostKind::ipv6 : HostKind::bad_literal};
    }
    if (more_colons && is_ipv6(authority)) {
        return {authority, HostKind::ipv6};
    }
    const std::string_view host = authority.substr(0, colon == std::string_view::npos ? colon : colon - start);
    return {host, is_ipv4(host) ? HostKind::ipv4 : HostKind::name};
}

}  // namespace cli
