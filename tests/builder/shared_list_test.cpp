// The copy of the list compiled into the module: its figures, its layout,
// and independence from the order of its lines.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "builder_helpers.h"
#include "engine/list_landmarks.h"
#include "layout_validator.h"
#include "writer.h"

namespace builder {
namespace {

class SharedList : public ::testing::Test {
protected:
    void SetUp() override {
        if (!std::filesystem::exists(testing::list_path())) {
            GTEST_SKIP() << "no list at " << testing::list_path();
        }
        if (!result_) {
            text_ = new std::string(testing::read_file(testing::list_path()));
            result_ = new BuildResult(build_from_list(*text_));
        }
    }

    static const std::string& text() { return *text_; }
    static const BuildResult& result() { return *result_; }

private:
    static inline std::string* text_ = nullptr;
    static inline BuildResult* result_ = nullptr;
};

TEST_F(SharedList, FiguresMatchTheListCompiledIn) {
    const Figures& f = result().figures;
    EXPECT_EQ(f.nodes, 11103u);
    EXPECT_EQ(f.edges, 11102u);
    EXPECT_EQ(f.pool_bytes, 53051u);
    EXPECT_EQ(f.labels, 7235u);
    EXPECT_EQ(f.icann_rules.plain, 6925u);
    EXPECT_EQ(f.icann_rules.wildcard, 16u);
    EXPECT_EQ(f.icann_rules.exception, 8u);
    EXPECT_EQ(f.private_rules.plain, 3025u);
    EXPECT_EQ(f.private_rules.wildcard, 265u);
    EXPECT_EQ(f.private_rules.exception, 0u);
    EXPECT_EQ(f.flags, (std::map<std::uint8_t, std::size_t>{
                           {0x00, 405}, {0x09, 7371}, {0x12, 16}, {0x24, 8}, {0x01, 3038}, {0x02, 265}}));
    EXPECT_EQ(f.depths, (std::vector<std::size_t>{1609, 5846, 2667, 744, 225, 11}));
    EXPECT_EQ(f.aliases, 461u);
    EXPECT_EQ(f.root_edges, 1609u);
    EXPECT_EQ(f.max_edge_count, 1609u);
    EXPECT_EQ(f.max_label_bytes, 33u);
    EXPECT_EQ(f.checksum, "fe6adc7fb8014f57d28d69b18d0aa3e581efb432544922e12131a5d4a87bd954");
}

TEST_F(SharedList, NodesSitWhereTheModuleExpectsThem) {
    lookup::testing::expect_list_landmarks(result().table.view(result().checksum));
}

TEST_F(SharedList, TopLevelLabelsOpenThePoolInOrder) {
    const CompiledTable& table = result().table;
    const lookup::Edge& last_root_edge = table.edges[1608];
    std::string top_level;
    for (std::size_t k = 0; k < 1609; ++k) {
        top_level += testing::label_of(table, table.edges[k]);
    }
    EXPECT_EQ(table.pool.substr(0, last_root_edge.label_end), top_level);
    std::size_t top_flags[256] = {};
    for (std::size_t node = 1; node <= 1609; ++node) {
        ++top_flags[table.nodes[node].flags];
    }
    EXPECT_EQ(top_flags[0x09], 1601u);
    EXPECT_EQ(top_flags[0x12], 7u);
    EXPECT_EQ(top_flags[0x00], 1u);
}

TEST_F(SharedList, ObeysEveryLayoutRule) {
    EXPECT_EQ(testing::layout_violations(result().table.view(result().checksum)), std::vector<std::string>{});
}

// The validator must notice when a rule is broken, or its silence above
// means nothing.
TEST_F(SharedList, ValidatorCatchesBrokenTables) {
    auto violations_after = [&](auto&& damage) {
        CompiledTable copy = result().table;
        damage(copy);
        return testing::layout_violations(copy.view());
    };
    auto first_rule = [](const std::vector<std::string>& problems) {
        return problems.empty() ? std::string() : problems.front().substr(0, problems.front().find(':'));
    };
    EXPECT_EQ(first_rule(violations_after([](CompiledTable& t) { t.nodes[0].flags = 0x09; })), "rule 1");
    EXPECT_EQ(first_rule(violations_after([](CompiledTable& t) { t.edges[5].target = 7; })), "rule 1");
    EXPECT_EQ(first_rule(violations_after([](CompiledTable& t) { t.nodes[11102].first_edge = 11102; t.nodes[11102].edge_count = 1; })), "rule 2");
    EXPECT_EQ(first_rule(violations_after([](CompiledTable& t) { std::swap(t.edges[3].label_start, t.edges[4].label_start); std::swap(t.edges[3].label_end, t.edges[4].label_end); })), "rule 3");
    EXPECT_EQ(first_rule(violations_after([](CompiledTable& t) { t.edges[10].label_end = t.edges[10].label_start; })), "rule 4");
    EXPECT_EQ(first_rule(violations_after([](CompiledTable& t) { t.edges[11101].label_end = 53052; })), "rule 4");
    EXPECT_EQ(first_rule(violations_after([](CompiledTable& t) { t.nodes[1].first_edge = 1608; })), "rule 5");
    EXPECT_EQ(first_rule(violations_after([](CompiledTable& t) { t.pool += "x"; })), "rule 7");
    EXPECT_EQ(first_rule(violations_after([](CompiledTable& t) { t.nodes[259].flags = 0x03; })), "flags");
    EXPECT_EQ(first_rule(violations_after([](CompiledTable& t) { t.nodes[259].flags = 0x11; })), "flags");
    EXPECT_EQ(first_rule(violations_after([](CompiledTable& t) { t.pool[0] = 'A'; })), "labels");
}

// Shuffles the lines between the section markers, each within its section.
std::string shuffled(const std::string& text, unsigned seed) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = std::min(text.find('\n', start), text.size());
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    std::mt19937 random(seed);
    std::size_t section_start = 0;
    for (std::size_t i = 0; i <= lines.size(); ++i) {
        if (i == lines.size() || lines[i].find("===") != std::string::npos) {
            std::shuffle(lines.begin() + static_cast<long>(section_start), lines.begin() + static_cast<long>(i), random);
            section_start = i + 1;
        }
    }
    std::string out;
    for (const std::string& line : lines) {
        out += line + "\n";
    }
    return out;
}

TEST_F(SharedList, ShufflingLinesWithinSectionsChangesNoByte) {
    const GeneratedSource original = render_table(result().table, result().checksum);
    for (const unsigned seed : {1u, 2u, 3u}) {
        const std::string text = shuffled(this->text(), seed);
        ASSERT_NE(text, this->text());
        const BuildResult other = build_from_list(text);
        EXPECT_EQ(other.table.pool, result().table.pool);
        EXPECT_TRUE(std::ranges::equal(other.table.nodes, result().table.nodes, [](const auto& a, const auto& b) {
            return a.first_edge == b.first_edge && a.edge_count == b.edge_count && a.flags == b.flags;
        }));
        EXPECT_TRUE(std::ranges::equal(other.table.edges, result().table.edges, [](const auto& a, const auto& b) {
            return a.label_start == b.label_start && a.label_end == b.label_end && a.target == b.target;
        }));
        // Only the checksum, taken over the file's bytes, may differ.
        EXPECT_NE(other.checksum, result().checksum);
        const GeneratedSource source = render_table(other.table, result().checksum);
        EXPECT_EQ(source.header, original.header);
        EXPECT_EQ(source.source, original.source);
    }
}

TEST_F(SharedList, ToolPrintsTheFiguresAsJson) {
    testing::ScratchDir scratch;
    const auto result = testing::run_builder(scratch, "--json " + testing::quoted(testing::list_path().string()));
    EXPECT_EQ(result.exit_code, 0) << result.err;
    EXPECT_EQ(result.out,
              "{\"nodes\": 11103, \"edges\": 11102, \"pool_bytes\": 53051, \"labels\": 7235, "
              "\"rules\": {\"icann\": {\"plain\": 6925, \"wildcard\": 16, \"exception\": 8}, "
              "\"private\": {\"plain\": 3025, \"wildcard\": 265, \"exception\": 0}}, "
              "\"flags\": {\"0x00\": 405, \"0x01\": 3038, \"0x02\": 265, \"0x09\": 7371, \"0x12\": 16, \"0x24\": 8}, "
              "\"depths\": [1609, 5846, 2667, 744, 225, 11], \"aliases\": 461, \"root_edges\": 1609, "
              "\"max_edge_count\": 1609, \"max_label_bytes\": 33, "
              "\"checksum\": \"fe6adc7fb8014f57d28d69b18d0aa3e581efb432544922e12131a5d4a87bd954\"}\n");
    // Without OUT_DIR nothing is written; with it, exactly the two files.
    EXPECT_EQ(scratch.entries("."), std::vector<std::string>{});
    const auto written = testing::run_builder(scratch, testing::quoted(testing::list_path().string()) + " " +
                                                           testing::quoted((scratch / "out").string()));
    EXPECT_EQ(written.exit_code, 0) << written.err;
    EXPECT_NE(written.out.find("nodes            11103"), std::string::npos) << written.out;
    std::vector<std::string> files = scratch.entries("out");
    std::sort(files.begin(), files.end());
    EXPECT_EQ(files, (std::vector<std::string>{"psl_index.cpp", "psl_index.h", "psl_table.cpp", "psl_table.h"}));
}

}  // namespace
}  // namespace builder
