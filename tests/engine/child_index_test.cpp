#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "child_index.h"
#include "fault.h"
#include "find_child.h"
#include "table_helpers.h"

namespace lookup {
namespace {

using testing::OwnedTable;

// What a search answers: the node, or the fault's message.
template <class Search>
std::string outcome(Search search) {
    try {
        return std::to_string(search());
    } catch (const Fault& fault) {
        return fault.message();
    }
}

// Searches every label of every node of `table`, and labels next to them,
// through one index, `rounds` times over: each answer and fault must be
// find_child's.
void expect_same_as_find_child(const SuffixTable& table, ChildIndex& index, int rounds) {
    for (int round = 0; round < rounds; ++round) {
        for (std::uint32_t node = 0; node < table.nodes.size(); ++node) {
            const Node& entry = table.nodes[node];
            std::vector<std::string> labels = {"", "zz", std::string("a\0", 2)};
            for (std::uint64_t i = entry.first_edge; i < entry.first_edge + entry.edge_count && i < table.edges.size(); ++i) {
                const Edge& edge = table.edges[i];
                if (edge.label_start <= edge.label_end && edge.label_end <= table.label_pool.size()) {
                    const std::string label(table.label_pool.substr(edge.label_start, edge.label_end - edge.label_start));
                    labels.insert(labels.end(), {label, label + "-", label.substr(0, label.size() / 2), label + '\0'});
                }
            }
            for (const std::string& label : labels) {
                ASSERT_EQ(outcome([&] { return index.find_child(node, label); }),
                          outcome([&] { return find_child(table, node, label); }))
                    << "node " << node << ", label " << label;
            }
        }
    }
}

// Sorted labels of 1 to 20 bytes sharing long prefixes and zero bytes, so
// that the eight-byte keys alone cannot tell them apart.
std::vector<std::string> crowded_labels(std::size_t count) {
    std::vector<std::string> labels;
    for (std::size_t i = 0; i < count; ++i) {
        std::string label(1 + i % 20, 'a');
        label.back() = static_cast<char>(i % 3 == 0 ? '\0' : 'a' + i / 20);
        labels.push_back(label);
    }
    std::sort(labels.begin(), labels.end());
    labels.erase(std::unique(labels.begin(), labels.end()), labels.end());
    return labels;
}

TEST(ChildIndex, AnswersAsFindChildOverTheCompiledTable) {
    const SuffixTable& table = compiled_table();
    ChildIndex index(table);
    expect_same_as_find_child(table, index, 2);
    // The root and the large top-level labels have been indexed by then.
    EXPECT_GT(index.indexed_nodes(), 1u);
}

TEST(ChildIndex, AnswersAsFindChildOverCrowdedRuns) {
    for (const bool heads : {false, true}) {
        OwnedTable owned = testing::flat_table_of(crowded_labels(200));
        if (heads) {
            owned.with_heads();
        }
        ChildIndex index(owned.view());
        expect_same_as_find_child(owned.view(), index, 3);
        EXPECT_EQ(index.indexed_nodes(), 1u);
    }
}

// A run that a search could disagree with (unsorted, a wrong head) or fault
// on (a label beyond the pool, or off a character boundary) is never indexed:
// every search goes to find_child, faults included.
TEST(ChildIndex, UnsoundRunsAreSearchedAsGiven) {
    const OwnedTable sound = testing::flat_table_of(crowded_labels(64)).with_heads();
    std::vector<OwnedTable> unsound(4, sound);
    std::swap(unsound[0].edges[10], unsound[0].edges[11]);
    unsound[0].with_heads();
    unsound[1].heads[5] ^= 1;
    unsound[2].edges[7].label_end = static_cast<std::uint32_t>(sound.pool.size() + 1);
    unsound[3].pool += "\xc3\xa9";
    unsound[3].edges[3] = {static_cast<std::uint32_t>(sound.pool.size() + 1), static_cast<std::uint32_t>(sound.pool.size() + 2), 4};
    for (const OwnedTable& owned : unsound) {
        ChildIndex index(owned.view());
        expect_same_as_find_child(owned.view(), index, 3);
        EXPECT_EQ(index.indexed_nodes(), 0u);
    }
}

}  // namespace
}  // namespace lookup
