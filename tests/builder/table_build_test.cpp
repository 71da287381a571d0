// The build that programs run at run time: extra rules, the list's header
// lines and rule counts, the same table as the build-time tool, and lookups
// through look_up over the table it makes.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "build.h"
#include "build_error.h"
#include "builder_helpers.h"
#include "lookup.h"

namespace builder {
namespace {

using testing::list_text;

struct Expected {
    std::string_view domain;
    std::optional<std::string_view> public_suffix;
    std::optional<std::string_view> private_suffix;
};

void expect_answers(const TableBuild& built, const std::vector<Expected>& cases, lookup::QueryFlags flags = {}) {
    const lookup::SuffixTable table = built.table.view(built.checksum);
    for (const Expected& c : cases) {
        const lookup::Lookup found = lookup::look_up(table, c.domain, flags);
        EXPECT_EQ(found.public_suffix(), c.public_suffix) << c.domain;
        EXPECT_EQ(found.private_suffix(), c.private_suffix) << c.domain;
    }
}

// A matching exception prevails over every other rule, those below it too.
TEST(TableBuild, ExceptionPrevailsOverRulesBelowIt) {
    const TableBuild built =
        build_table(list_text({"ck", "*.ck", "!www.ck", "a.www.ck", "*.b.www.ck"}, {"c.www.ck"}));
    const std::vector<Expected> cases = {
        {"www.ck", "ck", "www.ck"},
        {"x.a.www.ck", "ck", "www.ck"},
        {"y.x.b.www.ck", "ck", "www.ck"},
        {"x.c.www.ck", "ck", "www.ck"},
        {"x.other.ck", "other.ck", "x.other.ck"},
    };
    expect_answers(built, cases);
    expect_answers(built, cases, {.icann_only = true});
}

TEST(TableBuild, ExtraRulesJoinThePrivateSection) {
    const std::string_view extra[] = {"Example.COM", "*.dyn.example.org  trailing text", "!www.dyn.example.org"};
    const TableBuild built = build_table(list_text({"com", "org"}, {"blogspot.com"}), extra);
    EXPECT_EQ(built.info.icann_rules, 2u);
    EXPECT_EQ(built.info.private_rules, 4u);
    expect_answers(built, {{"a.example.com", "example.com", "a.example.com"},
                           {"b.a.dyn.example.org", "a.dyn.example.org", "b.a.dyn.example.org"},
                           {"a.www.dyn.example.org", "dyn.example.org", "www.dyn.example.org"}});
    expect_answers(built, {{"a.example.com", "com", "example.com"}}, {.icann_only = true});
    // The checksum is the list's own: extra rules are not part of its bytes.
    EXPECT_EQ(built.checksum, build_table(list_text({"com", "org"}, {"blogspot.com"})).checksum);
}

TEST(TableBuild, BadExtraRuleNamesItsPosition) {
    const std::vector<std::pair<std::string_view, std::string_view>> bad = {
        {"foo..com", "empty label"},
        {"", "holds no rule"},
        {"   ", "holds no rule"},
        {"// comment", "holds no rule"},
        {"a.com\nb.com", "line break"},
        {" a.com", "begins with whitespace"},
        {"bad\xC3(.com", "not valid UTF-8"},
        {"!com", "at least two labels"},
    };
    for (const auto& [rule, reason] : bad) {
        const std::string_view extra[] = {"fine.com", rule};
        try {
            build_table(list_text({"com"}), extra);
            ADD_FAILURE() << "accepted: " << rule;
        } catch (const BuildError& error) {
            EXPECT_EQ(error.extra_rule(), 2u) << error.what();
            EXPECT_EQ(error.line(), 0u) << error.what();
            EXPECT_TRUE(std::string(error.what()).starts_with("extra rule 2: ")) << error.what();
            EXPECT_NE(error.reason().find(reason), std::string::npos) << error.what();
        }
    }
}

TEST(TableBuild, HeaderLinesAndRuleCounts) {
    const std::string header = "// VERSION: 2025-06-01_12-00-00_UTC\n//COMMIT:  0123abcd \n// VERSION: later\n";
    const TableBuild built = build_table(header + list_text({"com", "*.ck", "!www.ck"}, {"blogspot.com"}));
    EXPECT_EQ(built.info.version, "2025-06-01_12-00-00_UTC");
    EXPECT_EQ(built.info.commit, "0123abcd");
    EXPECT_EQ(built.info.icann_rules, 3u);
    EXPECT_EQ(built.info.private_rules, 1u);

    const TableBuild bare = build_table(list_text({"com"}) + "// VERSION:\n");
    EXPECT_EQ(bare.info.version, std::nullopt);
    EXPECT_EQ(bare.info.commit, std::nullopt);
}

// Nothing at all is a list: the root alone, and every name gets the
// implicit rule "*".
TEST(TableBuild, EmptyListHasOnlyTheImplicitRule) {
    const TableBuild built = build_table("");
    EXPECT_EQ(built.table.nodes.size(), 1u);
    EXPECT_EQ(built.info.icann_rules + built.info.private_rules, 0u);
    expect_answers(built, {{"www.example.com", "com", "example.com"}});
}

TEST(TableBuild, SameTableAsTheBuildTimeTool) {
    const std::string list = testing::read_file(testing::list_path());
    const TableBuild built = build_table(list);
    const BuildResult tool = build_from_list(list);
    EXPECT_EQ(built.checksum, tool.checksum);
    EXPECT_EQ(built.table.pool, tool.table.pool);
    EXPECT_EQ(built.table.heads, tool.table.heads);
    ASSERT_EQ(built.table.nodes.size(), tool.table.nodes.size());
    ASSERT_EQ(built.table.edges.size(), tool.table.edges.size());
    for (std::size_t i = 0; i < built.table.nodes.size(); ++i) {
        const lookup::Node& a = built.table.nodes[i];
        const lookup::Node& b = tool.table.nodes[i];
        ASSERT_TRUE(a.first_edge == b.first_edge && a.edge_count == b.edge_count && a.flags == b.flags) << i;
    }
    for (std::size_t i = 0; i < built.table.edges.size(); ++i) {
        const lookup::Edge& a = built.table.edges[i];
        const lookup::Edge& b = tool.table.edges[i];
        ASSERT_TRUE(a.label_start == b.label_start && a.label_end == b.label_end && a.target == b.target) << i;
    }
    EXPECT_TRUE(built.table.info.empty());
    EXPECT_EQ(built.info.icann_rules + built.info.private_rules, 10239u);
}

}  // namespace
}  // namespace builder
