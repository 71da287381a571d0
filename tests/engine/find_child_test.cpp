#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "fault.h"
#include "find_child.h"
#include "table_helpers.h"

namespace lookup {
namespace {

using testing::flat_table;
using testing::OwnedTable;

// The table a list of com, uk and co.uk compiles to.
OwnedTable com_uk_table() {
    OwnedTable table;
    table.pool = "comukco";
    table.nodes = {{0, 2, 0x00}, {2, 0, 0x09}, {2, 1, 0x09}, {3, 0, 0x09}};
    table.edges = {{0, 3, 1}, {3, 5, 2}, {5, 7, 3}};
    return table;
}

TEST(FindChild, FindsEachEdgeAndNothingElse) {
    const OwnedTable owned = com_uk_table();
    const SuffixTable table = owned.view();
    EXPECT_EQ(find_child(table, 0, "com"), 1u);
    EXPECT_EQ(find_child(table, 0, "uk"), 2u);
    EXPECT_EQ(find_child(table, 2, "co"), 3u);
    for (const char* miss : {"co", "comm", "c", "", "COM", "u", "ukk", "zz", "\xff"}) {
        EXPECT_EQ(find_child(table, 0, miss), NO_NODE) << miss;
    }
    EXPECT_EQ(find_child(table, 2, "com"), NO_NODE);
    // Leaves answer nothing for any label.
    EXPECT_EQ(find_child(table, 1, "com"), NO_NODE);
    EXPECT_EQ(find_child(table, 3, ""), NO_NODE);
}

TEST(FindChild, PrefixLabelsAreDistinct) {
    const OwnedTable owned = flat_table({"co", "com", "coma"});
    const SuffixTable table = owned.view();
    EXPECT_EQ(find_child(table, 0, "co"), 1u);
    EXPECT_EQ(find_child(table, 0, "com"), 2u);
    EXPECT_EQ(find_child(table, 0, "coma"), 3u);
    EXPECT_EQ(find_child(table, 0, "c"), NO_NODE);
    EXPECT_EQ(find_child(table, 0, "comas"), NO_NODE);
}

TEST(FindChild, ComparesUnsignedBytes) {
    // Labels starting with a non-ASCII byte sort after every ASCII label.
    const OwnedTable owned = flat_table({"a", "z", "\xc3\xa9", "\xe9\xa6\x99"});
    const SuffixTable table = owned.view();
    EXPECT_EQ(find_child(table, 0, "\xc3\xa9"), 3u);
    EXPECT_EQ(find_child(table, 0, "\xe9\xa6\x99"), 4u);
    EXPECT_EQ(find_child(table, 0, "z"), 2u);
    EXPECT_EQ(find_child(table, 0, "\xc3\xa8"), NO_NODE);
}

// The halving search must find every label of a run of any length, and
// nothing between them.
TEST(FindChild, SearchFindsEveryLabelForEveryRunLength) {
    for (int count = 1; count <= 70; ++count) {
        std::vector<std::string> labels;
        for (int i = 0; i < count; ++i) {
            labels.push_back({'l', static_cast<char>('a' + i / 26), static_cast<char>('a' + i % 26)});
        }
        OwnedTable table = testing::flat_table_of(labels);
        OwnedTable with_heads = table;
        with_heads.with_heads();
        for (const OwnedTable* variant : {&table, &with_heads}) {
            const SuffixTable view = variant->view();
            for (int i = 0; i < count; ++i) {
                ASSERT_EQ(find_child(view, 0, labels[i]), static_cast<std::uint32_t>(i + 1)) << count << " " << labels[i];
                ASSERT_EQ(find_child(view, 0, labels[i] + "-"), NO_NODE);
                ASSERT_EQ(find_child(view, 0, labels[i].substr(0, 2)), NO_NODE);
            }
            ASSERT_EQ(find_child(view, 0, "a"), NO_NODE);
            ASSERT_EQ(find_child(view, 0, "z"), NO_NODE);
        }
    }
}

// Heads pad short labels with zero bytes; a query holding real zero bytes, or
// sharing a head with a longer label, must still find exactly its own edge.
TEST(FindChild, HeadsKeepBytewiseOrder) {
    const std::string_view labels[] = {"a", std::string_view("a\0", 2), "ab", "abc", "abcd", "abcde", "abcdf", "abd",
                                       "b", "\xc3\xa9", "\xc3\xa9t\xc3\xa9"};
    OwnedTable table = testing::flat_table_of(labels);
    table.with_heads();
    const SuffixTable view = table.view();
    for (std::uint32_t i = 0; i < std::size(labels); ++i) {
        EXPECT_EQ(find_child(view, 0, labels[i]), i + 1) << i;
    }
    for (const std::string_view miss : {std::string_view("\0", 1), std::string_view("a\0\0", 3), std::string_view("ab\0", 3),
                                        std::string_view("abcd\0", 5), std::string_view("abce"), std::string_view("\xc3"),
                                        std::string_view("")}) {
        EXPECT_EQ(find_child(view, 0, miss), NO_NODE);
    }
}

TEST(FindChild, NegativeTargetMeansAbsent) {
    OwnedTable owned = flat_table({"com", "net"});
    owned.edges[1].target = -1;
    const SuffixTable table = owned.view();
    EXPECT_EQ(find_child(table, 0, "com"), 1u);
    EXPECT_EQ(find_child(table, 0, "net"), NO_NODE);
}

std::string fault_message(const SuffixTable& table, std::uint32_t node, std::string_view label) {
    try {
        find_child(table, node, label);
    } catch (const Fault& fault) {
        return fault.message();
    }
    return "no fault";
}

// The fault of a search over a table as given (searched through the pool
// alone), which the search with edge heads, the one the module ships, must
// raise as well.
std::string fault_of(const OwnedTable& table, std::uint32_t node, std::string_view label) {
    OwnedTable headed = table;
    headed.with_heads();
    const std::string fault = fault_message(table.view(), node, label);
    EXPECT_EQ(fault_message(headed.view(), node, label), fault) << "with edge heads, searching " << label;
    return fault;
}

TEST(FindChildFaults, EdgeRunBeyondTableIsCheckedEvenForLeaves) {
    OwnedTable owned = com_uk_table();
    owned.nodes[3] = {3, 0, 0x09};  // a leaf whose empty run starts at the end: sound
    EXPECT_EQ(fault_of(owned, 3, "x"), "no fault");
    owned.nodes[3] = {4, 0, 0x09};  // an empty run starting past the end
    EXPECT_EQ(fault_of(owned, 3, "x"), "edge run of node 3 ends beyond the edge table");
    owned.nodes[2] = {2, 2, 0x09};
    EXPECT_EQ(fault_of(owned, 2, "co"), "edge run of node 2 ends beyond the edge table");
    // first_edge + edge_count must not wrap around in 32 bits.
    owned.nodes[2] = {0xFFFFFFFFu, 2, 0x09};
    EXPECT_EQ(fault_of(owned, 2, "co"), "edge run of node 2 ends beyond the edge table");
}

TEST(FindChildFaults, LabelRangesAreValidatedOnEveryProbe) {
    // The first probe of a three-edge run is edge 1; the last probe for "a" is edge 0.
    OwnedTable owned = flat_table({"a", "b", "c"});
    owned.edges[1] = {2, 9, 2};  // ends beyond the 3-byte pool
    EXPECT_EQ(fault_of(owned, 0, "c"), "label of edge 1 lies outside the label pool");
    owned.edges[1] = {2, 1, 2};  // reversed
    EXPECT_EQ(fault_of(owned, 0, "c"), "label of edge 1 lies outside the label pool");

    OwnedTable last = flat_table({"a", "b", "c"});
    last.edges[0] = {0, 4, 1};
    EXPECT_EQ(fault_of(last, 0, "a"), "label of edge 0 lies outside the label pool");
    // A probe that never reaches the bad edge does not fault.
    EXPECT_EQ(fault_of(last, 0, "c"), "no fault");
}

TEST(FindChildFaults, LabelsMustLieOnCharacterBoundaries) {
    OwnedTable owned;
    owned.pool = "a\xc3\xa9";
    owned.nodes = {{0, 1, 0}, {1, 0, 0x09}};
    owned.edges = {{2, 3, 1}};  // starts on the continuation byte
    EXPECT_EQ(fault_of(owned, 0, "a"), "label of edge 0 does not lie on character boundaries");
    owned.edges = {{0, 2, 1}};  // ends inside the character
    EXPECT_EQ(fault_of(owned, 0, "a"), "label of edge 0 does not lie on character boundaries");
    owned.edges = {{1, 3, 1}};  // the whole character: sound
    EXPECT_EQ(find_child(owned.view(), 0, "\xc3\xa9"), 1u);
}

// Both searches validate each edge they probe, and probe the same edges in the
// same order: with two edges of a run corrupt, the fault names the one probed
// first, so equal faults for every pair of edges and every label mean equal
// probe sequences. Labels share heads (the first four bytes) and prefixes, so
// that the heads decide some probes and the pool the others.
TEST(FindChildFaults, BothSearchesProbeTheSameEdgesInTheSameOrder) {
    for (const std::size_t count : {1u, 2u, 3u, 6u, 17u}) {
        std::vector<std::string> labels;
        for (std::size_t i = 0; i < count; ++i) {
            labels.push_back(std::string("abcd").substr(0, 1 + i % 4) + static_cast<char>('a' + i / 4));
        }
        std::sort(labels.begin(), labels.end());
        OwnedTable sound = testing::flat_table_of(labels);
        sound.with_heads();
        std::vector<std::string> queries = {"", "a", "abcdz", "zz", "\xff"};
        for (const std::string& label : labels) {
            queries.insert(queries.end(), {label, label + "a", label.substr(0, label.size() - 1)});
        }
        for (std::size_t first = 0; first < count; ++first) {
            for (std::size_t second = first; second < count; ++second) {
                OwnedTable headed = sound;
                for (const std::size_t edge : {first, second}) {
                    headed.edges[edge].label_end = static_cast<std::uint32_t>(headed.pool.size() + 1);
                }
                OwnedTable plain = headed;
                plain.heads.clear();
                for (const std::string& query : queries) {
                    ASSERT_EQ(fault_message(headed.view(), 0, query), fault_message(plain.view(), 0, query))
                        << count << " edges, " << first << " and " << second << " corrupt, searching " << query;
                }
                // A search probes last the edge that it finds.
                if (first == second) {
                    EXPECT_EQ(fault_message(headed.view(), 0, labels[first]),
                              "label of edge " + std::to_string(first) + " lies outside the label pool");
                }
            }
        }
    }
}

}  // namespace
}  // namespace lookup
