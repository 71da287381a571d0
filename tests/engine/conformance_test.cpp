// The list's own conformance vectors, end to end: normalize, match, and the
// private-suffix cut of the lowered text.
#include <gtest/gtest.h>

#include <fstream>
#include <optional>
#include <regex>
#include <string>

#include "lookup.h"
#include "test_paths.h"

namespace lookup {
namespace {

// The cut is a view into the Lookup, which must outlive the copy.
std::optional<std::string> private_suffix(std::string_view domain) {
    const Lookup found = look_up(domain, {});
    const auto cut = found.private_suffix();
    return cut ? std::optional<std::string>(*cut) : std::nullopt;
}

TEST(Conformance, ListVectors) {
    std::ifstream vectors(LOOKUP_DATA_DIR + "/psl/test_psl.txt");
    ASSERT_TRUE(vectors) << "no conformance vectors in the repository's data";
    const std::regex call(R"(^checkPublicSuffix\((null|'([^']*)'), (null|'([^']*)')\);)");
    std::string line;
    int checked = 0;
    while (std::getline(vectors, line)) {
        std::smatch m;
        if (!std::regex_search(line, m, call) || m[1] == "null") {
            continue;  // comments, and the null input that a str argument cannot express
        }
        const std::optional<std::string> expected =
            m[3] == "null" ? std::nullopt : std::optional<std::string>(m[4].str());
        EXPECT_EQ(private_suffix(m[2].str()), expected) << line;
        ++checked;
    }
    EXPECT_GT(checked, 70);
}

}  // namespace
}  // namespace lookup
