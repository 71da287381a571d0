// Lines and lists that cannot become a table stop the build: the message
// names the line and the reason, the tool exits non-zero and writes nothing.
#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "build_error.h"
#include "builder_helpers.h"

namespace builder {
namespace {

using testing::list_text;

struct BadList {
    std::string text;
    std::size_t line;
    std::string reason;  // part of the message
};

// In list_text() the first ICANN rule is on line 5, the first private rule
// on line 9 when the ICANN section holds one rule.
std::vector<BadList> bad_lists() {
    std::vector<BadList> lists = {{list_text({"com", "foo..com"}), 6, "empty label"}};
    // One ICANN rule alone, grouped by the reason that refuses it.
    const std::pair<std::string_view, std::vector<std::string_view>> lone_rules[] = {
        {"empty label", {".com", "com."}},
        {"lone \"*\"", {"*"}},
        {"exception rule with nothing after \"!\"", {"!"}},
        {"wildcard rule with nothing after \"*.\"", {"*."}},
        {"\"*\" is allowed only as the leftmost label of a wildcard rule", {"foo.*.com", "*.*.com", "*foo.com", "!*.com"}},
        {"\"!\" is allowed only at the start of an exception rule", {"a!b.com", "!!www.ck", "*.!www.ck"}},
        {"an exception rule needs at least two labels", {"!ck"}},
    };
    for (const auto& [reason, rules] : lone_rules) {
        for (const std::string_view rule : rules) {
            lists.push_back({list_text({rule}), 5, std::string(reason)});
        }
    }
    // Beyond the sizes of DNS: a label of 64 bytes, a name of 255.
    const std::string long_label = std::string(64, 'a') + ".com";
    const std::string long_name = std::string(63, 'a') + "." + std::string(63, 'b') + "." + std::string(63, 'c') +
                                  "." + std::string(63, 'd');
    lists.insert(lists.end(), {
        {list_text({long_label}), 5, "a label longer than 63 bytes (as an A-label) cannot be a DNS label"},
        {list_text({long_name}), 5, "a name longer than 253 bytes (as A-labels) cannot be a DNS name"},
        {list_text({"com"}, {"bad\xC3(.com"}), 9, "not valid UTF-8"},
        {list_text({"com"}, {"\xED\xA0\x80.com"}), 9, "not valid UTF-8"},
        {"// comment \xFF\n// ===BEGIN ICANN DOMAINS===\ncom\n// ===END ICANN DOMAINS===\n", 1, "not valid UTF-8"},
        {list_text({"com", " indented.com"}), 6, "begins with whitespace"},
        {"com\n// ===BEGIN ICANN DOMAINS===\n// ===END ICANN DOMAINS===\n", 1, "outside the ICANN and PRIVATE sections"},
        {"// ===BEGIN ICANN DOMAINS===\n// ===END ICANN DOMAINS===\nnet\n", 3, "outside the ICANN and PRIVATE sections"},
        {"// ===BEGIN ICANN DOMAINS===\ncom\n// ===BEGIN PRIVATE DOMAINS===\n", 3, "BEGIN PRIVATE marker inside another section"},
        {"// ===BEGIN ICANN DOMAINS===\ncom\n// ===END PRIVATE DOMAINS===\n", 3, "END PRIVATE marker without its BEGIN marker"},
        {"// ===END ICANN DOMAINS===\n", 1, "END ICANN marker without its BEGIN marker"},
        {"\n// ===BEGIN PRIVATE DOMAINS===\nfoo.com\n", 2, "never closed"},
    });
    return lists;
}

// Building `bad` stops with a BuildError that names the line and the reason.
void expect_refused(const BadList& bad, const Limits& limits = {}) {
    try {
        build_from_list(bad.text, limits);
        ADD_FAILURE() << "no error for:\n" << bad.text.substr(0, 500);
    } catch (const BuildError& error) {
        EXPECT_EQ(error.line(), bad.line) << error.what();
        const std::string message = error.what();
        EXPECT_TRUE(message.starts_with("line " + std::to_string(bad.line) + ": ")) << message;
        EXPECT_NE(message.find(bad.reason), std::string::npos) << message;
    }
}

// An ICANN section of `count` rules l0.com, l1.com, ...: as many children
// of com, on lines 2 to count + 1.
std::string wide_list(int count) {
    std::string text = "// ===BEGIN ICANN DOMAINS===\n";
    for (int i = 0; i < count; ++i) {
        text += 'l';
        text += std::to_string(i);
        text += ".com\n";
    }
    return text + "// ===END ICANN DOMAINS===\n";
}

TEST(ListErrors, EachBadLineStopsTheBuildWithItsLineAndReason) {
    for (const BadList& bad : bad_lists()) {
        expect_refused(bad);
    }
}

// 65535 children fit the 16-bit edge count; one more stops at the line that
// adds it.
TEST(ListErrors, TooManyChildrenForTheEdgeCount) {
    EXPECT_EQ(build_from_list(wide_list(65535)).figures.max_edge_count, 65535u);
    expect_refused({wide_list(65536), 65537, "edge count would not fit"});
}

// Node numbers and pool offsets run out only for lists of billions of bytes;
// the same checks are reached here through lowered limits.
TEST(ListErrors, TooManyNodesOrPoolBytes) {
    const std::string list = list_text({"com", "uk", "co.uk", "net"});
    Limits nodes;
    nodes.max_nodes = 4;
    expect_refused({list, 8, "node numbers would not fit"}, nodes);
    nodes.max_nodes = 5;
    EXPECT_EQ(build_from_list(list, nodes).table.nodes.size(), 5u);

    Limits pool;
    pool.max_pool_bytes = 9;  // com uk co net: 10 bytes
    expect_refused({list, 8, "pool offsets would not fit"}, pool);
    pool.max_pool_bytes = 10;
    EXPECT_EQ(build_from_list(list, pool).table.pool.size(), 10u);
}

// The real tool: non-zero exit, the reason on stderr, nothing written and
// nothing of an earlier table replaced.
TEST(ListErrors, ToolWritesNothingOnFailure) {
    std::vector<BadList> cases = bad_lists();
    cases.push_back({wide_list(65536), 65537, "edge count would not fit"});
    const std::size_t picks[] = {0, 3, 4, 10, 13, 14, 17, 22, cases.size() - 1};
    for (const std::size_t pick : picks) {
        const BadList& bad = cases[pick];
        testing::ScratchDir scratch;
        testing::write_file(scratch / "list.dat", bad.text);
        const auto result = testing::run_builder(scratch, testing::quoted((scratch / "list.dat").string()) + " " +
                                                               testing::quoted((scratch / "out").string()));
        EXPECT_EQ(result.exit_code, 1) << bad.reason;
        EXPECT_NE(result.err.find("line " + std::to_string(bad.line) + ": "), std::string::npos) << result.err;
        EXPECT_NE(result.err.find(bad.reason), std::string::npos) << result.err;
        EXPECT_TRUE(result.out.empty()) << result.out;
        EXPECT_EQ(scratch.entries("out"), std::vector<std::string>{}) << bad.reason;
    }

    testing::ScratchDir scratch;
    std::filesystem::create_directory(scratch / "out");
    testing::write_file(scratch / "out" / "psl_table.h", "earlier table");
    testing::write_file(scratch / "list.dat", list_text({"foo..com"}));
    const auto result = testing::run_builder(scratch, "--json " + testing::quoted((scratch / "list.dat").string()) + " " +
                                                           testing::quoted((scratch / "out").string()));
    EXPECT_EQ(result.exit_code, 1);
    EXPECT_EQ(scratch.entries("out"), std::vector<std::string>{"psl_table.h"});
    EXPECT_EQ(testing::read_file(scratch / "out" / "psl_table.h"), "earlier table");
}

TEST(ListErrors, ToolRefusesMissingOrUnreadableFiles) {
    testing::ScratchDir scratch;
    const auto missing = testing::run_builder(scratch, testing::quoted((scratch / "absent.dat").string()) + " " +
                                                            testing::quoted((scratch / "out").string()));
    EXPECT_EQ(missing.exit_code, 1);
    EXPECT_NE(missing.err.find("absent.dat"), std::string::npos) << missing.err;
    EXPECT_EQ(scratch.entries("out"), std::vector<std::string>{});

    std::filesystem::create_directory(scratch / "folder");
    const auto folder = testing::run_builder(scratch, testing::quoted((scratch / "folder").string()) + " " +
                                                           testing::quoted((scratch / "out").string()));
    EXPECT_EQ(folder.exit_code, 1);
    EXPECT_NE(folder.err.find("cannot read"), std::string::npos) << folder.err;
    EXPECT_EQ(scratch.entries("out"), std::vector<std::string>{});

    const auto usage = testing::run_builder(scratch, "");
    EXPECT_NE(usage.exit_code, 0);
    EXPECT_NE(usage.err.find("usage"), std::string::npos) << usage.err;
}

}  // namespace
}  // namespace builder
