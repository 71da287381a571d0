// Lines and lists that cannot become a table stop the build: the message
// names the line and the reason, the tool exits non-zero and writes nothing.
#include <gtest/gtest.h>

#include <string>
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
    return {
        {list_text({"com", "foo..com"}), 6, "empty label"},
        {list_text({".com"}), 5, "empty label"},
        {list_text({"com."}), 5, "empty label"},
        {list_text({"*"}), 5, "lone \"*\""},
        {list_text({"!"}), 5, "exception rule with nothing after \"!\""},
        {list_text({"*."}), 5, "wildcard rule with nothing after \"*.\""},
        {list_text({"foo.*.com"}), 5, "\"*\" is allowed only as the leftmost label of a wildcard rule"},
        {list_text({"*.*.com"}), 5, "\"*\" is allowed only as the leftmost label of a wildcard rule"},
        {list_text({"*foo.com"}), 5, "\"*\" is allowed only as the leftmost label of a wildcard rule"},
        {list_text({"!*.com"}), 5, "\"*\" is allowed only as the leftmost label of a wildcard rule"},
        {list_text({"a!b.com"}), 5, "\"!\" is allowed only at the start of an exception rule"},
        {list_text({"!!www.ck"}), 5, "\"!\" is allowed only at the start of an exception rule"},
        {list_text({"*.!www.ck"}), 5, "\"!\" is allowed only at the start of an exception rule"},
        {list_text({"!ck"}), 5, "an exception rule needs at least two labels"},
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
    };
}

TEST(ListErrors, EachBadLineStopsTheBuildWithItsLineAndReason) {
    for (const BadList& bad : bad_lists()) {
        try {
            build_from_list(bad.text);
            ADD_FAILURE() << "no error for:\n" << bad.text;
        } catch (const BuildError& error) {
            EXPECT_EQ(error.line(), bad.line) << error.what();
            const std::string message = error.what();
            EXPECT_TRUE(message.starts_with("line " + std::to_string(bad.line) + ": ")) << message;
            EXPECT_NE(message.find(bad.reason), std::string::npos) << message;
        }
    }
}

// 65535 children fit the 16-bit edge count; one more stops at the line that
// adds it.
TEST(ListErrors, TooManyChildrenForTheEdgeCount) {
    std::string rules;
    for (int i = 0; i < 65535; ++i) {
        rules += 'l';
        rules += std::to_string(i);
        rules += ".com\n";
    }
    const std::string fits = "// ===BEGIN ICANN DOMAINS===\n" + rules + "// ===END ICANN DOMAINS===\n";
    EXPECT_EQ(build_from_list(fits).figures.max_edge_count, 65535u);

    const std::string over = "// ===BEGIN ICANN DOMAINS===\n" + rules + "l65535.com\n// ===END ICANN DOMAINS===\n";
    try {
        build_from_list(over);
        ADD_FAILURE() << "65536 children accepted";
    } catch (const BuildError& error) {
        EXPECT_EQ(error.line(), 65537u);
        EXPECT_NE(std::string(error.what()).find("edge count would not fit"), std::string::npos) << error.what();
    }
}

// Node numbers and pool offsets run out only for lists of billions of bytes;
// the same checks are reached here through lowered limits.
TEST(ListErrors, TooManyNodesOrPoolBytes) {
    const std::string list = list_text({"com", "uk", "co.uk", "net"});
    Limits nodes;
    nodes.max_nodes = 4;
    try {
        build_from_list(list, nodes);
        ADD_FAILURE() << "a fifth node accepted";
    } catch (const BuildError& error) {
        EXPECT_EQ(error.line(), 8u);
        EXPECT_NE(std::string(error.what()).find("node numbers would not fit"), std::string::npos) << error.what();
    }
    nodes.max_nodes = 5;
    EXPECT_EQ(build_from_list(list, nodes).table.nodes.size(), 5u);

    Limits pool;
    pool.max_pool_bytes = 9;  // com uk co net: 10 bytes
    try {
        build_from_list(list, pool);
        ADD_FAILURE() << "a 10-byte pool accepted";
    } catch (const BuildError& error) {
        EXPECT_EQ(error.line(), 8u);
        EXPECT_NE(std::string(error.what()).find("pool offsets would not fit"), std::string::npos) << error.what();
    }
    pool.max_pool_bytes = 10;
    EXPECT_EQ(build_from_list(list, pool).table.pool.size(), 10u);
}

// The real tool: non-zero exit, the reason on stderr, nothing written and
// nothing of an earlier table replaced.
TEST(ListErrors, ToolWritesNothingOnFailure) {
    std::vector<BadList> cases = bad_lists();
    std::string too_wide = "// ===BEGIN ICANN DOMAINS===\n";
    for (int i = 0; i <= 65535; ++i) {
        too_wide += 'l';
        too_wide += std::to_string(i);
        too_wide += ".com\n";
    }
    cases.push_back({too_wide + "// ===END ICANN DOMAINS===\n", 65537, "edge count would not fit"});
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
