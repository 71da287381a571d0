// The engine on huge and hostile names: long labels, a million labels, a
// million dots, NUL bytes, and cuts at the far end of such names.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>

#include "lib/cut.h"
#include "match/match_suffix.h"
#include "normalize/normalize.h"

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
    const auto normalized = normalize_domain(domain);
    ASSERT_TRUE(normalized);
    EXPECT_EQ(normalized->label_count(), 4u);
    EXPECT_EQ(normalized->lowered(), repeat("ab", 5 * MIB) + ".example.co.uk");
    EXPECT_EQ(normalized->original().size(), domain.size() - 1);
    const std::size_t p = match_suffix(*normalized, true, false);
    EXPECT_EQ(p, 2u);
    EXPECT_EQ(private_suffix_of(normalized->original(), 4, p), "Example.CO.UK");
    EXPECT_EQ(subdomain_of(normalized->original(), 4, p, 1), normalized->original());
}

TEST(HostileInput, NonAsciiLoweringThatChangesLengthsOverMebibytes) {
    // U+0130 grows by a byte, U+212A KELVIN SIGN shrinks by two.
    const std::string domain = repeat("\xC4\xB0", MIB) + "." + repeat("\xE2\x84\xAA", MIB) + ".COM";
    const auto normalized = normalize_domain(domain);
    ASSERT_TRUE(normalized);
    EXPECT_EQ(normalized->lowered(), repeat("i\xCC\x87", MIB) + "." + repeat("k", MIB) + ".com");
    EXPECT_EQ(normalized->label_count(), 3u);
    const std::size_t p = match_suffix(*normalized, true, false);
    EXPECT_EQ(private_suffix_of(normalized->original(), 3, p), repeat("\xE2\x84\xAA", MIB) + ".COM");
    EXPECT_EQ(private_suffix_of(normalized->lowered(), 3, p), repeat("k", MIB) + ".com");
}

TEST(HostileInput, MillionLabels) {
    constexpr std::size_t count = 1'000'000;
    const std::string domain = repeat("a.", count) + "example.co.uk";
    const auto normalized = normalize_domain(domain);
    ASSERT_TRUE(normalized);
    const std::size_t n = normalized->label_count();
    EXPECT_EQ(n, count + 3);
    const std::size_t p = match_suffix(*normalized, false, true);
    EXPECT_EQ(p, 2u);
    EXPECT_EQ(public_suffix_of(normalized->lowered(), n, p), "co.uk");
    EXPECT_EQ(subdomain_of(normalized->lowered(), n, p, count), normalized->lowered());
    EXPECT_EQ(subdomain_of(normalized->lowered(), n, p, count - 1), normalized->lowered().substr(2));
    EXPECT_FALSE(subdomain_of(normalized->lowered(), n, p, count + 1));
    EXPECT_FALSE(subdomain_of(normalized->lowered(), n, p, std::numeric_limits<std::uint64_t>::max()));
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
    const auto normalized = normalize_domain(domain);
    ASSERT_TRUE(normalized);
    EXPECT_EQ(normalized->label_count(), 3u);
    EXPECT_EQ(match_suffix(*normalized, false, false), 1u);
    const std::string nul_tld("example.com\0", 12);
    const auto unlisted = normalize_domain(nul_tld);
    ASSERT_TRUE(unlisted);
    EXPECT_EQ(match_suffix(*unlisted, false, false), 0u);
    EXPECT_EQ(match_suffix(*unlisted, true, false), 1u);
}

}  // namespace
}  // namespace lookup
