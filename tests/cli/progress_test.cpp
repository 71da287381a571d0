#include "progress.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>

namespace {

struct Case {
    std::uint64_t lines;
    std::uint64_t bytes;
    std::optional<std::uint64_t> total;
    double seconds;
    std::string expected;
};

TEST(ProgressLine, CountsRateAndShareOfKnownSizes) {
    const Case cases[] = {
        {0, 0, std::nullopt, 0.0, "0 lines, 0 lines/s"},
        {1234567, 0, std::nullopt, 2.0, "1,234,567 lines, 617,283 lines/s"},
        {999, 500, 1000, 1.0, "999 lines, 999 lines/s, 50% of 1.0 kB read"},
        {10, 42, 42, 0.5, "10 lines, 20 lines/s, 100% of 42 bytes read"},
        // A file that grew while read: never more than all of it.
        {10, 5000, 1000, 1.0, "10 lines, 10 lines/s, 100% of 1.0 kB read"},
        {1, 0, 1234567890, 1.0, "1 line, 1 lines/s, 0% of 1.2 GB read"},
        {1, 0, 0, 1.0, "1 line, 1 lines/s"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(cli::progress_line(c.lines, c.bytes, c.total, c.seconds), c.expected);
    }
}

}  // namespace
