// The engine on huge and hostile names: long labels, a million labels, a
// million dots, NUL bytes, and cuts at the far end of such names.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>

#include "lookup.h"

namespace lookup {
namespace {

constexpr std::size_t MIB = 1024 * 1024;

std::string repeat(std::string_view unit, std::size_t times) {
    std::string out;
    out.reserve(unit.size() * times);
    for (std::size_t i = 0; i < times; ++i) {
        out += unit;
    }
    return out;
}

TEST(HostileInput, TenMebibyteLabelLowersWholeAndMatches) {
    const std::string label = repeat("aB", 5 * MIB);
    const std::string domain = label + ".Example.CO.UK.";
    const auto found = look_up(domain, {.keep_case = true});
    ASSERT_TRUE(found.valid());
    EXPECT_EQ(found.label_count(), 4u);
    EXPECT_EQ(found.domain().lowered(), repeat("ab", 5 * MIB) + ".example.co.uk");
    EXPECT_EQ(found.source().size(), domain.size() - 1);
    EXPECT_EQ(found.suffix_label_count(), 2u);
    EXPECT_EQ(found.private_suffix(), "Example.CO.UK");
    EXPECT_EQ(found.subdomain(1), found.source());
}

TEST(HostileInput, NonAsciiLoweringThatChangesLengthsOverMebibytes) {
    // U+0130 grows by a byte, U+212A KELVIN SIGN shrinks by two.
    const std::string domain = repeat("\xC4\xB0", MIB) + "." + repeat("\xE2\x84\xAA", MIB) + ".COM";
    const auto found = look_up(domain, {});
    ASSERT_TRUE(found.valid());
    EXPECT_EQ(found.source(), repeat("i\xCC\x87", MIB) + "." + repeat("k", MIB) + ".com");
    EXPECT_EQ(found.label_count(), 3u);
    EXPECT_EQ(found.private_suffix(), repeat("k", MIB) + ".com");
    const Lookup kept = look_up(domain, {.keep_case = true});
    EXPECT_EQ(kept.private_suffix(), repeat("\xE2\x84\xAA", MIB) + ".COM");
}

TEST(HostileInput, MillionLabels) {
    constexpr std::size_t count = 1'000'000;
    const std::string domain = repeat("a.", count) + "example.co.uk";
    const auto found = look_up(domain, {.accept_unknown = false, .icann_only = true});
    ASSERT_TRUE(found.valid());
    EXPECT_EQ(found.label_count(), count + 3);
    EXPECT_EQ(found.suffix_label_count(), 2u);
    EXPECT_EQ(found.public_suffix(), "co.uk");
    EXPECT_EQ(found.subdomain(count), found.source());
    EXPECT_EQ(found.subdomain(count - 1), found.source().substr(2));
    EXPECT_FALSE(found.subdomain(count + 1));
    EXPECT_FALSE(found.subdomain(std::numeric_limits<std::uint64_t>::max()));
}

TEST(HostileInput, MillionDotsAreInvalid) {
    const std::string dots(1'000'000, '.');
    EXPECT_FALSE(normalize_domain(dots));
    EXPECT_FALSE(normalize_domain("a" + dots + "b"));
    EXPECT_FALSE(normalize_domain(dots + "com"));
    EXPECT_FALSE(normalize_domain("com" + dots));
    EXPECT_FALSE(normalize_domain(repeat("a.", 500'000) + "." + repeat("b.", 500'000) + "com"));
}

TEST(HostileInput, NulBytesAreOrdinaryLabelBytes) {
    const std::string domain("a\0b.co\0m.com", 12);
    const auto found = look_up(domain, {.accept_unknown = false});
    ASSERT_TRUE(found.valid());
    EXPECT_EQ(found.label_count(), 3u);
    EXPECT_EQ(found.suffix_label_count(), 1u);
    const std::string nul_tld("example.com\0", 12);
    EXPECT_EQ(look_up(nul_tld, {.accept_unknown = false}).suffix_label_count(), 0u);
    EXPECT_EQ(look_up(nul_tld, {}).suffix_label_count(), 1u);
}

}  // namespace
}  // namespace lookup
