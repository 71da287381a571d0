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

// The suffix label count of names against the compiled list, under the
// flags given.
TEST(MatchSuffix, CountsUnderTheCompiledList) {
    const struct {
        std::string_view name;
        std::size_t expected;
        bool accept_unknown = true;
        bool icann_only = false;
    } cases[] = {
        // Plain rules, the longest winning.
        {"example.com", 1}, {"a.b.example.com", 1}, {"com", 1}, {"uk", 1}, {"co.uk", 2}, {"example.co.uk", 2},
        // Unknown top-level labels; za is only the parent of rules.
        {"example", 1, true, false}, {"example", 0, false, false}, {"example", 1, true, true},
        {"example", 0, false, true}, {"a.example.test", 0, false, false}, {"a.example.test", 0, false, true},
        {"example.za", 1}, {"example.za", 0, false}, {"example.co.za", 2, false},
        // Wildcards and exceptions; a wildcard node reached with no label left
        // matches the whole name.
        {"foo.ck", 2}, {"a.b.foo.ck", 2}, {"ck", 1}, {"ck", 1, false}, {"www.ck", 1}, {"a.www.ck", 1},
        {"sch.uk", 2}, {"example.sch.uk", 3}, {"a.example.sch.uk", 3},
        {"kobe.jp", 2}, {"example.kobe.jp", 3}, {"city.kobe.jp", 2}, {"a.city.kobe.jp", 2},
        // icann_only hides private rules, whose nodes are still walked through.
        {"foo.blogspot.com", 2}, {"foo.blogspot.com", 1, true, true}, {"blogspot.com", 1, false, true},
        {"www.ck", 1, true, true},
        // Unicode and Punycode forms match alike, but not mixed within a rule.
        {"example.公司.cn", 2}, {"example.xn--55qx5d.cn", 2}, {"公司.香港", 2}, {"xn--55qx5d.xn--j6w193g", 2},
        {"xn--55qx5d.香港", 1},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(count(c.name, c.accept_unknown, c.icann_only), c.expected)
            << c.name << " accept_unknown=" << c.accept_unknown << " icann_only=" << c.icann_only;
    }
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
