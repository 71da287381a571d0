#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <random>
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

// Labels that a search must tell from the edges' own: empty, NUL bytes,
// bytes that are no UTF-8, long ones that share eight- and sixteen-byte
// starts, and random bytes.
std::vector<std::string> hostile_labels() {
    std::vector<std::string> labels = {"", std::string(1, '\0'), std::string("a\0", 2), "zz", "\xff", "\xc3",
                                       std::string(300, 'a'), "abcdefgh", "abcdefghi", "abcdefghabcdefgh"};
    std::mt19937 random(16);
    for (int i = 0; i < 200; ++i) {
        std::string label(1 + random() % 24, '\0');
        for (char& c : label) {
            c = static_cast<char>(i % 2 == 0 ? 'a' + random() % 26 : random() % 256);
        }
        labels.push_back(label);
    }
    return labels;
}

// Every node of `table`: each of its labels and labels next to them, and
// the hostile ones, searched through `table` with `index` answer and fault
// exactly as find_child does over the table alone.
void expect_same_as_find_child(const SuffixTable& table, const ChildIndexView& index) {
    const std::vector<std::string> hostile = hostile_labels();
    SuffixTable indexed = table;
    indexed.index = &index;
    for (std::uint32_t node = 0; node < table.nodes.size(); ++node) {
        const Node& entry = table.nodes[node];
        std::vector<std::string> labels = hostile;
        for (std::uint64_t i = entry.first_edge; i < entry.first_edge + entry.edge_count; ++i) {
            const Edge& edge = table.edges[i];
            const std::string label(table.label_pool.substr(edge.label_start, edge.label_end - edge.label_start));
            labels.insert(labels.end(), {label, label + "-", label.substr(0, label.size() / 2), label + '\0'});
        }
        for (const std::string& label : labels) {
            const std::string expected = outcome([&] { return find_child(table, node, label); });
            ASSERT_EQ(outcome([&] { return find_child_indexed(indexed, node, label); }), expected)
                << "node " << node << ", label " << label;
            // As the walk searches it: at the end of a text, its key read with the bytes in front.
            const std::string text = "\xff\xff\xff\xff\xff\xff\xff." + label;
            const std::string_view in_text = std::string_view(text).substr(8);
            ASSERT_EQ(outcome([&] { return find_child_indexed(indexed, node, in_text, text.data()); }), expected)
                << "node " << node << ", label " << label << " in a text";
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

TEST(ChildIndex, GeneratedIndexIsConsistentAndAnswersAsFindChild) {
    const SuffixTable indexed = indexed_compiled_table();
    const SuffixTable plain = compiled_table();
    ASSERT_EQ(plain.index, nullptr);
    // The root and the large top-level labels.
    EXPECT_GT(indexed.index->nodes.size(), 1u);
    EXPECT_EQ(indexed.index->nodes.front().node, 0u);
    EXPECT_TRUE(child_index_is_consistent(plain, *indexed.index));
    expect_same_as_find_child(plain, *indexed.index);
}

TEST(ChildIndex, AnswersAsFindChildOverCrowdedRuns) {
    for (const bool heads : {false, true}) {
        OwnedTable owned = testing::flat_table_of(crowded_labels(200));
        if (heads) {
            owned.with_heads();
        }
        const OwnedChildIndex index = build_child_index(owned.view());
        EXPECT_EQ(index.nodes.size(), 1u);
        EXPECT_TRUE(child_index_is_consistent(owned.view(), index.view()));
        expect_same_as_find_child(owned.view(), index.view());
    }
}

// Every kind of step the walk through the index takes: a child with
// children of its own (its entry from the slot), a leaf (the walk ends), an
// edge that leads nowhere, kinds that differ between the two sections, and,
// where a node's run is unsorted, a node left to the search in between.
// Nodes: 0 the root (a, b, c, d), 1 a (x, y), 2 b, 3 d, 4 a.x, 5 a.y (z), 6 a.y.z.
OwnedTable nested_table(bool sorted) {
    OwnedTable table;
    table.pool = "abcdxyz";  // each label is one byte of the pool
    const auto edge = [](std::uint32_t at, std::int32_t target) { return Edge{at, at + 1, target}; };
    table.edges = {edge(0, 1), edge(1, 2), edge(2, -1), edge(3, 3),
                   sorted ? edge(4, 4) : edge(5, 5), sorted ? edge(5, 5) : edge(4, 4), edge(6, 6)};
    table.nodes = {{0, 4, 0x00}, {4, 2, 0x09}, {7, 0, 0x02}, {7, 0, 0x00}, {7, 0, 0x24}, {6, 1, 0x01}, {7, 0, 0x0A}};
    table.with_heads();
    return table;
}

TEST(ChildIndex, WalksAsTheSearchThroughEveryKindOfStep) {
    std::vector<std::string> names;
    for (std::string name : {"a", "b", "c", "d", "x", "y", "z", "q"}) {
        names.push_back(name);
    }
    for (std::size_t from = 0, depth = 1; depth < 4; ++depth) {
        const std::size_t to = names.size();
        for (std::size_t i = from; i < to; ++i) {
            for (const char* label : {"a", "b", "c", "d", "x", "y", "z", "q"}) {
                names.push_back(std::string(label) + "." + names[i]);
            }
        }
        from = to;
    }
    for (const bool sorted : {true, false}) {
        const OwnedTable owned = nested_table(sorted);
        const OwnedChildIndex index = build_child_index(owned.view());
        ASSERT_TRUE(child_index_is_consistent(owned.view(), index.view()));
        EXPECT_EQ(index.nodes.size(), sorted ? 3u : 2u);
        const ChildIndexView view = index.view();
        SuffixTable indexed = owned.view();
        indexed.index = &view;
        for (const std::string& name : names) {
            const std::size_t labels = static_cast<std::size_t>(std::count(name.begin(), name.end(), '.')) + 1;
            for (const bool accept_unknown : {false, true}) {
                for (const bool icann_only : {false, true}) {
                    ASSERT_EQ(match_suffix(indexed, name, labels, nullptr, accept_unknown, icann_only),
                              match_suffix_searched(owned.view(), name, labels, nullptr, accept_unknown, icann_only))
                        << name << " sorted=" << sorted << " accept_unknown=" << accept_unknown
                        << " icann_only=" << icann_only;
                }
            }
        }
    }
}

// A run that a search could disagree with (unsorted, a wrong head) or fault
// on (a label beyond the pool, or off a character boundary) is never indexed,
// so every search of it goes to find_child, faults included.
TEST(ChildIndex, UnsoundRunsAreNotIndexed) {
    const OwnedTable sound = testing::flat_table_of(crowded_labels(64)).with_heads();
    std::vector<OwnedTable> unsound(4, sound);
    std::swap(unsound[0].edges[10], unsound[0].edges[11]);
    unsound[0].with_heads();
    unsound[1].heads[5] ^= 1;
    unsound[2].edges[7].label_end = static_cast<std::uint32_t>(sound.pool.size() + 1);
    unsound[3].pool += "\xc3\xa9";
    unsound[3].edges[3] = {static_cast<std::uint32_t>(sound.pool.size() + 1), static_cast<std::uint32_t>(sound.pool.size() + 2), 4};
    for (const OwnedTable& owned : unsound) {
        const OwnedChildIndex index = build_child_index(owned.view());
        EXPECT_TRUE(index.nodes.empty());
        EXPECT_TRUE(child_index_is_consistent(owned.view(), index.view()));
    }
}

// Any change to a sound index that could make a search disagree with the
// table, or read beyond the slots, is caught before the index is used.
TEST(ChildIndex, CorruptIndexIsRefused) {
    const OwnedTable owned = testing::flat_table_of(crowded_labels(64)).with_heads();
    const OwnedChildIndex sound = build_child_index(owned.view());
    ASSERT_TRUE(child_index_is_consistent(owned.view(), sound.view()));
    const std::size_t at = std::find_if(sound.slots.begin(), sound.slots.end(),
                                        [](const IndexSlot& s) { return s.edge != NO_EDGE; }) - sound.slots.begin();
    const std::vector<std::function<void(OwnedChildIndex&)>> corruptions = {
        [](OwnedChildIndex& i) { i.nodes[0].slot_mask = 2 * i.nodes[0].slot_mask + 1; },  // beyond the slots
        [](OwnedChildIndex& i) { i.nodes[0].slot_mask /= 2; },                     // some edges left out
        [](OwnedChildIndex& i) { i.nodes[0].seed ^= 1; },                          // slots unreachable
        [](OwnedChildIndex& i) { i.nodes[0].seed = HASH_SEEDS; },
        [](OwnedChildIndex& i) { i.nodes[0].node = 1; },                           // a leaf
        [](OwnedChildIndex& i) { i.nodes.push_back(i.nodes[0]); },                 // twice
        [](OwnedChildIndex& i) { i.node_entries[1] = 0; },                         // a leaf's entry
        [](OwnedChildIndex& i) { i.node_entries[0] = NO_INDEX_ENTRY; },            // an entry unreached
        [](OwnedChildIndex& i) { i.node_entries.pop_back(); },
        [](OwnedChildIndex& i) { i.slots.pop_back(); },
        [&](OwnedChildIndex& i) { i.slots[at].head ^= 1; },
        [&](OwnedChildIndex& i) { i.slots[at].size += 1; },
        [&](OwnedChildIndex& i) { i.slots[at].edge += 1; },                        // one edge twice
        [&](OwnedChildIndex& i) { i.slots[at].edge = 1000; },                      // not the node's
        [&](OwnedChildIndex& i) { i.slots[at] = {0, NO_EDGE, 0, 0, 0}; },          // an edge lost
        [&](OwnedChildIndex& i) { i.slots[at].kinds ^= FLAG_RULE; },               // the child's rules
        [&](OwnedChildIndex& i) { i.slots[at].child_entry ^= 1; },                 // the child's entry
    };
    for (std::size_t i = 0; i < corruptions.size(); ++i) {
        OwnedChildIndex corrupt = sound;
        corruptions[i](corrupt);
        EXPECT_FALSE(child_index_is_consistent(owned.view(), corrupt.view())) << "corruption " << i;
    }
}

// Labels crafted so that all start their search in the same few slots
// under the hash's first key, as a hostile list would: the layout is made
// under another key (or left to the search), never one whose searches take
// thousands of probes, and the answers stay find_child's.
TEST(ChildIndex, CollidingLabelsKeepSearchesShort) {
    constexpr std::size_t COUNT = 2048;
    constexpr std::uint32_t MASK = 2 * COUNT - 1;  // the slots that COUNT edges get
    std::vector<std::string> labels;
    for (std::uint64_t n = 0; labels.size() < COUNT; ++n) {
        std::string label(8, 'a');
        for (std::uint64_t rest = n, i = 0; i < 8; ++i, rest /= 26) {
            label[7 - i] = static_cast<char>('a' + rest % 26);
        }
        if (home_slot(label, 0, MASK) < 4) {
            labels.push_back(label);
        }
    }
    const OwnedTable owned = testing::flat_table_of(labels).with_heads();
    const OwnedChildIndex index = build_child_index(owned.view());
    ASSERT_EQ(index.nodes.size(), 1u);
    EXPECT_NE(index.nodes[0].seed, 0u);
    EXPECT_LE(longest_probe_run(index.view()), MAX_PROBES);
    expect_same_as_find_child(owned.view(), index.view());
}

}  // namespace
}  // namespace lookup
