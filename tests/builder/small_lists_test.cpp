// Small lists checked field by field, and the reading of list files.
#include <gtest/gtest.h>

#include <tuple>
#include <vector>

#include "build_error.h"
#include "builder_helpers.h"
#include "layout_validator.h"
#include "list_reader.h"

namespace builder {
namespace {

using testing::list_text;
using testing::node_of;
using NodeFields = std::tuple<unsigned, unsigned, unsigned>;
using EdgeFields = std::tuple<unsigned, unsigned, int>;

std::vector<NodeFields> nodes_of(const CompiledTable& table) {
    std::vector<NodeFields> fields;
    for (const lookup::Node& node : table.nodes) {
        fields.emplace_back(node.first_edge, node.edge_count, node.flags);
    }
    return fields;
}

std::vector<EdgeFields> edges_of(const CompiledTable& table) {
    std::vector<EdgeFields> fields;
    for (const lookup::Edge& edge : table.edges) {
        fields.emplace_back(edge.label_start, edge.label_end, edge.target);
    }
    return fields;
}

CompiledTable build(const std::string& list) {
    CompiledTable table = build_from_list(list).table;
    EXPECT_EQ(testing::layout_violations(table.view()), std::vector<std::string>{});
    return table;
}

TEST(SmallLists, ComUkCoUk) {
    const CompiledTable table = build(list_text({"com", "uk", "co.uk"}));
    EXPECT_EQ(nodes_of(table), (std::vector<NodeFields>{{0, 2, 0x00}, {2, 0, 0x09}, {2, 1, 0x09}, {3, 0, 0x09}}));
    EXPECT_EQ(edges_of(table), (std::vector<EdgeFields>{{0, 3, 1}, {3, 5, 2}, {5, 7, 3}}));
    EXPECT_EQ(table.pool, "comukco");
    EXPECT_EQ(table.distinct_labels, 3u);
}

TEST(SmallLists, SharedLabelReusesItsRange) {
    const CompiledTable table = build(list_text({"com", "uk", "co.uk", "co"}));
    EXPECT_EQ(nodes_of(table),
              (std::vector<NodeFields>{{0, 3, 0x00}, {3, 0, 0x09}, {3, 0, 0x09}, {3, 1, 0x09}, {4, 0, 0x09}}));
    EXPECT_EQ(edges_of(table), (std::vector<EdgeFields>{{0, 2, 1}, {2, 5, 2}, {5, 7, 3}, {0, 2, 4}}));
    EXPECT_EQ(table.pool, "cocomuk");
    EXPECT_EQ(node_of(table, "co"), 1);
    EXPECT_EQ(node_of(table, "com"), 2);
    EXPECT_EQ(node_of(table, "co.uk"), 4);
}

TEST(SmallLists, WildcardAndExceptionLiveInFlags) {
    const CompiledTable table = build(list_text({"*.ck", "!www.ck"}));
    EXPECT_EQ(nodes_of(table), (std::vector<NodeFields>{{0, 1, 0x00}, {1, 1, 0x12}, {2, 0, 0x24}}));
    EXPECT_EQ(edges_of(table), (std::vector<EdgeFields>{{0, 2, 1}, {2, 5, 2}}));
    EXPECT_EQ(table.pool, "ckwww");
}

TEST(SmallLists, IntermediateNodeHasNoRule) {
    const CompiledTable table = build(list_text({"co.uk"}));
    EXPECT_EQ(nodes_of(table), (std::vector<NodeFields>{{0, 1, 0x00}, {1, 1, 0x00}, {2, 0, 0x09}}));
    EXPECT_EQ(table.pool, "ukco");
}

TEST(SmallLists, CapitalsAreLowered) {
    const CompiledTable lower = build(list_text({"co.uk"}));
    const CompiledTable upper = build(list_text({"CO.UK"}));
    EXPECT_EQ(upper.pool, lower.pool);
    EXPECT_EQ(nodes_of(upper), nodes_of(lower));
    EXPECT_EQ(edges_of(upper), edges_of(lower));
    // Non-ASCII capitals take the domain lowering, with its twin from the
    // lowered form: РФ is stored as рф and xn--p1ai.
    const CompiledTable cyrillic = build(list_text({"\xD0\xA0\xD0\xA4"}));
    EXPECT_EQ(cyrillic.pool, "xn--p1ai\xD1\x80\xD1\x84");
}

TEST(SmallLists, PrivateRuleLeavesIcannFieldEmpty) {
    const CompiledTable table = build(list_text({"com"}, {"blogspot.com", "*.stolos.com"}));
    EXPECT_EQ(nodes_of(table), (std::vector<NodeFields>{{0, 1, 0x00}, {1, 2, 0x09}, {3, 0, 0x01}, {3, 0, 0x02}}));
    const auto figures = build_from_list(list_text({"com"}, {"blogspot.com", "*.stolos.com"})).figures;
    EXPECT_EQ(figures.icann_rules.plain, 1u);
    EXPECT_EQ(figures.private_rules.plain, 1u);
    EXPECT_EQ(figures.private_rules.wildcard, 1u);
}

TEST(SmallLists, UnicodeRuleGetsItsPunycodeTwin) {
    // 公司.香港
    const BuildResult result = build_from_list(list_text({"\xE5\x85\xAC\xE5\x8F\xB8.\xE9\xA6\x99\xE6\xB8\xAF"}));
    const CompiledTable& table = result.table;
    EXPECT_EQ(testing::layout_violations(table.view()), std::vector<std::string>{});
    EXPECT_EQ(nodes_of(table),
              (std::vector<NodeFields>{{0, 2, 0x00}, {2, 1, 0x00}, {3, 1, 0x00}, {4, 0, 0x09}, {4, 0, 0x09}}));
    EXPECT_EQ(edges_of(table), (std::vector<EdgeFields>{{0, 11, 1}, {11, 17, 2}, {17, 27, 3}, {27, 33, 4}}));
    EXPECT_EQ(table.pool, "xn--j6w193g\xE9\xA6\x99\xE6\xB8\xAFxn--55qx5d\xE5\x85\xAC\xE5\x8F\xB8");
    EXPECT_EQ(table.pool.size(), 33u);
    EXPECT_EQ(node_of(table, "xn--55qx5d.xn--j6w193g"), 3);
    EXPECT_EQ(node_of(table, "\xE5\x85\xAC\xE5\x8F\xB8.\xE9\xA6\x99\xE6\xB8\xAF"), 4);
    // No mixed forms.
    EXPECT_EQ(node_of(table, "xn--55qx5d.\xE9\xA6\x99\xE6\xB8\xAF"), -1);
    EXPECT_EQ(node_of(table, "\xE5\x85\xAC\xE5\x8F\xB8.xn--j6w193g"), -1);
    EXPECT_EQ(result.figures.aliases, 2u);
    EXPECT_EQ(result.figures.icann_rules.plain, 1u);
}

TEST(SmallLists, TwinChangesOnlyNonAsciiLabels) {
    // 公司.cn: the ASCII label cn is shared by both forms.
    const BuildResult result = build_from_list(list_text({"\xE5\x85\xAC\xE5\x8F\xB8.cn"}));
    const CompiledTable& table = result.table;
    EXPECT_EQ(table.nodes.size(), 4u);
    EXPECT_EQ(table.nodes[static_cast<std::size_t>(node_of(table, "xn--55qx5d.cn"))].flags, 0x09);
    EXPECT_EQ(table.nodes[static_cast<std::size_t>(node_of(table, "\xE5\x85\xAC\xE5\x8F\xB8.cn"))].flags, 0x09);
    EXPECT_EQ(result.figures.aliases, 1u);
}

TEST(SmallLists, XnRulesAreEnteredAsWritten) {
    const BuildResult result = build_from_list(list_text({"xn--p1ai", "XN--55QX5D.cn"}));
    EXPECT_EQ(result.table.pool, "cnxn--p1aixn--55qx5d");
    EXPECT_EQ(result.table.nodes.size(), 4u);
    EXPECT_EQ(result.figures.aliases, 0u);
    EXPECT_EQ(result.figures.icann_rules.plain, 2u);
}

TEST(SmallLists, EmptyListHasOnlyTheRoot) {
    const CompiledTable table = build("");
    EXPECT_EQ(nodes_of(table), (std::vector<NodeFields>{{0, 0, 0x00}}));
    EXPECT_TRUE(table.edges.empty());
    EXPECT_TRUE(table.pool.empty());
    EXPECT_EQ(build(list_text({}, {})).nodes.size(), 1u);
}

// One node hit by several rules keeps one kind per field: exception before
// wildcard before plain, the ICANN field from the ICANN section alone and
// the full-list field from both, so that no rule is lost to either view.
// The result must not depend on the order of the lines.
TEST(SmallLists, OverlappingRulesKeepOneKindInAnyOrder) {
    struct Case {
        std::vector<std::string> icann;
        std::vector<std::string> private_rules;
        unsigned flags;
    };
    const Case cases[] = {
        {{"foo.bar", "*.foo.bar"}, {}, 0x12},
        {{"foo.bar", "!foo.bar", "*.foo.bar"}, {}, 0x24},
        {{"foo.bar", "foo.bar"}, {}, 0x09},
        {{}, {"foo.bar", "*.foo.bar"}, 0x02},
        {{"foo.bar"}, {"*.foo.bar"}, 0x0A},
        {{"*.foo.bar"}, {"foo.bar", "!foo.bar"}, 0x14},
        {{}, {"foo.bar", "!foo.bar"}, 0x04},
    };
    for (const Case& c : cases) {
        for (int reversed = 0; reversed < 2; ++reversed) {
            std::string text = "// ===BEGIN ICANN DOMAINS===\n";
            auto append = [&](const std::vector<std::string>& rules) {
                if (reversed) {
                    for (auto rule = rules.rbegin(); rule != rules.rend(); ++rule) text += *rule + "\n";
                } else {
                    for (const auto& rule : rules) text += rule + "\n";
                }
            };
            append(c.icann);
            text += "// ===END ICANN DOMAINS===\n// ===BEGIN PRIVATE DOMAINS===\n";
            append(c.private_rules);
            text += "// ===END PRIVATE DOMAINS===\n";
            const CompiledTable table = build(text);
            ASSERT_EQ(table.nodes.size(), 3u);
            EXPECT_EQ(table.nodes[2].flags, c.flags) << text;
            EXPECT_EQ(table.nodes[1].flags, 0x00) << text;
        }
    }
}

TEST(ListReader, TakesRuleTextUpToWhitespaceAndSkipsComments) {
    const std::string text =
        "\xEF\xBB\xBF// a byte order mark and a comment\r\n"
        "// ===BEGIN ICANN DOMAINS===\r\n"
        "com\r\n"
        "   \t\r\n"
        "net trailing words are ignored\n"
        "org\t// so is a trailing comment\n"
        "//example.com is a comment, not a rule\n"
        "// ===END ICANN DOMAINS===\n"
        "// between sections\n"
        "// ===BEGIN PRIVATE DOMAINS===\n"
        "Blogspot.COM\n"
        "// ===END PRIVATE DOMAINS===\n"
        "\n"
        "// ===BEGIN ICANN DOMAINS===\n"
        "*.ck\n"
        "// ===END ICANN DOMAINS===";
    const std::vector<Rule> rules = read_rules(text);
    ASSERT_EQ(rules.size(), 5u);
    EXPECT_EQ(rules[0].labels, std::vector<std::string>{"com"});
    EXPECT_EQ(rules[0].line, 3u);
    EXPECT_EQ(rules[1].labels, std::vector<std::string>{"net"});
    EXPECT_EQ(rules[2].labels, std::vector<std::string>{"org"});
    EXPECT_EQ(rules[3].labels, (std::vector<std::string>{"blogspot", "com"}));
    EXPECT_EQ(rules[3].section, Section::private_domains);
    EXPECT_EQ(rules[3].kind, lookup::FLAG_RULE);
    EXPECT_EQ(rules[3].line, 11u);
    EXPECT_EQ(rules[4].labels, std::vector<std::string>{"ck"});
    EXPECT_EQ(rules[4].section, Section::icann);
    EXPECT_EQ(rules[4].kind, lookup::FLAG_WILDCARD);
    EXPECT_EQ(rules[4].line, 15u);
}

TEST(ListReader, ClassifiesRules) {
    const std::vector<Rule> rules = read_rules(list_text({"!City.Kawasaki.JP", "*.kawasaki.jp", "jp"}));
    ASSERT_EQ(rules.size(), 3u);
    EXPECT_EQ(rules[0].kind, lookup::FLAG_EXCEPTION);
    EXPECT_EQ(rules[0].labels, (std::vector<std::string>{"city", "kawasaki", "jp"}));
    EXPECT_EQ(rules[1].kind, lookup::FLAG_WILDCARD);
    EXPECT_EQ(rules[1].labels, (std::vector<std::string>{"kawasaki", "jp"}));
    EXPECT_EQ(rules[2].kind, lookup::FLAG_RULE);
}

}  // namespace
}  // namespace builder
