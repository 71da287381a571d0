// Hosts taken from URLs and log lines, and the address forms that get no answers.
#include <gtest/gtest.h>

#include <string_view>

#include "url_host.h"

namespace {

using cli::HostKind;

struct HostCase {
    std::string_view line;
    std::string_view host;
    HostKind kind;
};

TEST(ExtractHost, CutsTheAuthorityDownToItsHost) {
    const HostCase cases[] = {
        {"example.com", "example.com", HostKind::name},
        {"//cdn.example.com/x", "cdn.example.com", HostKind::name},
        {"web+app.v2://x.example.com", "x.example.com", HostKind::name},
        {"mailto:someone@example.com", "example.com", HostKind::name},
        {"a@b@c.example.com:22", "c.example.com", HostKind::name},
        {"http://example.com?next=a@b.com", "example.com", HostKind::name},
        {"http://example.com#x:1", "example.com", HostKind::name},
        {"example.com:", "example.com", HostKind::name},
        {"http://", "", HostKind::name},
        {"", "", HostKind::name},
        {"1.2.3.4:80", "1.2.3.4", HostKind::ipv4},
        {"user@1.2.3.4.", "1.2.3.4.", HostKind::ipv4},
        {"1.2.3.256", "1.2.3.256", HostKind::name},
        {"http://[::1]", "::1", HostKind::ipv6},
        {"[fe80::1%25eth0]:8080/x", "fe80::1%25eth0", HostKind::ipv6},
        {"2001:db8::1", "2001:db8::1", HostKind::ipv6},
        {"[::1]x", "::1", HostKind::bad_literal},
        {"[example.com]", "example.com", HostKind::bad_literal},
        {"http://[::1/", "::1", HostKind::bad_literal},
    };
    for (const HostCase& c : cases) {
        const cli::UrlHost found = cli::extract_host(c.line);
        EXPECT_EQ(found.host, c.host) << c.line;
        EXPECT_EQ(found.kind, c.kind) << c.line;
    }
}

TEST(AddressForms, Ipv6) {
    for (const std::string_view text : {"::", "::1", "1::", "1:2:3:4:5:6:7:8", "1:2:3:4:5:6:7::", "::ffff:192.0.2.1",
                                        "64:ff9b::192.0.2.33", "fe80::1%eth0", "ABCD:ef01::"}) {
        EXPECT_TRUE(cli::is_ipv6(text)) << text;
    }
    for (const std::string_view text : {"", ":", ":1", "1:", ":::", "1:2:3:4:5:6:7:8:9", "1:2:3:4:5:6:7:8::",
                                        "1::2::3", "12345::", "g::1", "::1.2.3", "1.2.3.4", "fe80::1%",
                                        "::1.2.3.4:5"}) {
        EXPECT_FALSE(cli::is_ipv6(text)) << text;
    }
}

TEST(AddressForms, Ipv4) {
    for (const std::string_view text : {"0.0.0.0", "255.255.255.255", "192.0.2.1."}) {
        EXPECT_TRUE(cli::is_ipv4(text)) << text;
    }
    for (const std::string_view text : {"", "256.1.1.1", "1.2.3", "1.2.3.4.5", "1..2.3", "a.b.c.d", "1.2.3.4..",
                                        "1.2.3.0004", "1.2.3.4 "}) {
        EXPECT_FALSE(cli::is_ipv4(text)) << text;
    }
}

}  // namespace
