// The table compiled into the module, looked at through find_child.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "find_child.h"
#include "suffix_table.h"
#include "list_landmarks.h"
#include "table_helpers.h"

namespace lookup {
namespace {

using testing::node_of;

TEST(CompiledTable, KnownNodesAndFlags) { testing::expect_list_landmarks(compiled_table()); }

TEST(CompiledTable, PrefixCaseAndMissingLabels) {
    const SuffixTable table = compiled_table();
    EXPECT_NE(find_child(table, 0, "co"), find_child(table, 0, "com"));
    EXPECT_NE(find_child(table, 0, "co"), NO_NODE);
    for (const char* miss : {"COM", "", "example", "test", "invalid"}) {
        EXPECT_EQ(find_child(table, 0, miss), NO_NODE) << miss;
    }
    const std::uint32_t ck = node_of(table, "ck");
    EXPECT_EQ(table.nodes[ck].edge_count, 1);
    EXPECT_EQ(find_child(table, ck, "ww"), NO_NODE);
    EXPECT_EQ(find_child(table, ck, "example"), NO_NODE);
    const std::uint32_t ac_uk = node_of(table, "ac.uk");
    EXPECT_EQ(table.nodes[ac_uk].edge_count, 0);
    EXPECT_EQ(find_child(table, ac_uk, "example"), NO_NODE);
}

TEST(CompiledTable, UnicodeRulesAndTheirAliasesAreSeparateTrees) {
    const SuffixTable table = compiled_table();
    const std::uint32_t rf = node_of(table, "рф");
    const std::uint32_t rf_alias = node_of(table, "xn--p1ai");
    EXPECT_NE(rf, rf_alias);
    EXPECT_EQ(table.nodes[rf].flags, 0x09);
    EXPECT_EQ(table.nodes[rf_alias].flags, 0x09);

    const std::uint32_t hk = node_of(table, "香港");
    const std::uint32_t hk_alias = node_of(table, "xn--j6w193g");
    EXPECT_EQ(table.nodes[find_child(table, hk, "公司")].flags, 0x09);
    EXPECT_EQ(find_child(table, hk, "xn--55qx5d"), NO_NODE);
    EXPECT_EQ(table.nodes[find_child(table, hk_alias, "xn--55qx5d")].flags, 0x09);
    EXPECT_EQ(find_child(table, hk_alias, "公司"), NO_NODE);
}

// Every edge is found from its parent by its own label, and labels one byte
// shorter or longer are found only when they exist too.
TEST(CompiledTable, EveryEdgeIsFoundFromItsParent) {
    const SuffixTable table = compiled_table();
    std::size_t checked = 0;
    for (std::uint32_t node = 0; node < table.nodes.size(); ++node) {
        const Node& entry = table.nodes[node];
        std::set<std::string> labels;
        for (std::uint32_t e = entry.first_edge; e < entry.first_edge + entry.edge_count; ++e) {
            labels.emplace(table.label_pool.substr(table.edges[e].label_start,
                                                   table.edges[e].label_end - table.edges[e].label_start));
        }
        for (std::uint32_t e = entry.first_edge; e < entry.first_edge + entry.edge_count; ++e) {
            const Edge& edge = table.edges[e];
            const std::string label(table.label_pool.substr(edge.label_start, edge.label_end - edge.label_start));
            ASSERT_EQ(find_child(table, node, label), static_cast<std::uint32_t>(edge.target)) << label;
            const std::string shorter = label.substr(0, label.size() - 1);
            const std::string longer = label + "a";
            EXPECT_EQ(find_child(table, node, shorter) != NO_NODE, labels.count(shorter) == 1) << shorter;
            EXPECT_EQ(find_child(table, node, longer) != NO_NODE, labels.count(longer) == 1) << longer;
            ++checked;
        }
    }
    EXPECT_EQ(checked, table.edges.size());
}

}  // namespace
}  // namespace lookup
