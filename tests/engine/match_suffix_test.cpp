#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "fault.h"
#include "match_suffix.h"
#include "table_helpers.h"

namespace lookup {
namespace {

std::size_t labels_in(std::string_view lowered) {
    return static_cast<std::size_t>(std::count(lowered.begin(), lowered.end(), '.')) + 1;
}

std::size_t count(std::string_view lowered, bool accept_unknown = true, bool icann_only = false) {
    return match_suffix(compiled_table(), lowered, labels_in(lowered), accept_unknown, icann_only);
}

TEST(MatchSuffix, PlainRulesLongestWins) {
    EXPECT_EQ(count("example.com"), 1u);
    EXPECT_EQ(count("a.b.example.com"), 1u);
    EXPECT_EQ(count("com"), 1u);
    EXPECT_EQ(count("uk"), 1u);
    EXPECT_EQ(count("co.uk"), 2u);
    EXPECT_EQ(count("example.co.uk"), 2u);
}

TEST(MatchSuffix, UnknownTopLevelLabel) {
    for (const bool icann_only : {false, true}) {
        EXPECT_EQ(count("example", true, icann_only), 1u);
        EXPECT_EQ(count("example", false, icann_only), 0u);
        EXPECT_EQ(count("a.example.test", false, icann_only), 0u);
    }
    // za is only the parent of rules.
    EXPECT_EQ(count("example.za"), 1u);
    EXPECT_EQ(count("example.za", false), 0u);
    EXPECT_EQ(count("example.co.za", false), 2u);
}

TEST(MatchSuffix, WildcardsAndExceptions) {
    EXPECT_EQ(count("foo.ck"), 2u);
    EXPECT_EQ(count("a.b.foo.ck"), 2u);
    EXPECT_EQ(count("ck"), 1u);
    EXPECT_EQ(count("ck", false), 1u);  // the wildcard node reached with no label left
    EXPECT_EQ(count("www.ck"), 1u);
    EXPECT_EQ(count("a.www.ck"), 1u);
    EXPECT_EQ(count("sch.uk"), 2u);
    EXPECT_EQ(count("example.sch.uk"), 3u);
    EXPECT_EQ(count("a.example.sch.uk"), 3u);
    EXPECT_EQ(count("kobe.jp"), 2u);
    EXPECT_EQ(count("example.kobe.jp"), 3u);
    EXPECT_EQ(count("city.kobe.jp"), 2u);
    EXPECT_EQ(count("a.city.kobe.jp"), 2u);
}

TEST(MatchSuffix, IcannOnlyHidesPrivateRules) {
    EXPECT_EQ(count("foo.blogspot.com"), 2u);
    EXPECT_EQ(count("foo.blogspot.com", true, true), 1u);
    EXPECT_EQ(count("blogspot.com", false, true), 1u);
    // Private rules are still walked through under icann_only.
    EXPECT_EQ(count("www.ck", true, true), 1u);
}

TEST(MatchSuffix, UnicodeAndPunycodeFormsMatchAlike) {
    EXPECT_EQ(count("example.公司.cn"), 2u);
    EXPECT_EQ(count("example.xn--55qx5d.cn"), 2u);
    EXPECT_EQ(count("公司.香港"), 2u);
    EXPECT_EQ(count("xn--55qx5d.xn--j6w193g"), 2u);
    // A rule is not found when its labels mix both forms.
    EXPECT_EQ(count("xn--55qx5d.香港"), 1u);
}

TEST(MatchSuffix, CountNeverExceedsLabels) {
    for (const char* name : {"ck", "sch.uk", "kobe.jp", "com", "co.uk", "x", "www.ck"}) {
        for (const bool accept_unknown : {false, true}) {
            for (const bool icann_only : {false, true}) {
                EXPECT_LE(count(name, accept_unknown, icann_only), labels_in(name)) << name;
            }
        }
    }
}

TEST(MatchSuffix, OverHandMadeTable) {
    // root -> ck (*.ck), ck -> www (!www.ck)
    testing::OwnedTable owned;
    owned.pool = "ckwww";
    owned.nodes = {{0, 1, 0x00}, {1, 1, 0x12}, {2, 0, 0x24}};
    owned.edges = {{0, 2, 1}, {2, 5, 2}};
    const SuffixTable table = owned.view();
    EXPECT_EQ(match_suffix(table, "a.b.foo.ck", 4, true, false), 2u);
    EXPECT_EQ(match_suffix(table, "a.www.ck", 3, false, false), 1u);
    EXPECT_EQ(match_suffix(table, "ck", 1, false, true), 1u);
    EXPECT_EQ(match_suffix(table, "example", 1, false, false), 0u);
}

TEST(MatchSuffixFaults, ChildBeyondNodeTable) {
    testing::OwnedTable owned = testing::flat_table({"com"});
    owned.edges[0].target = 2;  // two nodes: 0 and 1
    EXPECT_THROW(
        {
            try {
                match_suffix(owned.view(), "a.com", 2, true, false);
            } catch (const Fault& fault) {
                EXPECT_EQ(fault.message(), "node 2 lies beyond the node table");
                throw;
            }
        },
        Fault);
    testing::OwnedTable empty;
    EXPECT_THROW(match_suffix(empty.view(), "com", 1, true, false), Fault);
}

}  // namespace
}  // namespace lookup
